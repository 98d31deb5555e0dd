// The import dialog and the identification dialog driven as the user drives
// them, with the catalogue, the kind table and both folders read back.
#include "AppFixture.h"

#include "TableTools.h"
#include "exchange/TestSource.h"
#include "controls/CaptionButton.h"
#include "controls/DBControls.h"
#include "controls/Gradpan.h"
#include "data/Mdx.h"
#include "data/Table.h"
#include "import/ImportLogic.h"
#include "platform/Cp1250.h"
#include "platform/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QHelpEvent>
#include <QTest>
#include <QToolTip>
#include <QTreeWidget>

using namespace vedomec;
using namespace vedomec::testdata;

namespace {

QString sampleDir()
{
    return qEnvironmentVariable("VEDOMEC_SOURCE_DIR") + QStringLiteral("/sample/");
}

template <class T>
T* child(QWidget* w, const char* name)
{
    T* c = w->findChild<T*>(QLatin1String(name));
    if (!c)
        qFatal("no control %s", name);
    return c;
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Rows of a table in the order of its index tag, as "f1|f2|...".
QStringList walk(const QString& dataFolder, const QString& file, const QList<data::FieldDef>& layout,
                 const QString& tag, const QStringList& fields)
{
    data::TTable t;
    t.SetDatabaseName(dataFolder);
    t.SetTableName(file);
    t.SetFieldDefs(layout);
    t.SetIndexName(tag);
    t.Open();
    QStringList out;
    t.First();
    if (!t.IsEmpty()) {
        do {
            QStringList v;
            for (const QString& f : fields)
                v << t.FieldAsString(f);
            out << v.join(QLatin1Char('|'));
            t.Next();
        } while (!t.Eof());
    }
    t.Close();
    return out;
}

QStringList catalogueRows(AppFixture& app)
{
    return walk(app.folder.path() + "Data", "Testy.DBF", data::catalogueLayout(), "DRUHJMENO",
                {"DRUH", "JMENO", "NAZEV", "TEST", "HESLO", "OTEVRENO"});
}

QStringList kindRows(AppFixture& app)
{
    return walk(app.folder.path() + "Data", "TestD.DBF", data::kindLayout(), "DRUH", {"DRUH"});
}

} // namespace

class TestImportDialogs : public QObject {
    Q_OBJECT

    // Shows the import dialog and selects `name` in its list.
    static void showAndSelect(AppFixture& app, const QString& name)
    {
        app.import->show();
        QApplication::processEvents();
        auto* list = child<QListWidget>(app.import, "FileListBox1");
        const auto items = list->findItems(name, Qt::MatchExactly);
        QCOMPARE(items.size(), 1);
        list->setCurrentItem(items.first());
        QCOMPARE(child<QLabel>(app.import, "Label2")->text(), name);
    }

    // Through both dialogs: select, "Import", check the hand-over, "Ok".
    static void importThroughDialogs(AppFixture& app, const QString& name)
    {
        showAndSelect(app, name);
        QTest::mouseClick(child<QPushButton>(app.import, "Button1"), Qt::LeftButton);
        QVERIFY2(app.errors.isEmpty(), qPrintable(app.errors.join('\n')));
        QVERIFY(!app.import->isVisible());
        QVERIFY(app.ident->isVisible());
        QVERIFY(!app.main->isEnabled());
        QTest::mouseClick(child<QPushButton>(app.ident, "Button1"), Qt::LeftButton);
        QVERIFY2(app.errors.isEmpty(), qPrintable(app.errors.join('\n')));
        QVERIFY(!app.ident->isVisible());
        QVERIFY(app.main->isEnabled());
    }

