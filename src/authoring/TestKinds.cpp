#include "TestFolder.h"

#include "FolderRows.h"
#include "TableTools.h"
#include "catalogue/CatalogueTables.h"
#include "catalogue/OpenMark.h"
#include "data/Locks.h"
#include "data/Table.h"
#include "platform/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

namespace vedomec::authoring {

using namespace vedomec::data;
using namespace detail;

void TestFolder::addKind(const QString& kind)
{
    const QString k = kind.trimmed();
    if (k.isEmpty())
        throw EVedomecError(QStringLiteral("Druh testu nesmí být prázdný."));
    if (storedLength(k) > exchange::width::Druh || !unstorablePositions(k).isEmpty())
        throw EVedomecError(QStringLiteral("Druh testu smí mít nejvýš %1 znaků z kódování Windows-1250.").arg(exchange::width::Druh));
    if (kinds().contains(k))
        throw EVedomecError(QStringLiteral("Druh „%1“ už existuje.").arg(k));
    addKindRow(dataFolder(), k);
}

namespace {

QString kindKey(const QString& kind)
{
    return QStringLiteral("druh:") + kind;
}

Row renamed(Row r, const QString& to)
{
    r.druh = to;
    return r;
}

struct KindRename {
    QString from, to;
    bool hadFrom = false, hadTo = false;
    struct Test {
        QString file, temp; // temp empty: the question table is missing
        Row row;
    };
    QList<Test> tests;

    QJsonObject json() const
    {
        QJsonArray list;
        for (const Test& t : tests)
            list.append(QJsonObject{{QStringLiteral("file"), t.file}, {QStringLiteral("temp"), t.temp},
                                    {QStringLiteral("row"), rowJson(t.row)}});
        return {{QStringLiteral("file"), kindKey(from)},
                {QStringLiteral("kind"),
                 QJsonObject{{QStringLiteral("from"), from}, {QStringLiteral("to"), to},
                             {QStringLiteral("hadFrom"), hadFrom}, {QStringLiteral("hadTo"), hadTo}}},
                {QStringLiteral("tests"), list}};
    }

    static KindRename fromJson(const QJsonObject& o)
    {
        KindRename r;
        const QJsonObject k = o.value(QStringLiteral("kind")).toObject();
        r.from = k.value(QStringLiteral("from")).toString();
        r.to = k.value(QStringLiteral("to")).toString();
        r.hadFrom = k.value(QStringLiteral("hadFrom")).toBool();
        r.hadTo = k.value(QStringLiteral("hadTo")).toBool();
        for (const QJsonValue& v : o.value(QStringLiteral("tests")).toArray()) {
            const QJsonObject t = v.toObject();
            r.tests.append({t.value(QStringLiteral("file")).toString(), t.value(QStringLiteral("temp")).toString(),
                            rowFromJson(t.value(QStringLiteral("row")).toObject())});
        }
        return r;
    }

    // Everything the catalogue and the kind table held before; the new
    // tables go.  Idempotent, so it may run again after a kill.
    void takeBack(const TestFolder& folder) const
    {
        const QString data = folder.dataFolder();
        for (const Test& t : tests) {
            putRowBack(data, t.file, t.row);
            if (!t.temp.isEmpty() && fs::isPlainFileName(t.temp))
                QFile::remove(QDir(folder.testsFolder()).filePath(t.temp));
        }
        if (hadFrom)
            addKindRow(data, from);
        if (!hadTo)
            removeUnusedKindRow(data, to);
        tidy(folder);
    }

    // Once committed: every row and table under the new kind.  Idempotent.
    void finish(const TestFolder& folder) const
    {
        const QString data = folder.dataFolder();
        for (const Test& t : tests) {
            putRowBack(data, t.file, renamed(t.row, to));
            if (t.temp.isEmpty() || !fs::isPlainFileName(t.temp) || !fs::isPlainFileName(t.file))
                continue;
            const QString temp = QDir(folder.testsFolder()).filePath(t.temp);
            if (QFileInfo::exists(temp) && !renameOver(temp, QDir(folder.testsFolder()).filePath(t.file)))
                throw EInOutError(QStringLiteral("%1: %2").arg(temp, QString::fromLocal8Bit(strerror(errno))));
        }
        addKindRow(data, to);
        removeKindRows(data, from);
        tidy(folder);
    }

