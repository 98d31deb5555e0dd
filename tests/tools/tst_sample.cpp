// The sample application folder the build lays out next to the program:
// complete, opened by the data module, with tests of every type that open
// with their declared layouts, tests waiting for import and four sound cues.
#include "data/Data.h"
#include "data/Table.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

using namespace vedomec::data;

namespace {

// The pristine sample the build lays out and installs: the copy next to the
// program is the one a developer runs and imports into.
QString appFolder() { return qEnvironmentVariable("VEDOMEC_SAMPLE_DIR"); }
QString at(const QString& relative) { return QDir(appFolder()).filePath(relative); }
QString tool(const char* name) { return QDir(qEnvironmentVariable("VEDOMEC_BIN_DIR")).filePath(QLatin1String(name)); }

quint32 le32(const QByteArray& b, int at) { return quint32(uchar(b[at])) | quint32(uchar(b[at + 1])) << 8 | quint32(uchar(b[at + 2])) << 16 | quint32(uchar(b[at + 3])) << 24; }
quint16 le16(const QByteArray& b, int at) { return quint16(uchar(b[at]) | uchar(b[at + 1]) << 8); }

void openTable(TTable& t, const QString& folder, const QString& file, const QList<FieldDef>& layout)
{
    t.SetDatabaseName(folder);
    t.SetTableName(file);
    t.SetFieldDefs(layout);
    t.Open();
}

QList<FieldDef> layoutOf(const QString& type)
{
    return type == QLatin1String("A") ? layoutA() : type == QLatin1String("B") ? layoutB() : layoutC();
}

} // namespace