    // Opens the test of that kind and title from the open-test dialog.
    static void openFromCatalogue(AppFixture& app, const QString& kind, const QString& title)
    {
        app.open->show();
        QApplication::processEvents();
        auto* tree = child<QTreeWidget>(app.open, "TreeView1");
        QTreeWidgetItem* k = nullptr;
        for (int i = 0; i < tree->topLevelItemCount(); ++i)
            if (tree->topLevelItem(i)->text(0) == kind)
                k = tree->topLevelItem(i);
        QVERIFY2(k, qPrintable(kind));
        QTreeWidgetItem* t = nullptr;
        for (int i = 0; i < k->childCount(); ++i)
            if (k->child(i)->text(0) == title)
                t = k->child(i);
        QVERIFY2(t, qPrintable(title));
        tree->setCurrentItem(t);
        QTest::mouseClick(child<QPushButton>(app.open, "Button1"), Qt::LeftButton);
        QVERIFY2(app.errors.isEmpty(), qPrintable(app.errors.join('\n')));
    }

private slots:
    void dialogsLookAsDesigned()
    {
        AppFixture app;
        app.showMain();
        QCOMPARE(ImportDialog, app.import);
        QCOMPARE(IdentifikaceDialog, app.ident);
        QCOMPARE(app.import->Caption(), QStringLiteral("Import testu"));
        QCOMPARE(app.import->clientSize(), QSize(296, 241));
        QCOMPARE(app.ident->Caption(), QStringLiteral("Identifikace importovaného testu"));
        QCOMPARE(app.ident->clientSize(), QSize(366, 223));
        QCOMPARE(child<QLabel>(app.import, "Label1")->text(), QStringLiteral("Seznam souborů pro import :"));
        QCOMPARE(child<QPushButton>(app.import, "Button1")->text(), QStringLiteral("Import"));
        QCOMPARE(child<QPushButton>(app.import, "Button2")->text(), QStringLiteral("Zpět"));
        QCOMPARE(child<QPushButton>(app.ident, "Button1")->text(), QStringLiteral("Ok"));
        QCOMPARE(child<QPushButton>(app.ident, "Button2")->text(), QStringLiteral("Zpět"));
        for (QWidget* d : {static_cast<QWidget*>(app.import), static_cast<QWidget*>(app.ident)}) {
            child<controls::TGradPan>(d, "GradPan1");
            auto* help = child<controls::TCaptionButton>(d, "CaptionButton2");
            QCOMPARE(help->Standard(), controls::tsbHelp);
            QVERIFY(!help->Toggle()); // every click switches help mode
        }
        app.import->show();
        QApplication::processEvents();
        QVERIFY(!child<QLabel>(app.import, "Label2")->isVisible());
        QVERIFY(!app.import->HelpMode());
        emit child<controls::TCaptionButton>(app.import, "CaptionButton2")->OnClick(nullptr);
        QVERIFY(app.import->HelpMode());
        app.import->close();

        // Captions black, values red, Times New Roman 13 px.
        const std::pair<const char*, const char*> rows[] = {
            {"Label1", "DBText1"}, {"Label2", "DBText2"}, {"Label3", "DBText3"}, {"Label4", "DBText4"},
            {"Label5", "DBText5"}, {"Label6", "DBText6"}, {"Label7", "Label10"}, {"Label8", "Label9"},
            {"Label11", "Cas1"}};
        for (const auto& [cap, value] : rows) {
            auto* c = child<QLabel>(app.ident, cap);
            auto* v = child<QLabel>(app.ident, value);
            QCOMPARE(c->palette().color(QPalette::WindowText), QColor(Qt::black));
            QCOMPARE(v->palette().color(QPalette::WindowText), QColor(Qt::red));
            QCOMPARE(v->font().pixelSize(), 13);
            QCOMPARE(v->y(), c->y());
            QVERIFY(v->x() > c->geometry().right());
        }
        QCOMPARE(child<QLabel>(app.ident, "Label7")->text(), QStringLiteral("Chráněno pro editaci ?"));
        QCOMPARE(child<QLabel>(app.ident, "Label11")->text(), QStringLiteral("Stanovený čas pro vyplnění testu :"));
    }