    void tidy(const TestFolder& folder) const
    {
        for (const Test& t : tests)
            for (const QString& n : {t.file, t.temp})
                if (!n.isEmpty() && fs::isPlainFileName(n))
                    removeLeftovers(folder.testsFolder(), n);
    }
};

} // namespace

namespace detail {

void settleKindRename(const TestFolder& folder, const QJsonObject& o)
{
    const KindRename r = KindRename::fromJson(o);
    if (o.value(QStringLiteral("committed")).toBool())
        r.finish(folder);
    else
        r.takeBack(folder);
}

} // namespace detail

// Every test of the kind gets its new question table under a temporary
// name and its catalogue row, and the kind table changes; all of it is put
// back from the intent until one write into the intent commits the change,
// after which only renames of the new tables remain, which the next
// editor's recover() finishes should this one be killed.
void TestFolder::renameKind(const QString& from, const QString& to)
{
    const QString k = to.trimmed();
    if (k.isEmpty() || storedLength(k) > exchange::width::Druh || !unstorablePositions(k).isEmpty())
        throw EVedomecError(QStringLiteral("Druh testu musí mít 1 až %1 znaků z kódování Windows-1250.").arg(exchange::width::Druh));
    if (k == from)
        return;
    const QString data = dataFolder();

    KindRename change;
    change.from = from;
    change.to = k;
    {
        TTable cat;
        catalogue::configureCatalogue(cat, data, false);
        cat.Open();
        if (!cat.IsEmpty())
            for (cat.First(); !cat.Eof(); cat.Next())
                if (cat.FieldAsString(QStringLiteral("DRUH")) == from)
                    change.tests.append({cat.FieldAsString(QStringLiteral("NAZEV")), QString(), readRow(cat)});
        cat.Close();
    }
    // No test of the kind may be open in an editor; the holds keep it so.
    std::vector<std::unique_ptr<EditLock>> holds;
    QList<TestSource> sources;
    for (KindRename::Test& t : change.tests) {
        const QString p = testPath(t.file);
        if (p.isEmpty()) {
            sources.append(TestSource());
            continue;
        }
        auto hold = std::make_unique<EditLock>();
        if (catalogue::openMarkShuts(t.row.otevreno, p) || !hold->acquire(p))
            throw ETestBusy(QStringLiteral("Test „%1“ je otevřen v editoru; druh „%2“ teď nelze přejmenovat.")
                                .arg(t.row.jmeno, from));
        holds.push_back(std::move(hold));
        TestSource test = load(t.file);
        test.kind = k;
        sources.append(test);
        t.temp = QFileInfo(tools::temporarySibling(p)).fileName();
    }
    change.hadFrom = hasKindRow(data, from);
    change.hadTo = hasKindRow(data, k);

    Intent intent(data);
    intent.begin(change.json());
    try {
        for (qsizetype i = 0; i < change.tests.size(); ++i)
            if (!change.tests[i].temp.isEmpty())
                writeTestTable(sources[i], QDir(testsFolder()).filePath(change.tests[i].temp));
        if (!change.hadTo)
            addKindRow(data, k);
        {
            TTable cat;
            catalogue::configureCatalogue(cat, data, false);
            cat.Open();
            for (const KindRename::Test& t : std::as_const(change.tests))
                if (catalogue::findCatalogueRow(cat, t.file))
                    writeRow(cat, renamed(readRow(cat), k));
            cat.Close();
        }
        if (change.hadFrom)
            removeKindRows(data, from);
        intent.commit();
    } catch (...) {
        try {
            change.takeBack(*this);
            intent.finish();
        } catch (...) {
            intent.leave(); // the next editor's recover() takes it back
        }
        throw;
    }
    try {
        change.finish(*this);
        intent.finish();
    } catch (...) {
        // Committed: what is left is finished by the next editor's recover().
        intent.leave();
    }
}

void TestFolder::removeKind(const QString& kind)
{
    int count = 0;
    for (const TestEntry& e : tests())
        count += e.kind == kind;
    if (count > 0)
        throw EVedomecError(QStringLiteral("Druh „%1“ nelze smazat: patří k němu %2 %3.")
                                .arg(kind)
                                .arg(count)
                                .arg(count == 1 ? QStringLiteral("test") : count < 5 ? QStringLiteral("testy")
                                                                                      : QStringLiteral("testů")));
    removeKindRows(dataFolder(), kind);
}

} // namespace vedomec::authoring
