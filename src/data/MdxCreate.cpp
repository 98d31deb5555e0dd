// Writing a new index file with its tags filled from the records.
#include "data/MdxImpl.h"

#include "platform/FileSystem.h"
#include "platform/SharedFolder.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>

namespace vedomec::data {

void MdxFile::create(const QString& path,
                     const QString& dbfBaseName,
                     const std::vector<MdxTagSpec>& tagSpecs,
                     const std::vector<MdxFieldRef>& fields,
                     const std::vector<const char*>& records)
{
    if (tagSpecs.empty() || int(tagSpecs.size()) > kMaxTags)
        throw EDatabaseError(QStringLiteral("Index file %1 needs between 1 and %2 tags").arg(path).arg(kMaxTags));
    std::vector<MdxKeyExpression> expressions;
    std::vector<std::optional<MdxForClause>> clauses;
    QStringList names;
    for (const MdxTagSpec& spec : tagSpecs) {
        const QString name = spec.name.trimmed().toUpper();
        if (!validTagName(name))
            throw EDatabaseError(QStringLiteral("Tag name '%1' is not valid").arg(spec.name));
        if (names.contains(name))
            throw EDatabaseError(QStringLiteral("Tag name '%1' is used twice").arg(spec.name));
        if (unicodeToCp1250(spec.expression.trimmed()).size() >= kExpressionMax)
            throw EDatabaseError(QStringLiteral("Index expression '%1' is not supported").arg(spec.expression));
        if (unicodeToCp1250(spec.forClause.trimmed()).size() >= kExpressionMax)
            throw EDatabaseError(QStringLiteral("FOR clause '%1' is not supported").arg(spec.forClause));
        names << name;
        expressions.push_back(MdxKeyExpression::parse(spec.expression, fields));
        clauses.push_back(spec.forClause.trimmed().isEmpty()
                              ? std::nullopt
                              : std::optional<MdxForClause>(MdxForClause::parse(spec.forClause, fields)));
    }

    const int ppb = kCreatePagesPerBlock;
    const int blockBytes = ppb * kPageSize;
    std::vector<unsigned char> image(size_t(kFirstTagPage) * kPageSize, 0);
    uint32_t nextPage = kFirstTagPage;
    const auto allocate = [&]() {
        const uint32_t page = nextPage;
        nextPage += uint32_t(ppb);
        if (uint64_t(nextPage) * kPageSize > uint64_t(kMaxFileSize))
            throw EDatabaseError(QStringLiteral("Index file %1 would be too large").arg(path));
        image.resize(size_t(nextPage) * kPageSize, 0);
        return page;
    };

    std::vector<uint32_t> tagHeaders;
    for (size_t t = 0; t < tagSpecs.size(); ++t) {
        const MdxKeyExpression& expr = expressions[t];
        const int keyLen = std::clamp(expr.naturalLength(), 1, kMaxKeyLength);
        const int itemLen = 4 + (keyLen + 3) / 4 * 4;
        const int maxKeys = (blockBytes - 12) / itemLen;
        const uint32_t headerPage = allocate();
        tagHeaders.push_back(headerPage);

        // Keys of the records the FOR clause admits, sorted in the tag's
        // order and then by record number; a unique tag keeps the first
        // record of each key.
        const MdxTagSpec& spec = tagSpecs[t];
        const char type = expr.type();
        std::vector<uint32_t> members; // record indexes from 0
        for (size_t r = 0; r < records.size(); ++r)
            if (!clauses[t] || clauses[t]->holds(records[r]))
                members.push_back(uint32_t(r));
        std::vector<char> keys(records.size() * size_t(keyLen));
        for (uint32_t r : members) {
            const QByteArray k = expr.evaluate(records[r], keyLen);
            std::memcpy(keys.data() + r * size_t(keyLen), k.constData(), size_t(std::min<qsizetype>(keyLen, k.size())));
        }
        const auto keyOf = [&](uint32_t r) { return keys.data() + r * size_t(keyLen); };
        const auto before = [&](uint32_t a, uint32_t b) {
            return mdxkey::compare(type, spec.descending, keyOf(a), keyOf(b), keyLen) < 0;
        };
        std::vector<uint32_t> order = members;
        std::stable_sort(order.begin(), order.end(), before);
        if (spec.unique)
            order.erase(std::unique(order.begin(), order.end(),
                                    [&](uint32_t a, uint32_t b) { return !before(a, b) && !before(b, a); }),
                        order.end());
        const size_t count = order.size();

        // Leaves, then the levels above, each evenly filled.
        struct Built {
            uint32_t page;
            uint32_t lastEntry; // index into `order` of the subtree's greatest key
        };
        std::vector<Built> level;
        const size_t leaves = count == 0 ? 1 : (count + size_t(maxKeys) - 1) / size_t(maxKeys);
        for (size_t j = 0; j < leaves; ++j) {
            const size_t from = j * count / leaves;
            const size_t to = (j + 1) * count / leaves;
            const uint32_t page = allocate();
            unsigned char* b = image.data() + size_t(page) * kPageSize;
            wr32(b, uint32_t(to - from));
            for (size_t e = from; e < to; ++e) {
                unsigned char* item = b + 8 + (e - from) * size_t(itemLen);
                wr32(item, order[e] + 1);
                std::memcpy(item + 4, keyOf(order[e]), size_t(keyLen));
            }
            level.push_back({page, uint32_t(to == 0 ? 0 : to - 1)});
        }
        while (level.size() > 1) {
            std::vector<Built> up;
            const size_t groups = (level.size() + size_t(maxKeys)) / size_t(maxKeys + 1);
            for (size_t g = 0; g < groups; ++g) {
                const size_t from = g * level.size() / groups;
                const size_t to = (g + 1) * level.size() / groups;
                const uint32_t page = allocate();
                unsigned char* b = image.data() + size_t(page) * kPageSize;
                const size_t n = to - from - 1;
                wr32(b, uint32_t(n));
                for (size_t c = from; c < to; ++c) {
                    unsigned char* item = b + 8 + (c - from) * size_t(itemLen);
                    wr32(item, level[c].page);
                    if (c + 1 < to)
                        std::memcpy(item + 4, keyOf(order[level[c].lastEntry]), size_t(keyLen));
                }
                up.push_back({page, level[to - 1].lastEntry});
            }
            level.swap(up);
        }

        unsigned char* th = image.data() + size_t(headerPage) * kPageSize;
        wr32(th, level.front().page);
        const QString exprText = tagSpecs[t].expression.trimmed();
        const bool singleField = !exprText.contains(u'+') && !exprText.contains(u'(');
        const uint8_t fieldKey = singleField ? kFormatFieldKey : 0;
        th[8] = uint8_t(fieldKey | (spec.descending ? kFormatDescending : 0) | (spec.unique ? kFormatUnique : 0));
        th[9] = uint8_t(type);
        wr16(th + 12, uint16_t(keyLen));
        wr16(th + 14, uint16_t(maxKeys));
        wr16(th + 16, type == 'D' ? 1 : 0);
        wr16(th + 18, uint16_t(itemLen));
        th[23] = spec.unique ? 1 : 0;
        const QByteArray exprBytes = unicodeToCp1250(exprText);
        std::memcpy(th + kExpressionOffset, exprBytes.constData(), size_t(exprBytes.size()));
        if (clauses[t]) {
            th[kForFlagOffset] = 1;
            const QByteArray forBytes = unicodeToCp1250(spec.forClause.trimmed());
            std::memcpy(th + kForOffset, forBytes.constData(), size_t(forBytes.size()));
        }

        unsigned char* entry = image.data() + kTagTableOffset + t * kTagEntrySize;
        wr32(entry, headerPage);
        const QByteArray nameBytes = names[int(t)].toLatin1();
        std::memcpy(entry + 4, nameBytes.constData(), size_t(nameBytes.size()));
        entry[15] = fieldKey;
        entry[20] = uint8_t(type);
    }
    // The tag table threads the tags into a binary tree ordered by name:
    // byte 16 leads to a smaller name, byte 17 to a greater, byte 18 back to
    // the parent (tag numbers from 1, 0 for none).
    for (size_t t = 1; t < tagSpecs.size(); ++t) {
        size_t at = 0;
        for (;;) {
            unsigned char* e = image.data() + kTagTableOffset + at * kTagEntrySize;
            const int slot = names[int(t)] < names[int(at)] ? 16 : 17;
            if (e[slot] == 0) {
                e[slot] = uint8_t(t + 1);
                image[kTagTableOffset + t * kTagEntrySize + 18] = uint8_t(at + 1);
                break;
            }
            at = size_t(e[slot] - 1);
        }
    }
    for (uint32_t page : tagHeaders)
        wr32(image.data() + size_t(page) * kPageSize + 4, nextPage);

    unsigned char* h = image.data();
    h[0] = 2;
    writeDate(h + 1);
    const QByteArray base = unicodeToCp1250(dbfBaseName).left(16);
    std::memcpy(h + 4, base.constData(), size_t(base.size()));
    wr16(h + 20, uint16_t(ppb));
    wr16(h + 22, uint16_t(blockBytes));
    h[24] = 1; // production index
    h[25] = kTagTableEntries;
    h[26] = kTagEntrySize;
    wr16(h + 28, uint16_t(tagSpecs.size()));
    wr32(h + 32, nextPage);
    wr32(h + 36, 0);
    wr32(h + 40, 0);
    writeDate(h + 44);

    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (errno == EEXIST)
            throw EDatabaseError(QStringLiteral("Index file %1 already exists").arg(path));
        throw EDatabaseError(QStringLiteral("Index file %1 cannot be created: %2").arg(path, errnoText()));
    }
    fs::takeFolderRights(fd, fs::folderOf(path), 0644);
    int error = 0;
    if (!fs::writeAt(fd, reinterpret_cast<const char*>(image.data()), qint64(image.size()), 0, &error)) {
        ::close(fd);
        ::unlink(native.constData());
        throw EDatabaseError(QStringLiteral("Index file %1 cannot be written: %2")
                                 .arg(path, QString::fromLocal8Bit(std::strerror(error))));
    }
    ::fsync(fd);
    ::close(fd);
}

} // namespace vedomec::data