    // "*.dbf" in any letter case, sorted, with icons; Label2 follows the
    // selection; nothing chosen answers with the message.
    void fileListAndNoSelection()
    {
        AppFixture app([](AppFolder& f) {
            f.addImport("b.DBF", simpleTest("A", 1));
            f.addImport("a.dbf", simpleTest("B", 1));
            f.addImport("D.Dbf", simpleTest("C", 1));
            QFile txt(f.import() + "poznamky.txt");
            txt.open(QIODevice::WriteOnly);
            QDir(f.import()).mkdir("slozka.dbf");
        });
        app.showMain();
        app.import->show();
        QApplication::processEvents();
        QCOMPARE(app.cues(), QStringList{"Dialog.wav"});
        QVERIFY(!app.main->isEnabled());
        auto* list = child<QListWidget>(app.import, "FileListBox1");
        QStringList names;
        for (int i = 0; i < list->count(); ++i) {
            names << list->item(i)->text();
            QVERIFY(!list->item(i)->icon().isNull());
        }
        QCOMPARE(names, (QStringList{"a.dbf", "b.DBF", "D.Dbf"}));
        auto* label2 = child<QLabel>(app.import, "Label2");
        QCOMPARE(label2->text(), QString());

        QTest::mouseClick(child<QPushButton>(app.import, "Button1"), Qt::LeftButton);
        QCOMPARE(app.messageTexts(), QStringList{"Nebyl vybrán žádný test pro import!"});
        QCOMPARE(app.messages.back().type, int(mtError));
        QCOMPARE(app.messages.back().title, QStringLiteral("Vedomec"));
        QCOMPARE(app.cues().last(), QStringLiteral("Chyba.wav"));
        QVERIFY(app.import->isVisible());
        app.import->FileListBox1DblClick();
        QCOMPARE(app.messageTexts().size(), 2);
        QCOMPARE(app.messageTexts().last(), QStringLiteral("Nebyl vybrán žádný test pro import!"));

        list->setCurrentRow(2);
        QCOMPARE(label2->text(), QStringLiteral("D.Dbf"));
        list->setCurrentRow(0);
        QCOMPARE(label2->text(), QStringLiteral("a.dbf"));

        // Esc from the list closes the dialog and touches nothing.
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Escape);
        QVERIFY(!app.import->isVisible());
        QVERIFY(app.main->isEnabled());
        QVERIFY(QFile::exists(app.folder.import() + "a.dbf"));
        QVERIFY(app.errors.isEmpty());

        // An empty folder: empty list, and the same message.
        for (const char* n : {"a.dbf", "b.DBF", "D.Dbf"})
            QVERIFY(QFile::remove(app.folder.import() + n));
        app.import->show();
        QApplication::processEvents();
        QCOMPARE(list->count(), 0);
        QTest::keyClick(child<QPushButton>(app.import, "Button1"), Qt::Key_Return);
        QCOMPARE(app.messageTexts().last(), QStringLiteral("Nebyl vybrán žádný test pro import!"));
        QTest::keyClick(child<QPushButton>(app.import, "Button2"), Qt::Key_Escape);
        QVERIFY(!app.import->isVisible());
    }

    // Every sample test: through both dialogs, then opened from the
    // open-test dialog.
    void sampleTestsEndToEnd_data()
    {
        QTest::addColumn<QString>("source");
        const QStringList sources = QDir(sampleDir()).entryList({"*.txt"}, QDir::Files, QDir::Name);
        QVERIFY(!sources.isEmpty());
        for (const QString& s : sources)
            if (s != QLatin1String("CMakeLists.txt"))
                QTest::newRow(qPrintable(s)) << s;
    }
    void sampleTestsEndToEnd()
    {
        QFETCH(QString, source);
        const exchange::TestSource src = exchange::readTestSourceFile(sampleDir() + source);
        const QString name = QFileInfo(source).completeBaseName() + ".dbf";
        AppFixture app([&](AppFolder& f) { tools::writeQuestionTable(src, f.import() + name); });
        app.showMain();
        const QByteArray bytes = fileBytes(app.folder.import() + name);

        showAndSelect(app, name);
        QTest::keyClick(child<QListWidget>(app.import, "FileListBox1"), Qt::Key_Return);
        QVERIFY(app.ident->isVisible());
        QCOMPARE(child<QLabel>(app.ident, "DBText1")->text(), src.kind);
        QCOMPARE(child<QLabel>(app.ident, "DBText2")->text(), src.title);
        QCOMPARE(child<QLabel>(app.ident, "DBText3")->text(), src.author);
        QCOMPARE(child<QLabel>(app.ident, "DBText4")->text(), src.address);
        QCOMPARE(child<QLabel>(app.ident, "DBText5")->text(), src.email);
        QCOMPARE(child<QLabel>(app.ident, "DBText6")->text(), src.http);
        QCOMPARE(child<QLabel>(app.ident, "Label9")->text(), importing::typeText(QString(src.type)));
        QCOMPARE(child<QLabel>(app.ident, "Label10")->text(), src.password.isEmpty() ? "NE" : "ANO");
        if (!src.hasTimeLimit())
            QCOMPARE(child<QLabel>(app.ident, "Cas1")->text(), QStringLiteral("neomezeno"));
        else
            QCOMPARE(child<QLabel>(app.ident, "Cas1")->text(),
                     QStringLiteral("%1:%2:%3").arg(src.hours).arg(src.minutes, 2, 10, QChar('0'))
                         .arg(src.seconds, 2, 10, QChar('0')));
        const int cuesBefore = app.cues().size();
        QTest::keyClick(child<QPushButton>(app.ident, "Button1"), Qt::Key_Return);
        QVERIFY2(app.errors.isEmpty(), qPrintable(app.errors.join('\n')));
        QVERIFY(!app.ident->isVisible());
        QVERIFY(app.main->isEnabled());
        QCOMPARE(app.cues().size(), cuesBefore); // "Ok" is silent
        QVERIFY(app.messages.empty());
        QVERIFY(!app.ident->Table1->Active());

        QCOMPARE(fileBytes(app.folder.testy() + name), bytes);
        QVERIFY(!QFile::exists(app.folder.import() + name));
        const QString expectedRow =
            QStringList{src.kind, src.title.left(50), name, QString(src.type), src.password, QString()}.join('|');
        QCOMPARE(catalogueRows(app), QStringList{expectedRow});
        QCOMPARE(kindRows(app), QStringList{src.kind});

        openFromCatalogue(app, src.kind, src.title.left(50));
        data::TTable* open = app.main->OpenTable();
        QVERIFY(open);
        QCOMPARE(open->TableName(), name);
        QCOMPARE(open->RecordCount(), src.questions.size());
        QVERIFY(!app.open->isVisible());
    }

