#include "data/Reindex.h"

#include "data/Dbf.h"
#include "data/Locks.h"
#include "data/TableFile.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstring>

namespace vedomec::data {

namespace {

// Whether the records from `from` + 1 to `to` look like records: a deletion
// flag, and in every field what its type allows; and nothing follows them
// but the end-of-file marker.
bool recordsIntact(const DbfFile& dbf, uint32_t from, uint32_t to)
{
    const qint64 end = qint64(dbf.headerLength()) + qint64(to) * dbf.recordLength();
    const QByteArray& bytes = dbf.file().bytes();
    if (bytes.size() - end > 1 || (bytes.size() - end == 1 && bytes.at(end) != char(0x1A)))
        return false;
    const auto all = [](const char* p, int n, const char* allowed) {
        for (int i = 0; i < n; ++i)
            if (p[i] == '\0' || !std::strchr(allowed, p[i]))
                return false;
        return true;
    };
    for (uint32_t r = from; r < to; ++r) {
        const char* rec = bytes.constData() + dbf.headerLength() + qint64(r) * dbf.recordLength();
        if (rec[0] != ' ' && rec[0] != '*')
            return false;
        for (const DbfField& f : dbf.fields()) {
            const char* p = rec + f.offset;
            bool ok = true;
            switch (f.type) {
            case 'N':
            case 'F': ok = all(p, f.length, " +-.0123456789eE*"); break;
            case 'D': ok = all(p, f.length, " 0123456789"); break;
            case 'L': ok = all(p, f.length, " ?YyNnTtFf"); break;
            case 'M': ok = all(p, f.length, " 0123456789"); break;
            default: break;
            }
            if (!ok)
                return false;
        }
    }
    return true;
}

// Sets the header's record count, as one change through the journal.
void restoreRecordCount(DbfFile& dbf, uint32_t count, TableJournal* journal, const QString& dbfPath)
{
    char bytes[4];
    for (int i = 0; i < 4; ++i)
        bytes[i] = char((count >> (8 * i)) & 0xFF);
    TableFile& file = dbf.file();
    file.beginChange();
    file.write(4, bytes, 4);
    CommitOptions options;
    options.sync = true;
    options.allowDirect = false;
    options.tableName = dbfPath;
    commitChange(journal, &file, nullptr, options);
    dbf.reparse();
}

} // namespace

QString rebuildProductionIndex(const QString& dbfPath, const std::vector<MdxTagSpec>& known, QStringList* notes)
{
    const QFileInfo info(dbfPath);
    std::unique_ptr<TableFile> dbfFile = TableFile::open(dbfPath, true, TableFile::Kind::Table);
    if (!dbfFile->writable())
        throw EDatabaseError(QStringLiteral("Table '%1' is read-only; its index cannot be rebuilt").arg(dbfPath));
    LockGuard lock(dbfFile->fd(), kChangeLockByte, LockMode::Exclusive, dbfPath);
    std::unique_ptr<TableJournal> journal = TableJournal::open(dbfPath, fs::isNetworkFolder(info.path()));
    struct JournalCloser {
        std::unique_ptr<TableJournal>& j;
        ~JournalCloser()
        {
            if (j)
                j->closeAndRemoveIfUnused();
        }
    } closer{journal};
    if (journal)
        journal->prepare();

    const QString found = fs::resolve(fs::join(info.path(), info.completeBaseName() + QStringLiteral(".MDX")));
    const bool hadIndex = !found.isEmpty() && QFileInfo(found).isFile();
    const QString mdxPath = hadIndex ? found : fs::join(info.path(), info.completeBaseName() + QStringLiteral(".MDX"));
    {
        std::unique_ptr<TableFile> mdxFile = hadIndex ? TableFile::open(mdxPath, true, TableFile::Kind::Index) : nullptr;
        if (journal && journal->pending())
            recoverChange(*journal, dbfFile.get(), mdxFile.get(), true);
    }
    dbfFile->load(qint64(2) * 1024 * 1024 * 1024);
    const std::unique_ptr<DbfFile> dbf = DbfFile::fromFile(std::move(dbfFile));
    if (!dbf->hasProductionIndex())
        throw EDatabaseError(QStringLiteral("Table '%1' has no production index").arg(dbfPath));
    // An index of the counted rows would leave out rows the file holds.
    if (dbf->recordsInFile() > dbf->recordCount()) {
        const uint32_t counted = dbf->recordCount(), held = dbf->recordsInFile();
        if (!recordsIntact(*dbf, counted, held))
            throw EDatabaseError(QStringLiteral("Table '%1': its header counts %2 records, but the file holds %3; the "
                                                "records beyond the count are not whole, so the index is not rebuilt "
                                                "and nothing is changed")
                                     .arg(dbfPath)
                                     .arg(counted)
                                     .arg(held));
        restoreRecordCount(*dbf, held, journal.get(), dbfPath);
        if (notes)
            *notes << QStringLiteral("the header counted %1 records, but the file holds %2 whole ones; the count is "
                                     "restored to %2")
                          .arg(counted)
                          .arg(held);
    }

    std::vector<MdxTagSpec> specs;
    if (hadIndex) {
        try {
            specs = MdxFile::readTagSpecs(mdxPath);
        } catch (const EDatabaseError&) {
            specs.clear();
        }
    }
    // The tags the program knows for its own tables are made as it knows
    // them, whatever the damaged header says; other tags stay as they were.
    for (const MdxTagSpec& k : known) {
        const auto same = std::find_if(specs.begin(), specs.end(), [&](const MdxTagSpec& s) {
            return s.name.compare(k.name, Qt::CaseInsensitive) == 0;
        });
        if (same != specs.end())
            *same = k;
        else
            specs.push_back(k);
    }
    if (specs.empty())
        throw EDatabaseError(QStringLiteral("The tags of index %1 cannot be read, so it cannot be rebuilt").arg(mdxPath));

    // dBASE's own reindex keeps the keys of deleted rows too.
    std::vector<const char*> records;
    records.reserve(dbf->recordCount());
    for (uint32_t r = 1; r <= dbf->recordCount(); ++r)
        records.push_back(dbf->record(r));
    const QString fresh = fs::join(info.path(), QStringLiteral(".%1.rebuilt").arg(QFileInfo(mdxPath).fileName()));
    QFile::remove(fresh); // an earlier attempt's, under the same lock
    MdxFile::create(fresh, info.completeBaseName(), specs, dbf->mdxFields(), records);

    // The readers are told before anything is replaced, so a journal that
    // cannot be written stops the rebuild with the old index in place.
    if (journal) {
        try {
            journal->bump();
        } catch (...) {
            QFile::remove(fresh);
            throw;
        }
    }
    QString old;
    if (hadIndex) {
        for (int n = 1; old.isEmpty(); ++n) {
            const QString candidate = mdxPath + (n == 1 ? QStringLiteral(".old") : QStringLiteral(".old%1").arg(n));
            if (fs::renameNoReplace(mdxPath, candidate))
                old = candidate;
            else if (!QFileInfo::exists(candidate) || n > 999) {
                QFile::remove(fresh);
                throw EDatabaseError(QStringLiteral("Index file %1 cannot be moved aside").arg(mdxPath));
            }
        }
    }
    if (!fs::renameNoReplace(fresh, mdxPath)) {
        if (!old.isEmpty())
            fs::renameNoReplace(old, mdxPath);
        QFile::remove(fresh);
        throw EDatabaseError(QStringLiteral("Index file %1 cannot be put in place").arg(mdxPath));
    }
    if (journal) {
        try {
            journal->bump(); // once more, for a reader that looked in between
        } catch (const EDatabaseError&) {
            // Its page took the first count: a reader in between is the only
            // one that could miss this one, and it finds the index replaced.
        }
    }
    return old;
}

} // namespace vedomec::data
