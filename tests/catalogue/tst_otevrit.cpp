// The open-test dialog and the open action, driven through the windows.
#include "AppFixture.h"

#include "catalogue/Otevrit.h"
#include "controls/CaptionButton.h"
#include "controls/DBControls.h"
#include "controls/Edit97.h"
#include "controls/ToolbarButton97.h"
#include "data/Locks.h"
#include "data/Table.h"
#include "StoreFaults.h"
#include "results/TimeCounter.h"

#include <optional>

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QHelpEvent>
#include <QScopeGuard>
#include <QTest>
#include <QToolTip>
#include <QTreeWidget>

#include <fcntl.h>
#include <unistd.h>

using namespace vedomec;
using namespace vedomec::testdata;

namespace {

QStringList topCaptions(QTreeWidget* t)
{
    QStringList out;
    for (int i = 0; i < t->topLevelItemCount(); ++i)
        out << t->topLevelItem(i)->text(0);
    return out;
}

QStringList childCaptions(QTreeWidgetItem* item)
{
    QStringList out;
    for (int i = 0; item && i < item->childCount(); ++i)
        out << item->child(i)->text(0);
    return out;
}

TestFile named(const QString& type, int questions, const QString& druh, const QString& nazev)
{
    TestFile t = simpleTest(type, questions);
    t.druh = druh;
    t.nazev = nazev;
    return t;
}

// The main window before any test: what a refused opening must leave alone.
struct MainState {
    bool cisloVisible, label5Visible, open971, end972, import974, results975, t1, t2, t3, t4;
    bool testA, testB, testC;
    QString cislo, label5, cas1, label10, k1;

    static MainState of(THlavniDialog* w)
    {
        // Own enabled states: the whole window is disabled while the dialog shows.
        return {w->Cislo->isVisibleTo(w), w->Label5->isVisibleTo(w), w->ToolbarButton971->isEnabledTo(w),
                w->ToolbarButton972->isEnabledTo(w), w->ToolbarButton974->isEnabledTo(w),
                w->ToolbarButton975->isEnabledTo(w), w->T1->isEnabledTo(w), w->T2->isEnabledTo(w),
                w->T3->isEnabledTo(w), w->T4->isEnabledTo(w),
                w->TestA->isVisibleTo(w), w->TestB->isVisibleTo(w), w->TestC->isVisibleTo(w),
                w->Cislo->text(), w->Label5->text(), w->Cas1->text(), w->Label10->text(), w->K1->text()};
    }
    bool operator==(const MainState&) const = default;
};

class Session {
public:
    explicit Session(const std::function<void(AppFolder&)>& prepare) : f(prepare)
    {
        f.showMain();
        before = MainState::of(f.main);
    }

    void show()
    {
        f.open->show();
        QApplication::processEvents();
    }
    QTreeWidget* tree() const { return f.open->TreeView1; }
    QTreeWidgetItem* item(const QString& kind, const std::optional<QString>& title = std::nullopt)
    {
        QTreeWidgetItem* k = f.open->FindTreeChild(tree(), nullptr, kind);
        if (!k || !title)
            return k;
        return f.open->FindTreeChild(tree(), k, *title);
    }
    void select(QTreeWidgetItem* it)
    {
        QVERIFY(it);
        tree()->setCurrentItem(it);
    }
    void choose(const QString& kind, const QString& title) { select(item(kind, title)); }
    void pressOpen() { QTest::mouseClick(f.open->Button1, Qt::LeftButton); }
    // A refused opening: one message, its cue, the dialog still open, the
    // main window untouched.
    void expectRefusal(const QString& text, int type, const QString& cue)
    {
        QCOMPARE(f.messageTexts(), QStringList{text});
        QCOMPARE(f.messages.back().type, type);
        QCOMPARE(f.messages.back().title, QStringLiteral("Vedomec"));
        QCOMPARE(f.messages.back().buttons, MsgDlgButtons(mbOK));
        QCOMPARE(f.cues(), (QStringList{"Dialog.wav", cue}));
        QVERIFY(f.open->isVisible());
        QVERIFY(!f.main->isEnabled());
        QVERIFY(MainState::of(f.main) == before);
        QVERIFY(f.errors.isEmpty());
    }