class SampleFolder : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY2(!appFolder().isEmpty(), "VEDOMEC_SAMPLE_DIR is not set"); }

    void allFilesAreThere()
    {
        for (const char* f : {"Data/Testy.DBF", "Data/Testy.MDX", "Data/TestD.DBF", "Data/TestD.MDX", "Zvuky/Dialog.wav",
                              "Zvuky/Info.wav", "Zvuky/Chyba.wav", "Zvuky/Dotaz.wav"})
            QVERIFY2(QFile::exists(at(QLatin1String(f))), f);
        QVERIFY(QDir(at(QStringLiteral("Testy/Import"))).exists());
        // No work folder or temporary file left behind by the build.
        const QStringList hidden = QDir(appFolder()).entryList(QDir::Hidden | QDir::AllEntries | QDir::NoDotAndDotDot)
                                       .filter(QStringLiteral(".vedomec-sample.work"));
        QVERIFY(hidden.isEmpty());
    }

    void dataModuleOpensTheCatalogue()
    {
        TDataModule1 module(appFolder() + u'/');
        module.DataModule1Create();
        QVERIFY(!module.Table4->Active());
        QVERIFY(!module.Table5->Active());
    }

    void catalogueTestsOpenWithTheirLayouts()
    {
        TTable cat;
        openTable(cat, at(QStringLiteral("Data")), QStringLiteral("Testy.DBF"), catalogueLayout());
        cat.SetIndexName(QStringLiteral("DruhJmeno"));
        QVERIFY(cat.RecordCount() >= 3);
        QSet<QString> types;
        bool timed = false, untimed = false;
        QStringList files;
        cat.First();
        do {
            const QString type = cat.FieldAsString(QStringLiteral("TEST"));
            const QString file = cat.FieldAsString(QStringLiteral("NAZEV"));
            files << file.toLower();
            types << type;
            QCOMPARE(cat.FieldAsString(QStringLiteral("OTEVRENO")), QString());

            TTable q;
            openTable(q, at(QStringLiteral("Testy")), file, layoutOf(type));
            QVERIFY2(q.RecordCount() >= 8 && q.RecordCount() <= 20, qPrintable(file));
            QCOMPARE(q.FieldAsString(QStringLiteral("NAZEV")).left(50), cat.FieldAsString(QStringLiteral("JMENO")));
            QCOMPARE(q.FieldAsString(QStringLiteral("DRUH")), cat.FieldAsString(QStringLiteral("DRUH")));
            const bool limit = q.FieldAsString(QStringLiteral("CAS1")) != QLatin1String("0")
                || q.FieldAsString(QStringLiteral("CAS2")) != QLatin1String("0")
                || q.FieldAsString(QStringLiteral("CAS3")) != QLatin1String("0");
            (limit ? timed : untimed) = true;
            // Every question has its correct answer and no stored answer.
            q.First();
            do {
                QVERIFY(!q.FieldAsString(QStringLiteral("OTAZKA")).isEmpty());
                QVERIFY(!q.FieldAsString(QStringLiteral("SPRAVNE")).isEmpty());
                QCOMPARE(q.FieldAsString(QStringLiteral("ODPOVED")), QString());
                QCOMPARE(q.FieldAsString(QStringLiteral("TEST")), type);
                q.Next();
            } while (!q.Eof());
            cat.Next();
        } while (!cat.Eof());
        QCOMPARE(types, (QSet<QString>{"A", "B", "C"}));
        QVERIFY(timed);
        QVERIFY(untimed);

        // Tests waiting for import are not in the catalogue yet.
        const QStringList waiting = QDir(at(QStringLiteral("Testy/Import"))).entryList({QStringLiteral("*.dbf")}, QDir::Files);
        QVERIFY(waiting.size() >= 2);
        for (const QString& w : waiting) {
            QVERIFY(!files.contains(w.toLower()));
            QVERIFY(!QFile::exists(at(QStringLiteral("Testy/") + w)));
            TTable q;
            openTable(q, at(QStringLiteral("Testy/Import")), w, identificationLayout());
            const QString type = q.FieldAsString(QStringLiteral("TEST"));
            q.Close();
            openTable(q, at(QStringLiteral("Testy/Import")), w, layoutOf(type));
            QVERIFY(q.RecordCount() >= 8);
        }
    }

    void indexesPassTheCheck()
    {
        for (const char* table : {"Data/Testy.DBF", "Data/TestD.DBF"}) {
            QProcess p;
            p.start(tool("vedomec-table"), {QStringLiteral("check"), at(QLatin1String(table))});
            QVERIFY(p.waitForFinished(60000));
            QVERIFY2(p.exitCode() == 0, p.readAllStandardOutput().constData());
        }
    }

    void soundCuesAreShortDistinctWaves()
    {
        QSet<QByteArray> seen;
        for (const char* name : {"Dialog.wav", "Info.wav", "Chyba.wav", "Dotaz.wav"}) {
            QFile f(at(QStringLiteral("Zvuky/") + QLatin1String(name)));
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QByteArray b = f.readAll();
            QVERIFY(b.size() > 44);
            QCOMPARE(b.left(4), QByteArray("RIFF"));
            QCOMPARE(le32(b, 4), quint32(b.size() - 8));
            QCOMPARE(b.mid(8, 8), QByteArray("WAVEfmt "));
            QCOMPARE(le16(b, 20), quint16(1));  // PCM
            QCOMPARE(le16(b, 22), quint16(1));  // mono
            const quint32 rate = le32(b, 24);
            QCOMPARE(le16(b, 34), quint16(16));
            QCOMPARE(b.mid(36, 4), QByteArray("data"));
            const quint32 data = le32(b, 40);
            QCOMPARE(data, quint32(b.size() - 44));
            const double seconds = double(data) / 2 / rate;
            QVERIFY2(seconds > 0.1 && seconds < 0.5, name);
            seen.insert(b);
        }
        QCOMPARE(seen.size(), 4);
    }
    // The build step itself, in a folder of its own: it may replace what an
    // earlier run made, never a file it did not make.
    void rebuildReplacesOnlyItsOwnFiles()
    {
        QTemporaryDir out;
        const QString source = qEnvironmentVariable("VEDOMEC_SOURCE_DIR");
        auto build = [&](const QString& catalogue) {
            QProcess p;
            p.start(qEnvironmentVariable("VEDOMEC_CMAKE", QStringLiteral("cmake")),
                    {QStringLiteral("-DMKTEST=") + tool("vedomec-mktest"),
                     QStringLiteral("-DTABLE=") + tool("vedomec-table"),
                     QStringLiteral("-DMKSOUNDS=") + tool("vedomec-mksounds"),
                     QStringLiteral("-DSOURCE_DIR=") + source + QStringLiteral("/sample"),
                     QStringLiteral("-DOUT_DIR=") + out.path(), QStringLiteral("-DCATALOGUE=") + catalogue,
                     QStringLiteral("-DIMPORT=SlovniDruhy"), QStringLiteral("-P"),
                     source + QStringLiteral("/sample/BuildSample.cmake")});
            if (!p.waitForFinished(120000))
                return -1;
            return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        };
        auto write = [](const QString& path, const QByteArray& bytes) {
            QFile f(path);
            return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
        };
        auto read = [](const QString& path) {
            QFile f(path);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        };
        const QString mine = out.filePath(QStringLiteral("Testy/Moje.dbf"));
        const QString catalogue = out.filePath(QStringLiteral("Data/Testy.DBF"));

        QCOMPARE(build(QStringLiteral("ZemepisCR")), 0);
        QVERIFY(QFile::exists(catalogue));
        QVERIFY(QFile::exists(out.filePath(QStringLiteral("Testy/Import/SlovniDruhy.dbf"))));
        QVERIFY(write(mine, "mine"));
        QVERIFY(write(catalogue, "spoilt"));

        QCOMPARE(build(QStringLiteral("ZemepisCR")), 0);
        QCOMPARE(read(mine), QByteArray("mine"));
        QVERIFY(read(catalogue).size() > 100); // made afresh

        const QString inTheWay = out.filePath(QStringLiteral("Testy/Prirodoveda.dbf"));
        QVERIFY(write(inTheWay, "teacher's own"));
        const QByteArray before = read(catalogue);
        QVERIFY(build(QStringLiteral("ZemepisCR,Prirodoveda")) != 0);
        QCOMPARE(read(inTheWay), QByteArray("teacher's own"));
        QCOMPARE(read(catalogue), before);
        QCOMPARE(read(mine), QByteArray("mine"));
        QVERIFY(!QFile::exists(out.filePath(QStringLiteral(".vedomec-sample.work"))));
    }
};

QTEST_GUILESS_MAIN(SampleFolder)
#include "tst_sample.moc"