    // Several imports through the dialogs: kinds differing only in case, an
    // 80-character title, the same test under two names.  Both tables walk
    // in key order and both index files pass the check.
    void severalImportsKeepOrder()
    {
        TestFile a = simpleTest("A", 2);
        a.druh = "Zeměpis";
        a.nazev = "Řeky";
        TestFile b = simpleTest("B", 3);
        b.druh = "ZEMĚPIS";
        b.nazev = QString(30, QChar(u'x')) + QString(50, QChar(u'y'));
        TestFile c = simpleTest("C", 2);
        c.druh = "zeměpis";
        c.nazev = "Hory";
        AppFixture app([&](AppFolder& f) {
            f.addImport("reky.dbf", a);
            f.addImport("dlouhy.dbf", b);
            f.addImport("hory1.dbf", c);
            f.addImport("hory2.dbf", c);
            f.addImport("NV99.dbf", a);
        });
        app.showMain();
        for (const char* n : {"reky.dbf", "dlouhy.dbf", "hory1.dbf", "hory2.dbf", "NV99.dbf"})
            importThroughDialogs(app, n);

        const QStringList cat = catalogueRows(app);
        QCOMPARE(cat.size(), 5);
        QVERIFY(cat.contains("ZEMĚPIS|" + b.nazev.left(50) + "|dlouhy.dbf|B||"));
        QVERIFY(cat.contains("zeměpis|Hory|hory1.dbf|C||"));
        QVERIFY(cat.contains("zeměpis|Hory|hory2.dbf|C||"));
        QVERIFY(cat.contains("Zeměpis|Řeky|NV99.dbf|A||"));
        auto key = [](const QString& row) {
            const QStringList p = row.split('|');
            QByteArray k;
            for (int i = 0; i < 2; ++i) {
                const QByteArray v = unicodeToCp1250(p[i]);
                k += v + QByteArray(50 - v.size(), ' ');
            }
            return k;
        };
        for (int i = 1; i < cat.size(); ++i)
            QVERIFY2(key(cat[i - 1]) <= key(cat[i]), qPrintable(cat[i - 1] + " / " + cat[i]));
        const QStringList kinds = kindRows(app);
        QCOMPARE(kinds.size(), 3);
        for (int i = 1; i < kinds.size(); ++i)
            QVERIFY(unicodeToCp1250(kinds[i - 1]) < unicodeToCp1250(kinds[i]));
        for (const char* mdx : {"Data/Testy.MDX", "Data/TestD.MDX"}) {
            const QStringList problems = data::MdxFile::open(app.folder.path() + mdx, false)->check();
            QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
        }
        QVERIFY(QDir(app.folder.import()).entryList(QDir::Files).isEmpty());
    }