    AppFixture f;
    MainState before;
};

void standardCatalogue(AppFolder& a)
{
    a.addTest("evropa.dbf", named("A", 3, "Zeměpis", "Evropa"));
    a.addTest("asie.dbf", named("B", 2, "Zeměpis", "Asie"));
    a.addTest("chemie.dbf", named("C", 2, "zeměpis", "Chemie malá"));
    a.addTest("bezdruhu.dbf", named("A", 1, "", "Bez druhu"));
    a.addTest("prazdny.dbf", named("A", 2, "Fyzika", ""));
    a.addTest("optika1.dbf", named("A", 1, "Fyzika", "Optika"));
    a.addTest("optika2.dbf", named("B", 1, "Fyzika", "Optika"));
}

// The teacher's editor holding a question table, in this process: the
// lock it takes while it has the test open.
class EditorHold {
public:
    explicit EditorHold(const QString& table)
        : m_fd(::open(QFile::encodeName(table).constData(), O_RDWR | O_CLOEXEC))
    {
        int error = 0;
        m_held = m_fd >= 0 && data::tryLock(m_fd, data::kEditLockByte, data::LockMode::Exclusive, &error);
    }
    ~EditorHold()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    EditorHold(const EditorHold&) = delete;
    EditorHold& operator=(const EditorHold&) = delete;
    bool held() const { return m_held; }

private:
    int m_fd = -1;
    bool m_held = false;
};

} // namespace

class TestOtevrit : public QObject {
    Q_OBJECT
private slots:
    void emptyCatalogueOffersNothing()
    {
        Session s({});
        s.show();
        QCOMPARE(s.f.open->objectName(), QStringLiteral("OtevritDialog"));
        QCOMPARE(s.f.open->Caption(), QStringLiteral("Otevřít databázi"));
        QCOMPARE(s.f.open->clientSize(), QSize(298, 240));
        QCOMPARE(s.tree()->topLevelItemCount(), 0);
        QVERIFY(s.f.dm->Table4->Active());
        QVERIFY(!s.f.main->isEnabled());
        QCOMPARE(s.f.cues(), QStringList{"Dialog.wav"});
        s.pressOpen();
        s.expectRefusal("Nebyl vybrán žádný test!", mtError, "Chyba.wav");
    }

    void treeFollowsTheCatalogueRules()
    {
        Session s(standardCatalogue);
        s.show();
        // Empty kinds are hidden; kinds differing in case are two nodes;
        // captions in alphabetical order.
        QCOMPARE(topCaptions(s.tree()), (QStringList{"Fyzika", "zeměpis", "Zeměpis"}));
        QCOMPARE(childCaptions(s.item("Zeměpis")), (QStringList{"Asie", "Evropa"}));
        QCOMPARE(childCaptions(s.item("zeměpis")), QStringList{"Chemie malá"});
        // An empty title is a test node; a duplicate gives one node.
        QCOMPARE(childCaptions(s.item("Fyzika")), (QStringList{"", "Optika"}));
        QVERIFY(!s.item("Bez druhu"));
        // Nothing chosen after building.
        QVERIFY(!s.tree()->currentItem());
        QVERIFY(s.tree()->selectedItems().isEmpty());
        QVERIFY(s.f.open->DBEdit1->Text().isEmpty());
        QVERIFY(s.f.open->DBEdit1->isHidden());
        QVERIFY(s.f.open->Button1->hasFocus() || !s.f.open->isActiveWindow());

        // The duplicate node belongs to the first row in index order.
        s.choose("Fyzika", "Optika");
        QCOMPARE(s.f.open->DBEdit1->Text(), QStringLiteral("optika1.dbf"));
        QCOMPARE(s.f.open->DBEdit3->Text(), QStringLiteral("A"));
        QCOMPARE(s.f.open->DBEdit4->Text(), QStringLiteral("Fyzika"));
        QCOMPARE(s.f.open->DBEdit5->Text(), QStringLiteral("Optika"));
        QVERIFY(s.f.open->DBEdit2->Text().isEmpty());

        s.choose("Zeměpis", "Asie");
        QCOMPARE(s.f.open->DBEdit1->Text(), QStringLiteral("asie.dbf"));
        QCOMPARE(s.f.open->DBEdit3->Text(), QStringLiteral("B"));

        // A kind node chosen after a test node clears the choice.
        s.select(s.item("Zeměpis"));
        QVERIFY(s.f.open->DBEdit1->Text().isEmpty());
        s.pressOpen();
        s.expectRefusal("Nebyl vybrán žádný test!", mtError, "Chyba.wav");
    }

