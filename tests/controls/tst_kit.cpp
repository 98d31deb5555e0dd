// The flat controls, the caption button, the dialogs' frame and the bound
// text controls, driven through their public surface.
#include "controls/CaptionButton.h"
#include "controls/DBControls.h"
#include "controls/Edit97.h"
#include "controls/Gradpan.h"
#include "controls/ToolDialog.h"
#include "controls/ToolbarButton97.h"
#include "data/Dbf.h"
#include "data/Table.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>

using namespace vedomec;
using namespace vedomec::controls;

namespace {

// A dialog that counts its show and close handlers.
class CountingDialog : public TToolDialog {
public:
    using TToolDialog::TToolDialog;
    int shows = 0;
    int closes = 0;
    bool mainEnabledInClose = true;

protected:
    void FormShow() override { ++shows; }
    void FormClose() override
    {
        ++closes;
        mainEnabledInClose = mainWindow() ? mainWindow()->isEnabled() : true;
    }
};

// A press on the caption button and a release at `release` (owner coordinates):
// the surface keeps the mouse while the button is held.
void pressAndRelease(TCaptionButton* b, QPoint release)
{
    QWidget* s = b->Surface();
    QTest::mousePress(s, Qt::LeftButton, {}, b->SurfaceRect().center());
    QTest::mouseRelease(s, Qt::LeftButton, {}, s->mapFrom(b->Owner(), release));
}

void clickCaption(TCaptionButton* b)
{
    QTest::mouseClick(b->Surface(), Qt::LeftButton, {}, b->SurfaceRect().center());
}

// The button's face colour at a point of the button (surface coordinates).
const QColor kFace(212, 208, 200);
QColor surfacePixel(TCaptionButton* b, QPoint p)
{
    return b->Surface()->grab().toImage().pixelColor(p);
}

int countColour(const QImage& img, const QColor& c)
{
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += img.pixelColor(x, y) == c;
    return n;
}

} // namespace

class TestKit : public QObject {
    Q_OBJECT
private slots:
    void toolbarButton()
    {
        QWidget host;
        auto* b = new TToolbarButton97(&host);
        b->setObjectName(QStringLiteral("ToolbarButton971"));
        b->setCaption(QStringLiteral("Otevřít test"));
        b->setHint(QStringLiteral("Ctrl+O"));
        b->setGeometry(9, 90, 95, 23);
        host.resize(200, 200);
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        QCOMPARE(b->toolTip(), QStringLiteral("Ctrl+O"));
        QCOMPARE(b->Caption(), QStringLiteral("Otevřít test"));

        QSignalSpy clicked(b, &QAbstractButton::clicked);
        QTest::mouseClick(b, Qt::LeftButton);
        QCOMPARE(clicked.count(), 1);
        b->setEnabled(false);
        QTest::mouseClick(b, Qt::LeftButton);
        QCOMPARE(clicked.count(), 1);
        b->setEnabled(true);

        // Flat until the mouse comes over it, raised while it is there.
        const QImage flat = b->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QVERIFY(!b->IsHot());
        QEnterEvent enter(QPointF(5, 5), b->mapToGlobal(QPointF(5, 5)), b->mapToGlobal(QPointF(5, 5)));
        QCoreApplication::sendEvent(b, &enter);
        QVERIFY(b->IsHot());
        const QImage hot = b->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(hot.pixelColor(10, 0), QColor(255, 255, 255));
        QCOMPARE(hot.pixelColor(10, 22), QColor(128, 128, 128));
        QVERIFY(flat.pixelColor(10, 0) != QColor(255, 255, 255));
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(b, &leave);
        QVERIFY(!b->IsHot());
    }

    void navigationGlyphsGreyWhenDisabled()
    {
        QWidget host;
        auto* t = new TToolbarButton97(&host);
        t->setGlyph(TToolbarButton97::GlyphNext);
        t->setGeometry(0, 0, 23, 23);
        host.resize(40, 40);
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        QImage img = t->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const int black = countColour(img, QColor(0, 0, 0));
        QVERIFY(black > 10);
        t->setEnabled(false);
        img = t->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(countColour(img, QColor(0, 0, 0)), 0);
        QVERIFY(countColour(img, QColor(128, 128, 128)) >= black / 2);

        // The four pictures differ from each other.
        QList<QImage> pics;
        for (NavGlyph g : {NavGlyph::First, NavGlyph::Prior, NavGlyph::Next, NavGlyph::Last})
            pics << NavigationGlyph(g).toImage();
        for (int i = 0; i < 4; ++i)
            for (int j = i + 1; j < 4; ++j)
                QVERIFY(pics[i] != pics[j]);
    }

