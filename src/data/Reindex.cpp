#include "data/Reindex.h"

#include "data/Dbf.h"
#include "data/Locks.h"
#include "data/TableFile.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace vedomec::data {

QString rebuildProductionIndex(const QString& dbfPath, const std::vector<MdxTagSpec>& known)
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
    if (journal)
        journal->bump();
    return old;
}

} // namespace vedomec::data