    void testWithEmptyTitleOpens()
    {
        Session s(standardCatalogue);
        s.show();
        s.choose("Fyzika", "");
        QCOMPARE(s.f.open->DBEdit1->Text(), QStringLiteral("prazdny.dbf"));
        s.pressOpen();
        QVERIFY(s.f.errors.isEmpty());
        QVERIFY(!s.f.open->isVisible());
        QCOMPARE(s.f.main->Label5->text(), QStringLiteral("Fyzika - "));
        QCOMPARE(s.f.main->Label10->text(), QStringLiteral("2"));
    }

    void doubleClickOnKindIsSilent()
    {
        Session s(standardCatalogue);
        s.show();
        QTreeWidgetItem* kind = s.item("Fyzika");
        const QRect r = s.tree()->visualItemRect(kind);
        QTest::mouseClick(s.tree()->viewport(), Qt::LeftButton, {}, r.center());
        QCOMPARE(s.tree()->currentItem(), kind);
        QTest::mouseDClick(s.tree()->viewport(), Qt::LeftButton, {}, r.center());
        QVERIFY(s.f.messages.empty());
        QCOMPARE(s.f.cues(), QStringList{"Dialog.wav"});
        QVERIFY(s.f.open->isVisible());
        // The tree's own handling still expands the kind.
        QVERIFY(kind->isExpanded());
    }

    void doubleClickOnTestOpensIt()
    {
        Session s(standardCatalogue);
        s.show();
        QTreeWidgetItem* kind = s.item("Zeměpis");
        kind->setExpanded(true);
        QTreeWidgetItem* test = s.item("Zeměpis", "Evropa");
        const QRect r = s.tree()->visualItemRect(test);
        QTest::mouseClick(s.tree()->viewport(), Qt::LeftButton, {}, r.center());
        QTest::mouseDClick(s.tree()->viewport(), Qt::LeftButton, {}, r.center());
        QVERIFY(s.f.messages.empty());
        QVERIFY(!s.f.open->isVisible());
        QVERIFY(s.f.main->TestA->isVisibleTo(s.f.main));
    }

    void enterPressesTheDefaultButton()
    {
        Session s(standardCatalogue);
        s.show();
        s.choose("Zeměpis", "Evropa");
        s.tree()->setFocus();
        QTest::keyClick(s.tree(), Qt::Key_Return);
        QVERIFY(!s.f.open->isVisible());
        QVERIFY(s.f.main->TestA->isVisibleTo(s.f.main));
    }

    void everyWayOutClosesTheCatalogue_data()
    {
        QTest::addColumn<QString>("way");
        QTest::newRow("Esc on the tree") << "tree";
        QTest::newRow("Esc on Otevřít") << "button1";
        QTest::newRow("Esc on Zpět") << "button2";
        QTest::newRow("Esc on the form") << "form";
        QTest::newRow("Zpět") << "back";
        QTest::newRow("close box") << "closebox";
    }
    void everyWayOutClosesTheCatalogue()
    {
        QFETCH(QString, way);
        Session s(standardCatalogue);
        s.show();
        s.choose("Zeměpis", "Evropa");
        QVERIFY(!s.f.main->isEnabled());
        TOtevritDialog* d = s.f.open;
        if (way == "tree")
            QTest::keyClick(d->TreeView1, Qt::Key_Escape);
        else if (way == "button1")
            QTest::keyClick(d->Button1, Qt::Key_Escape);
        else if (way == "button2")
            QTest::keyClick(d->Button2, Qt::Key_Escape);
        else if (way == "form")
            QTest::keyClick(d, Qt::Key_Escape);
        else if (way == "back")
            QTest::mouseClick(d->Button2, Qt::LeftButton);
        else
            d->close();
        QVERIFY(!d->isVisible());
        QVERIFY(s.f.main->isEnabled());
        QVERIFY(!s.f.dm->Table4->Active());
        QVERIFY(d->DBEdit1->Text().isEmpty());
        QVERIFY(s.f.messages.empty());
        QVERIFY(MainState::of(s.f.main) == s.before);
    }

    void secondShowingRebuilds()
    {
        Session s(standardCatalogue);
        s.show();
        s.choose("Zeměpis", "Evropa");
        s.f.open->close();
        s.f.folder.addTest("dejiny.dbf", named("C", 1, "Dějepis", "Středověk"));
        s.show();
        QCOMPARE(topCaptions(s.tree()), (QStringList{"Dějepis", "Fyzika", "zeměpis", "Zeměpis"}));
        QCOMPARE(childCaptions(s.item("Zeměpis")), (QStringList{"Asie", "Evropa"}));
        QVERIFY(!s.tree()->currentItem());
        QVERIFY(s.f.open->DBEdit1->Text().isEmpty());
        QCOMPARE(s.f.cues(), (QStringList{"Dialog.wav", "Dialog.wav"}));
        s.choose("Dějepis", "Středověk");
        s.pressOpen();
        QVERIFY(s.f.main->TestC->isVisibleTo(s.f.main));
    }

