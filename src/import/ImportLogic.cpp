#include "import/ImportLogic.h"

#include "data/Dbf.h"
#include "data/Mdx.h"
#include "data/Table.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"

#include <QFile>
#include <QFileInfo>

#include <optional>

namespace vedomec::importing {

using data::TTable;

namespace {

constexpr int kCatalogueTitleWidth = 50;

// Closes a table whatever state it was left in by a failed step.
void closeQuietly(TTable& t) noexcept
{
    try {
        t.Cancel();
        t.Close();
    } catch (...) {
    }
}

} // namespace

QString noSelectionMessage()
{
    return QStringLiteral("Nebyl vybrán žádný test pro import!");
}

QString nameTakenMessage()
{
    return QStringLiteral(
        "Soubor s tímto názvem již existuje. Přepište název souboru na nový a zkuste provést import znovu.");
}

QString typeText(const QString& testType)
{
    if (testType == QLatin1String("A"))
        return QStringLiteral("Test typu a) b) c) d)");
    if (testType == QLatin1String("B"))
        return QStringLiteral("Test typu ano / ne");
    if (testType == QLatin1String("C"))
        return QStringLiteral("Test typu doplňte");
    return QStringLiteral("Neznámý typ testu");
}

QString protectionText(const QString& password)
{
    return password.isEmpty() ? QStringLiteral("NE") : QStringLiteral("ANO");
}

bool nameTaken(const QString& testsFolder, const QString& fileName)
{
    return !fs::resolve(fs::join(testsFolder, fileName)).isEmpty();
}

ImportedTest readImportedTest(TTable& table, const QString& fileName)
{
    table.First();
    ImportedTest t;
    t.fileName = fileName;
    t.kind = table.FieldAsString(QStringLiteral("DRUH"));
    t.title = table.FieldAsString(QStringLiteral("NAZEV"));
    t.type = table.FieldAsString(QStringLiteral("TEST"));
    t.password = table.FieldAsString(QStringLiteral("HESLO"));
    return t;
}

bool takeBackRow(const QString& dbfPath, uint32_t recno, const QString& field, const QString& value)
{
    using namespace data;
    std::unique_ptr<DbfFile> dbf = DbfFile::open(dbfPath);
    if (recno < 1 || recno > dbf->recordCount())
        return false;
    const int fi = dbf->fieldIndex(field);
    if (fi < 0)
        return false;
    QByteArray rec(dbf->record(recno), dbf->recordLength());
    if (rec[0] == '*' || DbfFile::readField(dbf->fields()[size_t(fi)], rec.constData()) != value)
        return false;

    // The deletion flag first: a deleted row whose keys are still in the
    // index is an ordinary dBASE state that every reader skips, while a live
    // row missing from its index is not.
    QByteArray deleted = rec;
    deleted[0] = '*';
    dbf->writeRecord(recno, deleted.constData());

    if (!dbf->hasProductionIndex())
        return true;
    const QFileInfo info(dbf->path());
    const QString mdxPath =
        fs::resolve(fs::join(info.path(), info.completeBaseName() + QStringLiteral(".MDX")));
    if (mdxPath.isEmpty())
        return true;
    std::unique_ptr<MdxFile> mdx = MdxFile::open(mdxPath, true);
    const std::vector<MdxFieldRef> refs = dbf->mdxFields();
    for (int tag = 0; tag < mdx->tagCount(); ++tag) {
        if (mdx->keyType(tag) != 'C')
            continue;
        std::optional<MdxKeyExpression> expr;
        try {
            expr = MdxKeyExpression::parse(mdx->tagExpression(tag), refs);
        } catch (const EDatabaseError&) {
            continue; // a tag the store cannot evaluate is not kept by it either
        }
        const QByteArray key = expr->evaluate(rec.constData(), mdx->keyLength(tag));
        if (mdx->locate(tag, key, recno).valid())
            mdx->removeKey(tag, key, recno);
    }
    return true;
}

ImportResult acceptImport(TTable& catalogue, TTable& kinds, const ImportedTest& test,
                          const ImportFolders& folders, const CopyFunction& copy)
{
    if (!fs::isPlainFileName(test.fileName))
        throw EVedomecError(QStringLiteral("Neplatný název souboru pro import: %1").arg(test.fileName));
    const QString source = fs::resolve(fs::join(folders.importFolder, test.fileName));
    if (source.isEmpty() || !fs::isFile(source))
        throw EInOutError(QStringLiteral("Soubor %1 ve složce pro import nebyl nalezen").arg(test.fileName));
    // The import dialog checked this already; the folder may have changed
    // while the identification was on screen.
    if (nameTaken(folders.testsFolder, test.fileName))
        throw EVedomecError(nameTakenMessage());
    const QString target = fs::join(folders.testsFolder, test.fileName);

    ImportResult result;
    QString catalogueFile, kindFile;
    try {
        // 1. The catalogue row; the index places it by kind and title.
        catalogue.Close();
        catalogue.Open();
        catalogue.First();
        catalogue.Insert();
        catalogue.SetFieldAsString(QStringLiteral("NAZEV"), test.fileName);
        catalogue.SetFieldAsString(QStringLiteral("DRUH"), test.kind);
        catalogue.SetFieldAsString(QStringLiteral("JMENO"), test.title.left(kCatalogueTitleWidth));
        catalogue.SetFieldAsString(QStringLiteral("TEST"), test.type);
        catalogue.SetFieldAsString(QStringLiteral("HESLO"), test.password);
        catalogue.SetFieldAsString(QStringLiteral("OTEVRENO"), QString());
        catalogue.Post();
        result.catalogueRecNo = uint32_t(catalogue.RecNo());
        catalogueFile = catalogue.FilePath();
        catalogue.Close();

        // 2. The kind row, unless exactly this kind is there.  The index may
        // fold letter case, so every row the find lands on with the same key
        // is compared.
        kinds.Close();
        kinds.Open();
        kinds.First();
        bool exact = false;
        if (kinds.FindKey({test.kind})) {
            while (!kinds.Eof()) {
                const QString here = kinds.FieldAsString(QStringLiteral("DRUH"));
                if (here == test.kind) {
                    exact = true;
                    break;
                }
                if (here.compare(test.kind, Qt::CaseInsensitive) != 0)
                    break;
                kinds.Next();
            }
        }
        if (!exact) {
            kinds.Insert();
            kinds.SetFieldAsString(QStringLiteral("DRUH"), test.kind);
            kinds.Post();
            result.kindAdded = true;
            result.kindRecNo = uint32_t(kinds.RecNo());
            kindFile = kinds.FilePath();
        }
        kinds.Close();

        // 3. The copy: complete and flushed, or nothing at the target.
        QString error;
        const bool copied = copy ? copy(source, target, &error) : fs::copyNew(source, target, &error);
        if (!copied)
            throw EInOutError(
                QStringLiteral("Test se nepodařilo zkopírovat do složky Testy (%1); import byl vrácen zpět")
                    .arg(error.isEmpty() ? QStringLiteral("neznámá chyba") : error));
        result.copiedTo = target;
    } catch (...) {
        closeQuietly(catalogue);
        closeQuietly(kinds);
        // Take back what this import added; a failure here must not hide the
        // original error, which is what the user needs to see.
        try {
            if (result.kindRecNo && !kindFile.isEmpty())
                takeBackRow(kindFile, result.kindRecNo, QStringLiteral("DRUH"), test.kind);
        } catch (...) {
        }
        try {
            if (result.catalogueRecNo && !catalogueFile.isEmpty())
                takeBackRow(catalogueFile, result.catalogueRecNo, QStringLiteral("NAZEV"), test.fileName);
        } catch (...) {
        }
        throw;
    }

    // 4. The copy is safe on disk; only now does the import file go.
    result.sourceRemoved = QFile::remove(source);
    return result;
}

} // namespace vedomec::importing