    void flatEdit()
    {
        TEdit97 e;
        e.setText(QStringLiteral("Praha"));
        QCOMPARE(e.Text(), QStringLiteral("Praha"));
        QVERIFY(!e.isReadOnly());
    }

    void captionButtonClick()
    {
        QWidget form;
        form.resize(300, 200);
        auto* cb = new TCaptionButton(&form);
        cb->setObjectName(QStringLiteral("CaptionButton2"));
        cb->setStandard(tsbHelp);
        cb->setButtonLeft(30);
        cb->setButtonTop(5);
        cb->setButtonWidth(12);
        cb->setButtonHeight(11);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.findChild<TCaptionButton*>(QStringLiteral("CaptionButton2")), cb);
        QCOMPARE(cb->Surface(), &form); // no title bar of our own: drawn on the window
        QCOMPARE(cb->ButtonRect(), QRect(270, 5, 12, 11));
        QCOMPARE(surfacePixel(cb, QPoint(271, 14)), kFace);
        QCOMPARE(surfacePixel(cb, QPoint(270, 5)), QColor(255, 255, 255)); // the bevel
        QVERIFY(surfacePixel(cb, QPoint(269, 14)) != kFace);

        QSignalSpy clicks(cb, &TCaptionButton::OnClick);
        QSignalSpy downs(cb, &TCaptionButton::OnMouseDown);
        QSignalSpy ups(cb, &TCaptionButton::OnMouseUp);
        QTest::mousePress(&form, Qt::LeftButton, {}, QPoint(275, 10));
        QVERIFY(cb->Down());
        QCOMPARE(surfacePixel(cb, QPoint(270, 5)), QColor(64, 64, 64)); // drawn pressed
        QCOMPARE(downs.count(), 1);
        QCOMPARE(downs.first().at(3).toInt(), 275); // window coordinates
        QCOMPARE(downs.first().at(4).toInt(), 10);
        QTest::mouseRelease(&form, Qt::LeftButton, {}, QPoint(275, 10));
        QVERIFY(!cb->Down());
        QCOMPARE(ups.count(), 1);
        QCOMPARE(clicks.count(), 1);
        QCOMPARE(clicks.first().first().value<QObject*>(), cb);
        QCOMPARE(surfacePixel(cb, QPoint(270, 5)), QColor(255, 255, 255));

        // Released elsewhere: no click, and drawn released again.
        pressAndRelease(cb, QPoint(100, 100));
        QCOMPARE(downs.count(), 2);
        QCOMPARE(clicks.count(), 1);
        QCOMPARE(ups.count(), 1);
        QVERIFY(!cb->Down());
        // Pressed elsewhere and released on it: no click either.
        QTest::mousePress(&form, Qt::LeftButton, {}, QPoint(100, 100));
        QTest::mouseRelease(&form, Qt::LeftButton, {}, QPoint(275, 10));
        QCOMPARE(clicks.count(), 1);
        // Other buttons do nothing.
        QTest::mouseClick(&form, Qt::RightButton, {}, QPoint(275, 10));
        QCOMPARE(downs.count(), 2);
        QCOMPARE(clicks.count(), 1);