    void missingCatalogueIsReported()
    {
        Session s(standardCatalogue);
        QVERIFY(QFile::remove(s.f.folder.path() + "Data/Testy.DBF"));
        s.show();
        QCOMPARE(s.f.errors.size(), 1);
        QCOMPARE(s.tree()->topLevelItemCount(), 0);
        // The user can still leave, and the main window comes back.
        QTest::keyClick(s.f.open->Button1, Qt::Key_Escape);
        QVERIFY(!s.f.open->isVisible());
        QVERIFY(s.f.main->isEnabled());
    }

    void hidingClosesTheCatalogue()
    {
        Session s(standardCatalogue);
        s.show();
        QVERIFY(s.f.dm->Table4->Active());
        s.f.open->hide();
        QVERIFY(!s.f.dm->Table4->Active());
        QVERIFY(s.f.main->isEnabled());
    }

    void helpButtonToggles()
    {
        Session s({});
        s.show();
        QVERIFY(!s.f.open->HelpMode());
        QCOMPARE(s.f.open->CaptionButton2->objectName(), QStringLiteral("CaptionButton2"));
        s.f.open->CaptionButton2Click();
        QVERIFY(s.f.open->HelpMode());
        s.f.open->CaptionButton2Click();
        QVERIFY(!s.f.open->HelpMode());
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("nazev");
        QTest::addColumn<QString>("otevreno");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("cue");
        const QString missing = "Soubor s tímto testem byl smazán nebo přesunut! Odstraňte prosím tento test ze "
                                "seznamu testů.";
        QTest::newRow("marked open") << "mapa.dbf" << "A" << "A" << "Tento test je již otevřen!" << int(mtError)
                                     << "Chyba.wav";
        QTest::newRow("file missing") << "smazany.dbf" << "" << "A" << missing << int(mtInformation) << "Info.wav";
        QTest::newRow("unknown type") << "mapa.dbf" << "" << "D" << "Neznámý typ testu!" << int(mtError)
                                      << "Chyba.wav";
        QTest::newRow("lower-case type") << "mapa.dbf" << "" << "a" << "Neznámý typ testu!" << int(mtError)
                                         << "Chyba.wav";
        QTest::newRow("path into Data") << "../Data/Testy.DBF" << "" << "A" << missing << int(mtInformation)
                                        << "Info.wav";
        QTest::newRow("path into a subfolder") << "Import/jiny.dbf" << "" << "A" << missing << int(mtInformation)
                                               << "Info.wav";
        QTest::newRow("absolute path") << "/etc/passwd" << "" << "A" << missing << int(mtInformation)
                                       << "Info.wav";
        QTest::newRow("names a folder") << "Import" << "" << "A" << missing << int(mtInformation) << "Info.wav";
        QTest::newRow("dot dot") << ".." << "" << "A" << missing << int(mtInformation) << "Info.wav";
    }
    void refusals()
    {
        QFETCH(QString, nazev);
        QFETCH(QString, otevreno);
        QFETCH(QString, type);
        QFETCH(QString, text);
        QFETCH(int, kind);
        QFETCH(QString, cue);
        Session s([&](AppFolder& a) {
            writeQuestionTable(a.testy() + "mapa.dbf", named("A", 2, "Zeměpis", "Mapa"));
            writeQuestionTable(a.import() + "jiny.dbf", named("A", 2, "Zeměpis", "Jiný"));
            a.addCatalogueRow({nazev, "Zeměpis", "Mapa", type, "", otevreno, ""});
        });
        // A mark shuts the test while an editor holds it.
        std::optional<EditorHold> editor;
        if (otevreno == QLatin1String("A")) {
            editor.emplace(s.f.folder.testy() + "mapa.dbf");
            QVERIFY(editor->held());
        }
        s.show();
        s.choose("Zeměpis", "Mapa");
        s.pressOpen();
        s.expectRefusal(text, kind, cue);
        QVERIFY(!s.f.dm->Table1->Active());
        QVERIFY(s.f.dm->Table4->Active());
        // The choice stays for another try.
        QCOMPARE(s.f.open->DBEdit1->Text(), nazev);
    }