    // A name already in Testy, in another letter case too: refused, the file
    // keeps its own name, nothing is written.
    void nameTakenIsRefused_data()
    {
        QTest::addColumn<QString>("inTesty");
        QTest::newRow("same case") << "Zemepis.dbf";
        QTest::newRow("other case") << "ZEMEPIS.DBF";
    }
    void nameTakenIsRefused()
    {
        QFETCH(QString, inTesty);
        AppFixture app([&](AppFolder& f) {
            f.addTest(inTesty, simpleTest("A", 2));
            f.addKind("Zeměpis");
            f.addImport("Zemepis.dbf", simpleTest("B", 2));
        });
        app.showMain();
        const QStringList before = catalogueRows(app);
        const QByteArray inTestyBytes = fileBytes(app.folder.testy() + inTesty);
        showAndSelect(app, "Zemepis.dbf");
        QTest::mouseClick(child<QPushButton>(app.import, "Button1"), Qt::LeftButton);
        QCOMPARE(app.messageTexts(),
                 QStringList{"Soubor s tímto názvem již existuje. Přepište název souboru na nový a zkuste "
                             "provést import znovu."});
        QCOMPARE(app.cues().last(), QStringLiteral("Chyba.wav"));
        QVERIFY(app.import->isVisible());
        QVERIFY(!app.ident->isVisible());
        QVERIFY(!app.ident->Table1->Active());
        QCOMPARE(QDir(app.folder.import()).entryList(QDir::Files), QStringList{"Zemepis.dbf"});
        QCOMPARE(fileBytes(app.folder.testy() + inTesty), inTestyBytes);
        QCOMPARE(catalogueRows(app), before);
        QVERIFY(app.errors.isEmpty());
    }