        // Resizing keeps the distance from the right edge, where it is drawn and hit.
        form.resize(400, 200);
        QCOMPARE(cb->ButtonRect(), QRect(370, 5, 12, 11));
        QCOMPARE(surfacePixel(cb, QPoint(371, 14)), kFace);
        QVERIFY(surfacePixel(cb, QPoint(271, 14)) != kFace);
        clickCaption(cb);
        QCOMPARE(clicks.count(), 2);
        QTest::mouseClick(&form, Qt::LeftButton, {}, QPoint(275, 10));
        QCOMPARE(clicks.count(), 2);
    }

    void captionButtonToggle()
    {
        QWidget form;
        form.resize(300, 200);
        auto* cb = new TCaptionButton(&form);
        cb->setToggle(true);
        cb->setCaption(QStringLiteral("A&B"));
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QSignalSpy clicks(cb, &TCaptionButton::OnClick);
        clickCaption(cb);
        QVERIFY(cb->Down());
        QCOMPARE(clicks.count(), 1);
        // The click that lets it up raises nothing.
        clickCaption(cb);
        QVERIFY(!cb->Down());
        QCOMPARE(clicks.count(), 1);
        // Pressed and released elsewhere, it stays down, without a click.
        pressAndRelease(cb, QPoint(10, 150));
        QVERIFY(cb->Down());
        QCOMPARE(clicks.count(), 1);
        // A click on the form's own area lets it up.
        QTest::mouseClick(&form, Qt::LeftButton, {}, QPoint(100, 150));
        QVERIFY(!cb->Down());
        QCOMPARE(clicks.count(), 1);
    }

    void captionButtonFaces()
    {
        QWidget form;
        form.resize(300, 200);
        auto* cb = new TCaptionButton(&form);
        cb->setButtonLeft(60);
        cb->setButtonTop(4);
        cb->setButtonWidth(40);
        cb->setButtonHeight(16);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto face = [&] { return form.grab().toImage().copy(cb->ButtonRect()); };
        const QImage plain = face();
        // Without a standard kind: a glyph on the side away from the caption.
        QPixmap red(6, 6);
        red.fill(Qt::red);
        cb->setGlyph(red);
        QImage img = face();
        QCOMPARE(img.pixelColor(40 - 6 - 4, 5), QColor(Qt::red));
        QCOMPARE(img.pixelColor(40 - 4, 5), kFace);
        cb->setAlignment(taRightJustify);
        QCOMPARE(face().pixelColor(4, 5), QColor(Qt::red));
        const int ink = countColour(face(), QColor(Qt::black));
        cb->setCaption(QStringLiteral("A&B"));
        QVERIFY(countColour(face(), QColor(Qt::black)) > ink + 10);
        // A standard kind draws its glyph and nothing else.
        cb->setStandard(tsbHelp);
        const QImage help = face();
        QCOMPARE(countColour(help, QColor(Qt::red)), 0);
        cb->setCaption(QString());
        cb->setGlyph(QPixmap());
        QCOMPARE(face(), help);
        QVERIFY(help != plain);
    }

    void captionButtonDefaults()
    {
        QWidget form;
        QFont f(QStringLiteral("Liberation Serif"));
        f.setPixelSize(17);
        form.setFont(f);
        TCaptionButton cb(&form);
        QCOMPARE(cb.Alignment(), taLeftJustify);
        QCOMPARE(cb.Standard(), tsbNone);
        QCOMPARE(cb.Toggle(), false);
        QCOMPARE(cb.Down(), false);
        QVERIFY(cb.Caption().isEmpty());
        QVERIFY(cb.Glyph().isNull());
        // From the style's title-bar metrics.
        QStyle* style = form.style();
        const int buttonWidth = style->pixelMetric(QStyle::PM_TitleBarButtonSize);
        QVERIFY(buttonWidth > 0);
        QCOMPARE(cb.ButtonWidth(), buttonWidth);
        QCOMPARE(cb.ButtonLeft(), 4 * buttonWidth + 4);
        QCOMPARE(cb.ButtonTop(), style->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth) + 2);
        QCOMPARE(cb.ButtonHeight(), style->pixelMetric(QStyle::PM_TitleBarHeight) - 4);
        QCOMPARE(cb.Font().pixelSize(), 17);
    }

    void toolDialogDisablesMainWindow()
    {
        QWidget main;
        main.resize(434, 528);
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        CountingDialog dlg(&main);
        dlg.setObjectName(QStringLiteral("OtevritDialog"));
        dlg.setCaption(QStringLiteral("Otevřít databázi"));
        dlg.setClientSize(298, 240);
        QCOMPARE(dlg.clientSize(), QSize(298, 240));
        QCOMPARE(dlg.clientArea()->geometry().topLeft(),
                 QPoint(TToolDialog::FrameWidth, TToolDialog::titleBarHeight()));
        QCOMPARE(dlg.size(), QSize(298 + 2, 240 + TToolDialog::titleBarHeight() + 1));

        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QCOMPARE(dlg.shows, 1);
        QVERIFY(!main.isEnabled());
        QVERIFY(dlg.isEnabled());

        // Esc closes it; its close handler runs once and the main window comes back.
        QTest::keyClick(&dlg, Qt::Key_Escape);
        QVERIFY(!dlg.isVisible());
        QCOMPARE(dlg.closes, 1);
        QVERIFY(main.isEnabled());

        // Again, closed by the close box this time.
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QCOMPARE(dlg.shows, 2);
        QVERIFY(!main.isEnabled());
        TCaptionButton* box = dlg.closeButton();
        QCOMPARE(box->ButtonRect(), QRect(dlg.width() - 16, 5, 13, 11));
        clickCaption(box);
        QVERIFY(!dlg.isVisible());
        QCOMPARE(dlg.closes, 2);
        QVERIFY(main.isEnabled());

        // And by close(); closing it again while hidden runs nothing.
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        dlg.close();
        QCOMPARE(dlg.closes, 3);
        dlg.close();
        QCOMPARE(dlg.closes, 3);
        QVERIFY(main.isEnabled());
    }

    void toolDialogIsCentredOnEveryShow()
    {
        CountingDialog dlg;
        dlg.setClientSize(296, 241);
        const QRect screen = dlg.screen()->geometry();
        const QPoint centred(screen.x() + (screen.width() - dlg.width()) / 2,
                             screen.y() + (screen.height() - dlg.height()) / 2);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QCOMPARE(dlg.pos(), centred);
        // Moved away, closed and shown again: back in the middle.
        dlg.move(centred + QPoint(-120, 75));
        QTRY_COMPARE(dlg.pos(), centred + QPoint(-120, 75));
        dlg.close();
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QCOMPARE(dlg.pos(), centred);
    }

    void toolDialogKeepsDisabledMainWindowDisabled()
    {
        // A main window that someone else disabled stays so.
        QWidget main;
        main.setEnabled(false);
        CountingDialog dlg(&main);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        dlg.close();
        QVERIFY(!main.isEnabled());
    }

    void toolDialogEscFromChild()
    {
        CountingDialog dlg;
        auto* b = new QPushButton(QStringLiteral("Zpět"), dlg.clientArea());
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        b->setFocus();
        QTest::keyClick(b, Qt::Key_Escape);
        QVERIFY(!dlg.isVisible());
        QCOMPARE(dlg.closes, 1);
    }

    void titleBarDragMovesWindow()
    {
        CountingDialog dlg;
        dlg.setCaption(QStringLiteral("Import testu"));
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        const QPoint before = dlg.pos();
        QWidget* bar = dlg.titleBar();
        QCOMPARE(bar->objectName(), QStringLiteral("TitleBar"));
        QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(40, 8));
        QMouseEvent move(QEvent::MouseMove, QPointF(70, 28), bar->mapToGlobal(QPointF(70, 28)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(bar, &move);
        QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(70, 28));
        // The window system may move it itself; otherwise we did.
        if (dlg.pos() != before)
            QCOMPARE(dlg.pos(), before + QPoint(30, 20));
    }

    void helpButtonInTitleBar()
    {
        CountingDialog dlg;
        dlg.setCaption(QStringLiteral("Import testu"));
        dlg.setClientSize(296, 241);
        TCaptionButton* help = CreateHelpCaptionButton(&dlg);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QCOMPARE(help->objectName(), QStringLiteral("CaptionButton2"));
        QCOMPARE(help->Standard(), tsbHelp);
        QVERIFY(!help->Toggle());
        QCOMPARE(help->ButtonRect(), QRect(dlg.width() - 30, 5, 12, 11));
        QVERIFY(help->ButtonRect().bottom() < TToolDialog::titleBarHeight());
        QVERIFY(!help->ButtonRect().intersects(dlg.closeButton()->ButtonRect()));
        // Drawn on the dialog's own title bar, next to the close box.
        QCOMPARE(help->Surface(), dlg.titleBar());
        QCOMPARE(dlg.closeButton()->Surface(), dlg.titleBar());
        const QRect r = help->SurfaceRect();
        QCOMPARE(surfacePixel(help, r.bottomLeft() + QPoint(1, -1)), kFace);
        const QRect box = dlg.closeButton()->SurfaceRect();
        QCOMPARE(surfacePixel(help, box.bottomLeft() + QPoint(1, -1)), kFace);
        // A new title is drawn under it, and it is drawn again on top.
        dlg.setCaption(QStringLiteral("Identifikace importovaného testu a mnohem delší titulek"));
        QCOMPARE(surfacePixel(help, r.bottomLeft() + QPoint(1, -1)), kFace);

        // Every completed click counts; pressing on it does not move the window.
        QSignalSpy clicks(help, &TCaptionButton::OnClick);
        const QPoint before = dlg.pos();
        clickCaption(help);
        clickCaption(help);
        QCOMPARE(clicks.count(), 2);
        QCOMPARE(dlg.pos(), before);
        QVERIFY(dlg.isVisible());
        // Pressed, then released on the title bar: no click, drawn up again.
        QTest::mousePress(dlg.titleBar(), Qt::LeftButton, {}, r.center());
        QVERIFY(help->Down());
        QTest::mouseRelease(dlg.titleBar(), Qt::LeftButton, {}, QPoint(20, 5));
        QVERIFY(!help->Down());
        QCOMPARE(clicks.count(), 2);

        // Taken off, the title bar is the title bar there again.
        delete help;
        QCoreApplication::processEvents();
        QVERIFY(dlg.titleBar()->grab().toImage().pixelColor(r.bottomLeft() + QPoint(1, -1)) != kFace);
        QCOMPARE(surfacePixel(dlg.closeButton(), box.bottomLeft() + QPoint(1, -1)), kFace);
    }

    void leftStrip()
    {
        QWidget host;
        host.resize(200, 440);
        TGradPan* strip = CreateLeftStrip(&host, DialogIcon::Chart, QRect(6, 8, 46, 425));
        QCOMPARE(strip->objectName(), QStringLiteral("GradPan1"));
        QCOMPARE(strip->geometry(), QRect(6, 8, 46, 425));
        QCOMPARE(strip->BackGroundEffect(), bdUp);
        QCOMPARE(strip->ColorStart(), QColor(0, 255, 255));
        QCOMPARE(strip->BevelOuter(), bvNone);
        QCOMPARE(strip->BorderWidth(), 1);
        QVERIFY(strip->Caption().isEmpty());
        auto* image = strip->findChild<QLabel*>(QStringLiteral("Image1"));
        QVERIFY(image);
        QCOMPARE(image->size(), QSize(32, 32));
        QVERIFY(strip->findChild<QLabel*>(QStringLiteral("Shape1")));
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        const QImage img = strip->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(img.pixelColor(20, 424), QColor(252, 255, 255));
        // The white frame round the icon.
        const QRect shape = strip->findChild<QLabel*>(QStringLiteral("Shape1"))->geometry();
        QCOMPARE(img.pixelColor(shape.left(), shape.center().y()), QColor(255, 255, 255));
        for (DialogIcon icon : {DialogIcon::Folder, DialogIcon::Import, DialogIcon::IdCard, DialogIcon::Chart}) {
            const QImage pic = DialogIconPixmap(icon).toImage();
            QCOMPARE(pic.size(), QSize(32, 32));
            QVERIFY(pic != QImage(32, 32, pic.format()));
        }
    }

    void boundControls()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString file = dir.filePath(QStringLiteral("autori.dbf"));
        data::DbfFile::create(file, {{QStringLiteral("JMENO"), 'C', 30}, {QStringLiteral("HTTP"), 'C', 40}}, false);
        data::TTable table;
        table.SetDatabaseName(dir.path());
        table.SetTableName(QStringLiteral("autori.dbf"));
        table.Open();
        table.Insert();
        table.SetFieldAsString(QStringLiteral("JMENO"), QStringLiteral("Jana Nováková"));
        table.SetFieldAsString(QStringLiteral("HTTP"), QStringLiteral("<b>www.zs.cz</b>"));
        table.Post();
        table.Insert();
        table.SetFieldAsString(QStringLiteral("JMENO"), QStringLiteral("Petr Dvořák"));
        table.Post();
        table.First();

        data::TDataSource source;
        source.SetDataSet(&table);
        TDBText text;
        text.setDataField(QStringLiteral("JMENO"));
        QCOMPARE(text.Text(), QString());
        text.setDataSource(&source);
        QCOMPARE(text.Text(), QStringLiteral("Jana Nováková"));
        TDBText http;
        http.setDataSource(&source);
        http.setDataField(QStringLiteral("HTTP"));
        QCOMPARE(http.textFormat(), Qt::PlainText); // data are never read as markup
        QCOMPARE(http.Text(), QStringLiteral("<b>www.zs.cz</b>"));
        TDBEdit edit;
        edit.setDataSource(&source);
        edit.setDataField(QStringLiteral("JMENO"));
        QVERIFY(edit.isReadOnly());
        QCOMPARE(edit.Text(), QStringLiteral("Jana Nováková"));

        table.Next();
        QCOMPARE(text.Text(), QStringLiteral("Petr Dvořák"));
        QCOMPARE(edit.Text(), QStringLiteral("Petr Dvořák"));
        QCOMPARE(http.Text(), QString());

        // Rebinding to another source leaves the old one behind.
        data::TDataSource other;
        text.setDataSource(&other);
        QCOMPARE(text.Text(), QString());
        table.First();
        QCOMPARE(text.Text(), QString());
        QCOMPARE(edit.Text(), QStringLiteral("Jana Nováková"));

        table.Close();
        QCOMPARE(edit.Text(), QString());
    }
};

QTEST_MAIN(TestKit)
#include "tst_kit.moc"