    // A test another copy of the program has open opens here too, as the
    // pupil sees no difference: on a working copy of his own, without the
    // other pupil's answers, and the shared table is not touched.  Once the
    // other copy lets go, the next opening takes the table itself and holds
    // it until the test ends.
    void testOpenElsewhereIsTakenOnAWorkingCopy()
    {
        Session s([](AppFolder& a) {
            writeQuestionTable(a.testy() + "mapa.dbf", named("A", 2, "Zeměpis", "Mapa"));
            a.addCatalogueRow({"mapa.dbf", "Zeměpis", "Mapa", "A", "", "", ""});
        });
        const auto holdElsewhere = [&](data::TTable& t) {
            t.SetDatabaseName(s.f.folder.testy());
            t.SetTableName("mapa.dbf");
            t.SetFieldDefs(data::layoutA());
            t.SetHeld(true);
            t.Open();
        };
        auto elsewhere = std::make_unique<data::TTable>();
        holdElsewhere(*elsewhere);
        elsewhere->Edit();
        elsewhere->SetFieldAsString("ODPOVED", "C");
        elsewhere->Post();
        const QByteArray bytes = bytesOf(s.f.folder.testy() + "mapa.dbf");
        s.show();
        s.choose("Zeměpis", "Mapa");
        s.pressOpen();
        QVERIFY(s.f.messages.empty());
        QVERIFY(!s.f.open->isVisible());
        QVERIFY(s.f.main->TestA->isVisibleTo(s.f.main));
        QCOMPARE(s.f.main->Label10->text(), QStringLiteral("2"));
        QVERIFY(s.f.main->Session()->OnWorkingCopy());
        QVERIFY(!s.f.main->Session()->AnswerFile().startsWith(s.f.folder.path()));
        QCOMPARE(s.f.dm->Table1->FieldAsString("ODPOVED"), QString());
        s.f.main->RadioButton2->setChecked(true);
        s.f.main->T3Click();
        QCOMPARE(bytesOf(s.f.folder.testy() + "mapa.dbf"), bytes);
        s.f.answer({mrYes});
        s.f.main->ToolbarButton972Click();
        QVERIFY(!s.f.dm->Table1->Active());
        QCOMPARE(bytesOf(s.f.folder.testy() + "mapa.dbf"), bytes);

        elsewhere.reset();
        s.show();
        s.choose("Zeměpis", "Mapa");
        s.pressOpen();
        QVERIFY(!s.f.open->isVisible());
        QVERIFY(s.f.main->TestA->isVisibleTo(s.f.main));
        QVERIFY(!s.f.main->Session()->OnWorkingCopy());
        data::TTable other;
        QVERIFY_THROWS_EXCEPTION(data::ETableInUse, holdElsewhere(other));
        s.f.answer({mrYes});
        s.f.main->ToolbarButton972Click(); // "Ukončit test"
        holdElsewhere(other);
        QVERIFY(other.Active());
    }

    void markLowerCaseDoesNotBlock()
    {
        Session s([](AppFolder& a) {
            writeQuestionTable(a.testy() + "mapa.dbf", named("A", 2, "Zeměpis", "Mapa"));
            a.addCatalogueRow({"mapa.dbf", "Zeměpis", "Mapa", "A", "", "a", ""});
        });
        s.show();
        s.choose("Zeměpis", "Mapa");
        s.pressOpen();
        QVERIFY(s.f.messages.empty());
        QVERIFY(!s.f.open->isVisible());
    }