    // A file name the catalogue cannot hold exactly is refused in Czech with
    // the import's error cue; the file stays where it is and nothing else
    // changes.
    void nameTheCatalogueCannotHoldIsRefused_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("says");
        QTest::newRow("too long") << QString(60, QChar(u'a')) + ".dbf"
                                  << "Název souboru „" + QString(60, QChar(u'a')) + ".dbf“ má 64 znaků, katalog testů jich "
                                     "pojme nejvýš 50. Přejmenujte prosím soubor a zkuste provést import znovu.";
        QTest::newRow("outside Windows-1250") << QStringLiteral("Ѫ.dbf")
                                              << QStringLiteral("Název souboru „Ѫ.dbf“ obsahuje znak „Ѫ“ (U+046A), který "
                                                                "katalog testů neumí uložit. Přejmenujte prosím soubor a "
                                                                "zkuste provést import znovu.");
    }
    void nameTheCatalogueCannotHoldIsRefused()
    {
        QFETCH(QString, name);
        QFETCH(QString, says);
        AppFixture app([&](AppFolder& f) { f.addImport(name, simpleTest("A", 2)); });
        app.showMain();
        const QByteArray bytes = fileBytes(app.folder.import() + name);
        showAndSelect(app, name);
        QTest::mouseClick(child<QPushButton>(app.import, "Button1"), Qt::LeftButton);
        QCOMPARE(app.messageTexts(), QStringList{says});
        QCOMPARE(app.messages.back().type, int(mtError));
        QCOMPARE(app.cues().last(), QStringLiteral("Chyba.wav"));
        QVERIFY(app.import->isVisible());
        QVERIFY(!app.ident->isVisible());
        QCOMPARE(QDir(app.folder.import()).entryList(QDir::Files), QStringList{name});
        QCOMPARE(fileBytes(app.folder.import() + name), bytes);
        QVERIFY(QDir(app.folder.testy()).entryList(QDir::Files).isEmpty());
        QVERIFY(catalogueRows(app).isEmpty());
        QVERIFY(app.errors.isEmpty());
    }

    // "Zpět", Esc and the close box after the hand-over change nothing, and
    // the import can be started again.
    // A 100-character title, author and address are shortened at their end
    // inside their rows, each with the full text as its tooltip; short
    // values are shown as they are.
    void longValuesShortenedWithTheFullTextAtHand()
    {
        TestFile t = simpleTest("A", 2);
        t.nazev = QStringLiteral("Opakování učiva osmého ročníku: ") + QString(68, QLatin1Char('m'));
        QCOMPARE(t.nazev.size(), 100);
        t.adresa = QStringLiteral("Základní škola Na Výsluní, Dlouhá ulice 1234/56, Horní Dolní u Pardubic, 530 02");
        AppFixture app([&](AppFolder& f) { f.addImport("dlouhy.dbf", t); });
        app.showMain();
        showAndSelect(app, "dlouhy.dbf");
        QTest::mouseClick(child<QPushButton>(app.import, "Button1"), Qt::LeftButton);
        QVERIFY(app.ident->isVisible());
        QApplication::processEvents();

        QWidget* client = app.ident->clientArea();
        for (const char* name : {"DBText2", "DBText4"}) {
            auto* v = child<TDBText>(app.ident, name);
            QCOMPARE(v->text(), QString::fromUtf8(name) == "DBText2" ? t.nazev : t.adresa);
            QVERIFY2(client->rect().contains(v->geometry()), name);
            QVERIFY2(v->isElided(), name);
            QVERIFY(v->shownText().endsWith(QChar(0x2026)));
            QVERIFY(v->fontMetrics().horizontalAdvance(v->shownText()) <= v->width());
            const QPoint at = v->rect().center();
            QHelpEvent help(QEvent::ToolTip, at, v->mapToGlobal(at));
            QApplication::sendEvent(v, &help);
            QTRY_COMPARE(QToolTip::text(), v->text());
            QToolTip::hideText();
        }
        auto* kind = child<TDBText>(app.ident, "DBText1");
        QVERIFY(!kind->isElided());
        QCOMPARE(kind->shownText(), t.druh);
        QTest::mouseClick(child<QPushButton>(app.ident, "Button2"), Qt::LeftButton);
    }

    void leavingIdentificationChangesNothing()
    {
        AppFixture app([](AppFolder& f) { f.addImport("test.dbf", simpleTest("A", 3)); });
        app.showMain();
        const QByteArray bytes = fileBytes(app.folder.import() + "test.dbf");
        for (int way = 0; way < 3; ++way) {
            showAndSelect(app, "test.dbf");
            QTest::mouseClick(child<QPushButton>(app.import, "Button1"), Qt::LeftButton);
            QVERIFY(app.ident->isVisible());
            QVERIFY(app.ident->Table1->Active());
            if (way == 0)
                QTest::mouseClick(child<QPushButton>(app.ident, "Button2"), Qt::LeftButton);
            else if (way == 1)
                QTest::keyClick(child<QPushButton>(app.ident, "Button1"), Qt::Key_Escape);
            else
                emit app.ident->closeButton()->OnClick(nullptr);
            QVERIFY(!app.ident->isVisible());
            QVERIFY(!app.ident->Table1->Active());
            QVERIFY(app.main->isEnabled());
            QCOMPARE(child<QLabel>(app.ident, "DBText1")->text(), QString());
        }
        QCOMPARE(fileBytes(app.folder.import() + "test.dbf"), bytes);
        QVERIFY(!QFile::exists(app.folder.testy() + "test.dbf"));
        QVERIFY(catalogueRows(app).isEmpty());
        QVERIFY(kindRows(app).isEmpty());
        QVERIFY(app.errors.isEmpty());
    }

    // The copy fails: the standard error report says so, the dialog stays
    // with the test on screen, and nothing is lost or left half done.
    void copyFailureLosesNothing()
    {
        TestFile t = simpleTest("C", 2);
        t.druh = "Nový druh";
        AppFixture app([&](AppFolder& f) {
            f.addKind("Zeměpis");
            f.addTest("stary.dbf", simpleTest("A", 1));
            f.addImport("novy.dbf", t);
        });
        app.showMain();
        const QStringList catBefore = catalogueRows(app);
        const QStringList kindsBefore = kindRows(app);
        const QByteArray bytes = fileBytes(app.folder.import() + "novy.dbf");
        app.ident->setCopyFunction([](const QString&, const QString&, QString* error) {
            *error = QStringLiteral("No space left on device");
            return false;
        });
        showAndSelect(app, "novy.dbf");
        QTest::mouseClick(child<QPushButton>(app.import, "Button1"), Qt::LeftButton);
        QTest::mouseClick(child<QPushButton>(app.ident, "Button1"), Qt::LeftButton);
        QCOMPARE(app.errors.size(), 1);
        QVERIFY2(app.errors[0].contains("No space left on device"), qPrintable(app.errors[0]));
        QVERIFY(app.ident->isVisible());
        QCOMPARE(child<QLabel>(app.ident, "DBText1")->text(), QStringLiteral("Nový druh"));
        QCOMPARE(catalogueRows(app), catBefore);
        QCOMPARE(kindRows(app), kindsBefore);
        QCOMPARE(fileBytes(app.folder.import() + "novy.dbf"), bytes);
        QVERIFY(!QFile::exists(app.folder.testy() + "novy.dbf"));
        for (const char* mdx : {"Data/Testy.MDX", "Data/TestD.MDX"})
            QVERIFY(data::MdxFile::open(app.folder.path() + mdx, false)->check().isEmpty());

        // With the fault gone, "Ok" again completes the import.
        app.errors.clear();
        app.ident->setCopyFunction({});
        QTest::mouseClick(child<QPushButton>(app.ident, "Button1"), Qt::LeftButton);
        QVERIFY2(app.errors.isEmpty(), qPrintable(app.errors.join('\n')));
        QCOMPARE(fileBytes(app.folder.testy() + "novy.dbf"), bytes);
        QVERIFY(!QFile::exists(app.folder.import() + "novy.dbf"));
        QCOMPARE(catalogueRows(app).size(), catBefore.size() + 1);
        QCOMPARE(kindRows(app).size(), kindsBefore.size() + 1);
    }

    // Unknown type, a protected test, and a file the identification cannot
    // read.
    void typeProtectionAndBadFiles()
    {
        TestFile x = simpleTest("A", 1);
        x.type = "X";
        x.heslo = "tajné heslo";
        x.cas1 = "1";
        x.cas2 = "5";
        x.cas3 = "0";
        AppFixture app([&](AppFolder& f) {
            f.addImport("divny.dbf", x);
            data::DbfFile::create(f.import() + "spatny.dbf", {{"DRUH", 'C', 50, 0}}, false);
            QFile junk(f.import() + "smeti.dbf");
            junk.open(QIODevice::WriteOnly);
            junk.write("this is not a table");
        });
        app.showMain();
        showAndSelect(app, "divny.dbf");
        QTest::mouseClick(child<QPushButton>(app.import, "Button1"), Qt::LeftButton);
        QCOMPARE(child<QLabel>(app.ident, "Label9")->text(), QStringLiteral("Neznámý typ testu"));
        QCOMPARE(child<QLabel>(app.ident, "Label10")->text(), QStringLiteral("ANO"));
        QCOMPARE(child<QLabel>(app.ident, "Cas1")->text(), QStringLiteral("1:05:00"));
        for (QLabel* l : app.ident->findChildren<QLabel*>())
            QVERIFY(!l->text().contains("tajné"));
        QTest::mouseClick(child<QPushButton>(app.ident, "Button2"), Qt::LeftButton);

        for (const char* bad : {"spatny.dbf", "smeti.dbf"}) {
            app.errors.clear();
            showAndSelect(app, bad);
            QTest::mouseClick(child<QPushButton>(app.import, "Button1"), Qt::LeftButton);
            QCOMPARE(app.errors.size(), 1);
            QVERIFY(app.import->isVisible());
            QVERIFY(!app.ident->isVisible());
            QVERIFY(QFile::exists(app.folder.import() + bad));
            app.import->close();
        }
    }

    // Pictures of both dialogs for a person to look at (only on request).
    void screenshots()
    {
        const QString dir = qEnvironmentVariable("VEDOMEC_SHOT_DIR");
        if (dir.isEmpty())
            QSKIP("set VEDOMEC_SHOT_DIR to take pictures");
        const exchange::TestSource src = exchange::readTestSourceFile(sampleDir() + "ZemepisCR.txt");
        AppFixture app([&](AppFolder& f) {
            tools::writeQuestionTable(src, f.import() + "ZemepisCR.dbf");
            f.addImport("Prirodoveda.DBF", simpleTest("B", 1));
            f.addImport("slovni_druhy.dbf", simpleTest("C", 1));
        });
        app.showMain();
        showAndSelect(app, "ZemepisCR.dbf");
        QTest::qWait(200);
        app.import->grab().save(dir + "/import.png");
        QTest::mouseClick(child<QPushButton>(app.import, "Button1"), Qt::LeftButton);
        QTest::qWait(200);
        app.ident->grab().save(dir + "/identifikace.png");
        app.ident->close();
    }
};

QTEST_MAIN(TestImportDialogs)
#include "tst_importdialogs.moc"
