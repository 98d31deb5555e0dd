#include "data/TagCheck.h"

#include "data/Dbf.h"
#include "data/Mdx.h"
#include "platform/Errors.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace vedomec::data {

TagCheckReport checkTagsAgainstTable(const DbfFile& dbf, const MdxFile& mdx)
{
    TagCheckReport report;
    QStringList& problems = report.problems;
    const std::vector<MdxFieldRef> refs = dbf.mdxFields();
    const uint32_t count = dbf.recordCount();
    for (int t = 0; t < mdx.tagCount(); ++t) {
        const QString label = QStringLiteral("tag %1").arg(mdx.tagName(t));
        const char type = mdx.keyType(t);
        const int keyLength = mdx.keyLength(t);
        std::optional<MdxKeyExpression> expr;
        try {
            expr = MdxKeyExpression::parse(mdx.tagExpression(t), refs);
            if (expr->type() != type) {
                problems << QStringLiteral("%1: the expression %2 gives %3 keys, the tag holds %4 keys")
                                .arg(label, mdx.tagExpression(t), QChar::fromLatin1(expr->type()), QChar::fromLatin1(type));
                expr.reset();
            }
        } catch (const EVedomecError& e) {
            report.notes << QStringLiteral("%1: keys not compared with the rows: %2").arg(label, e.message());
        }
        std::optional<MdxForClause> clause;
        bool clauseKnown = true;
        if (!mdx.tagForClause(t).isEmpty()) {
            try {
                clause = MdxForClause::parse(mdx.tagForClause(t), refs);
            } catch (const EVedomecError& e) {
                clauseKnown = false;
                report.notes << QStringLiteral("%1: rows the FOR clause leaves out are not judged: %2").arg(label, e.message());
            }
        }
        const auto admits = [&](const char* record) { return !clause || clause->holds(record); };

        // Every entry once, at a record, under the key its fields give now.
        std::vector<uint8_t> seen(size_t(count) + 1, 0);
        uint32_t walked = 0;
        for (auto p = mdx.first(t); p.valid(); p = mdx.next(t, p)) {
            if (++walked > count + 1u) {
                problems << QStringLiteral("%1: more entries than records").arg(label);
                break;
            }
            const uint32_t r = mdx.recno(t, p);
            if (r < 1 || r > count) {
                problems << QStringLiteral("%1: entry points at record %2 of %3").arg(label).arg(r).arg(count);
                continue;
            }
            if (seen[r]++)
                problems << QStringLiteral("%1: record %2 is indexed twice").arg(label).arg(r);
            const char* record = dbf.record(r);
            if (clauseKnown && !admits(record)) {
                problems << QStringLiteral("%1: record %2 is indexed although the FOR clause %3 leaves it out")
                                .arg(label)
                                .arg(r)
                                .arg(mdx.tagForClause(t));
                continue;
            }
            if (expr && !dbf.isDeleted(r) && expr->definite(record)
                && mdx.compareKeys(t, expr->evaluate(record, keyLength), mdx.key(t, p)) != 0)
                problems << QStringLiteral("%1: record %2 is indexed under the stale key '%3'")
                                .arg(label)
                                .arg(r)
                                .arg(mdxkey::display(type, mdx.keyData(t, p), keyLength));
        }

        // Every live record the clause admits is there; in a unique tag it is
        // enough that its key is.
        if (!clauseKnown)
            continue;
        for (uint32_t r = 1; r <= count; ++r) {
            if (seen[r] || dbf.isDeleted(r) || !admits(dbf.record(r)))
                continue;
            if (mdx.tagUnique(t) && expr) {
                if (mdx.seek(t, expr->evaluate(dbf.record(r), keyLength)).valid())
                    continue;
                // dBASE itself leaves such a row out when the row that held
                // the key lets go of it; a reindex brings it back.
                report.notes << QStringLiteral("%1: no entry holds the key of record %2; a reindex would add it")
                                    .arg(label)
                                    .arg(r);
                continue;
            }
            if (mdx.tagUnique(t))
                continue;
            problems << QStringLiteral("%1: record %2 is missing from the index").arg(label).arg(r);
        }
    }
    return report;
}

QStringList quickIndexCheck(const DbfFile& dbf, const MdxFile& mdx)
{
    QStringList problems;
    if (mdx.tagCount() == 0)
        problems << QStringLiteral("the table announces a production index, but the index holds no tags");
    if (mdx.headerPageCount() > mdx.filePageCount())
        problems << QStringLiteral("the header counts %1 pages, the file holds %2")
                        .arg(mdx.headerPageCount())
                        .arg(mdx.filePageCount());
    uint32_t live = 0;
    for (uint32_t r = 1; r <= dbf.recordCount(); ++r)
        live += dbf.isDeleted(r) ? 0 : 1;
    const std::vector<MdxFieldRef> refs = dbf.mdxFields();
    for (int t = 0; t < mdx.tagCount(); ++t) {
        const QString label = QStringLiteral("tag %1").arg(mdx.tagName(t));
        if (mdx.keyType(t) == 'C') {
            try {
                const MdxKeyExpression expr = MdxKeyExpression::parse(mdx.tagExpression(t), refs);
                const int width = std::min(expr.naturalLength(), kMaxIndexKeyLength);
                if (expr.type() == 'C' && width != mdx.keyLength(t))
                    problems << QStringLiteral("%1: keys of %2 bytes, but its expression %3 gives %4")
                                    .arg(label)
                                    .arg(mdx.keyLength(t))
                                    .arg(mdx.tagExpression(t))
                                    .arg(width);
            } catch (const EVedomecError&) {
                // An expression the store cannot read is judged elsewhere.
            }
        }
        if (!mdx.tagForClause(t).isEmpty() || mdx.tagUnique(t))
            continue;
        const uint32_t keys = uint32_t(mdx.entryCount(t));
        if (keys < live)
            problems << QStringLiteral("%1 holds %2 keys for %3 rows").arg(label).arg(keys).arg(live);
        else if (keys > dbf.recordCount())
            problems << QStringLiteral("%1 holds %2 keys for %3 records").arg(label).arg(keys).arg(dbf.recordCount());
    }
    return problems;
}

} // namespace vedomec::data