    // The teacher's editor in another process has the test open: its mark
    // shuts the test.  Once that editor is killed, its mark, still in the
    // catalogue, is passed over and the test opens as usual, with nothing
    // of the shared folder written.  Where the folder keeps no locks nobody
    // can tell a killed editor's mark from a living one's, and it shuts.
    void editorMarkShutsOnlyWhileHeld()
    {
        Session s([](AppFolder& a) {
            writeQuestionTable(a.testy() + "mapa.dbf", named("A", 2, "Zeměpis", "Mapa"));
            a.addCatalogueRow({"mapa.dbf", "Zeměpis", "Mapa", "A", "", "A", ""});
        });
        const QString table = s.f.folder.testy() + "mapa.dbf";
        int ready[2];
        QCOMPARE(::pipe(ready), 0);
        ForkedChild editor([&] {
            const EditorHold hold(table);
            const char c = hold.held() ? '1' : '0';
            if (::write(ready[1], &c, 1) != 1)
                return;
            for (;;)
                ::pause();
        });
        char held = 0;
        QCOMPARE(::read(ready[0], &held, 1), ssize_t(1));
        ::close(ready[0]);
        ::close(ready[1]);
        QCOMPARE(held, '1');
        const QString data = s.f.folder.path() + "Data/";
        const QByteArray catalogue = bytesOf(data + "Testy.DBF") + bytesOf(data + "Testy.MDX");
        s.show();
        s.choose("Zeměpis", "Mapa");
        s.pressOpen();
        s.expectRefusal("Tento test je již otevřen!", mtError, "Chyba.wav");

        {
            data::setLockHook([](int) { return ENOLCK; });
            const auto restore = qScopeGuard([] { data::setLockHook({}); });
            QCOMPARE(editor.kill(), -SIGKILL);
            s.pressOpen();
            QCOMPARE(s.f.messageTexts(), QStringList(2, "Tento test je již otevřen!"));
            QVERIFY(s.f.open->isVisible());
        }

        s.pressOpen();
        QCOMPARE(s.f.messages.size(), size_t(2));
        QVERIFY(s.f.errors.isEmpty());
        QVERIFY(!s.f.open->isVisible());
        QVERIFY(s.f.main->TestA->isVisibleTo(s.f.main));
        QCOMPARE(s.f.main->Label10->text(), QStringLiteral("2"));
        QCOMPARE(bytesOf(data + "Testy.DBF") + bytesOf(data + "Testy.MDX"), catalogue);
        QCOMPARE(readColumn(data + "Testy.DBF", "OTEVRENO"), QStringList{"A"});
    }

    void fileMatchedWithoutLetterCase()
    {
        Session s([](AppFolder& a) {
            writeQuestionTable(a.testy() + "mapa.dbf", named("B", 4, "Zeměpis", "Mapa"));
            a.addCatalogueRow({"MAPA.DBF", "Zeměpis", "Mapa", "B", "", "", ""});
        });
        s.show();
        s.choose("Zeměpis", "Mapa");
        s.pressOpen();
        QVERIFY(s.f.messages.empty());
        QVERIFY(s.f.errors.isEmpty());
        QVERIFY(s.f.main->TestB->isVisibleTo(s.f.main));
        QCOMPARE(s.f.main->Label10->text(), QStringLiteral("4"));
    }

    void unreadableQuestionTableChangesNothing_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("fileType");
        QTest::addColumn<int>("spravneWidth");
        QTest::addColumn<QString>("error");
        QTest::addColumn<bool>("damage");
        QTest::newRow("B file as type A") << "A" << "B" << 0 << "Field 'ODPOVEDA' not found" << false;
        QTest::newRow("C file as type B") << "B" << "C" << 0 << "SPRAVNE" << false;
        QTest::newRow("A file as type C") << "C" << "A" << 0 << "ODPOVEDANO" << false;
        QTest::newRow("damaged file") << "A" << "A" << 0 << "" << true;
    }
    void unreadableQuestionTableChangesNothing()
    {
        QFETCH(QString, type);
        QFETCH(QString, fileType);
        QFETCH(int, spravneWidth);
        QFETCH(QString, error);
        QFETCH(bool, damage);
        Session s([&](AppFolder& a) {
            TestFile t = named(fileType, 2, "Zeměpis", "Mapa");
            t.spravneWidth = spravneWidth;
            writeQuestionTable(a.testy() + "mapa.dbf", t);
            if (damage) {
                QFile f(a.testy() + "mapa.dbf");
                QVERIFY(f.open(QIODevice::ReadWrite));
                f.resize(40);
            }
            a.addCatalogueRow({"mapa.dbf", "Zeměpis", "Mapa", type, "", "", ""});
        });
        s.show();
        s.choose("Zeměpis", "Mapa");
        s.pressOpen();
        QCOMPARE(s.f.errors.size(), 1);
        QVERIFY2(s.f.errors.front().contains(error), qPrintable(s.f.errors.front()));
        QVERIFY(s.f.messages.empty());
        QVERIFY(s.f.open->isVisible());
        QVERIFY(!s.f.main->isEnabled());
        QVERIFY(MainState::of(s.f.main) == s.before);
        QVERIFY(!s.f.dm->Table1->Active() && !s.f.dm->Table2->Active() && !s.f.dm->Table3->Active());
        QCOMPARE(s.f.open->DBEdit1->Text(), QStringLiteral("mapa.dbf"));
        // Leaving normally still works afterwards.
        QTest::keyClick(s.f.open->TreeView1, Qt::Key_Escape);
        QVERIFY(s.f.main->isEnabled());
        QVERIFY(!s.f.dm->Table4->Active());
    }

    // Long titles: the tree shortens them but shows each in full as its
    // tooltip, so two that share their first words can be told apart; the
    // main window's title line shortens at its end, with the full text as
    // tooltip, in its own place.
    void longTitlesStayReadable()
    {
        const QString kind = QStringLiteral("Český jazyk a literatura pro druhý stupeň ZŠ");
        const QString first = QStringLiteral("Vyjmenovaná slova po obojetných souhláskách, díl 1");
        const QString second = QStringLiteral("Vyjmenovaná slova po obojetných souhláskách, díl 2");
        Session s([&](AppFolder& a) {
            a.addTest("slova1.dbf", named("A", 2, kind, first));
            a.addTest("slova2.dbf", named("A", 2, kind, second));
        });
        s.show();
        QTreeWidgetItem* k = s.item(kind);
        QVERIFY(k);
        k->setExpanded(true);
        QTreeWidgetItem* one = s.item(kind, first);
        QTreeWidgetItem* two = s.item(kind, second);
        QVERIFY(one && two);
        QCOMPARE(s.tree()->textElideMode(), Qt::ElideRight);
        // The view cannot show these captions whole ...
        for (QTreeWidgetItem* it : {k, one, two})
            QVERIFY(s.tree()->visualItemRect(it).width() < s.tree()->fontMetrics().horizontalAdvance(it->text(0)));
        // ... but hovering shows each in full.
        QWidget* viewport = s.tree()->viewport();
        for (QTreeWidgetItem* it : {k, one, two}) {
            const QPoint at = s.tree()->visualItemRect(it).center();
            QHelpEvent help(QEvent::ToolTip, at, viewport->mapToGlobal(at));
            QApplication::sendEvent(viewport, &help);
            QTRY_COMPARE(QToolTip::text(), it->text(0));
            QToolTip::hideText();
        }

        s.choose(kind, second);
        s.pressOpen();
        QVERIFY2(s.f.errors.isEmpty(), qPrintable(s.f.errors.join('\n')));
        THlavniDialog* w = s.f.main;
        const QString full = kind + QStringLiteral(" - ") + second;
        QCOMPARE(w->Label5->text(), full);
        QCOMPARE(w->Label5->geometry(), QRect(1, 6, 415, 24));
        QVERIFY(w->Label5->isElided());
        const QString shown = w->Label5->shownText();
        QVERIFY(shown.endsWith(QChar(0x2026)));
        QVERIFY(full.startsWith(shown.chopped(1)));
        QVERIFY(w->Label5->fontMetrics().horizontalAdvance(shown) <= w->Label5->width());

        const QPoint at = w->Label5->rect().center();
        QHelpEvent help(QEvent::ToolTip, at, w->Label5->mapToGlobal(at));
        QApplication::sendEvent(w->Label5, &help);
        QTRY_COMPARE(QToolTip::text(), full);
        QToolTip::hideText();
    }

    void openingSetsTheWholeMainWindow_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<int>("count");
        QTest::addColumn<QStringList>("time");
        QTest::addColumn<QString>("allowed");
        QTest::newRow("A") << "A" << 3 << QStringList{"1", "5", "0"} << "1:05:00";
        QTest::newRow("B") << "B" << 2 << QStringList{"0", "0", "0"} << "neomezeno";
        QTest::newRow("C") << "C" << 5 << QStringList{"12", "0", "9"} << "12:00:09";
        QTest::newRow("A, 0:30:00") << "A" << 1 << QStringList{"0", "30", "0"} << "0:30:00";
        QTest::newRow("B, minutes 75") << "B" << 1 << QStringList{"0", "75", "0"} << "0:75:00";
        QTest::newRow("C, no time values") << "C" << 1 << QStringList{"", "", ""} << "::";
    }
    void openingSetsTheWholeMainWindow()
    {
        QFETCH(QString, type);
        QFETCH(int, count);
        QFETCH(QStringList, time);
        QFETCH(QString, allowed);
        Session s([&](AppFolder& a) {
            TestFile t = named(type, count, "Zeměpis", "Hlavní města Evropy");
            t.cas1 = time[0];
            t.cas2 = time[1];
            t.cas3 = time[2];
            t.jmeno = "Jana Nováková";
            a.addTest("mesta.dbf", t);
        });
        THlavniDialog* w = s.f.main;
        // Leftovers of an earlier test must not show.
        w->RadioButton2->setChecked(true);
        w->RadioButton6->setChecked(true);
        w->Edit971->setText("stará odpověď");
        w->Panel4->setVisible(true);
        s.show();
        s.choose("Zeměpis", "Hlavní města Evropy");
        s.pressOpen();

        QVERIFY2(s.f.errors.isEmpty(), qPrintable(s.f.errors.join('\n')));
        QVERIFY(s.f.messages.empty());
        QCOMPARE(s.f.cues(), QStringList{"Dialog.wav"});
        // The dialog is gone and the catalogue closed.
        QVERIFY(!s.f.open->isVisible());
        QVERIFY(!s.f.dm->Table4->Active());
        QVERIFY(w->isEnabled());

        QVERIFY(w->Cislo->isVisibleTo(w));
        QCOMPARE(w->Cislo->text(), QStringLiteral("1"));
        QVERIFY(!w->ToolbarButton971->isEnabled());
        QVERIFY(w->ToolbarButton972->isEnabled());
        QVERIFY(!w->ToolbarButton974->isEnabled());
        QVERIFY(w->ToolbarButton975->isEnabled());
        QVERIFY(!w->T1->isEnabled());
        QVERIFY(!w->T2->isEnabled());
        QVERIFY(w->T3->isEnabled());
        QVERIFY(w->T4->isEnabled());
        QVERIFY(w->Label5->isVisibleTo(w));
        QCOMPARE(w->Label5->text(), QStringLiteral("Zeměpis - Hlavní města Evropy"));
        QCOMPARE(w->Cas1->text(), allowed);
        QCOMPARE(w->Cas->text(), QStringLiteral("0:00:00"));
        QCOMPARE(w->Label10->text(), QString::number(count));
        QCOMPARE(w->K1->text(), QStringLiteral("1"));
        QVERIFY(!w->Panel4->isVisibleTo(w));
        QCOMPARE(w->DBText8->text(), QStringLiteral("Jana Nováková"));
        QCOMPARE(w->DBText9->text(), QStringLiteral("ZŠ Komenského 12, Brno"));
        QCOMPARE(w->DBText10->text(), QStringLiteral("www.zs.cz"));
        QCOMPARE(w->DBText11->text(), QStringLiteral("novakova@zs.cz"));
        QVERIFY(w->TimeCounter1->Counting());

        data::TTable* table = type == "A" ? s.f.dm->Table1 : type == "B" ? s.f.dm->Table2 : s.f.dm->Table3;
        QVERIFY(table->Active());
        QCOMPARE(table->RecNo(), 1);
        QCOMPARE(w->OpenTable(), table);
        QCOMPARE(w->TestA->isVisibleTo(w), type == "A");
        QCOMPARE(w->TestB->isVisibleTo(w), type == "B");
        QCOMPARE(w->TestC->isVisibleTo(w), type == "C");
        for (TDBText* t : {w->DBText1, w->DBText2, w->DBText5, w->DBText6, w->DBText7}) {
            QVERIFY(t->wordWrap());
            QCOMPARE(t->alignment(), Qt::AlignLeft | Qt::AlignTop);
        }
        // Row 1 is on show, and no answer is marked.
        if (type == "A") {
            QCOMPARE(w->DBText1->text(), QStringLiteral("Otázka číslo 1?"));
            QCOMPARE(w->DBText2->text(), QStringLiteral("odpověď a1"));
            QCOMPARE(w->DBText5->text(), QStringLiteral("odpověď d1"));
            for (QCheckBox* b : {w->RadioButton1, w->RadioButton2, w->RadioButton3, w->RadioButton4})
                QVERIFY2(!b->isChecked(), qPrintable(b->objectName()));
            QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w->RadioButton1));
        } else if (type == "B") {
            QCOMPARE(w->DBText6->text(), QStringLiteral("Otázka číslo 1?"));
            QVERIFY(!w->RadioButton5->isChecked());
            QVERIFY(!w->RadioButton6->isChecked());
            QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w->RadioButton5));
        } else {
            QCOMPARE(w->DBText7->text(), QStringLiteral("Otázka číslo 1?"));
            QVERIFY(w->Edit971->text().isEmpty());
            QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w->Edit971));
        }
        // Later activations of the window do not mark an answer either.
        QTest::qWait(50);
        QVERIFY(!w->RadioButton1->isChecked());
        QVERIFY(!w->RadioButton5->isChecked());
    }
};

QTEST_MAIN(TestOtevrit)
#include "tst_otevrit.moc"
