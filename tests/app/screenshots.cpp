// The pictures of the README: what a pupil sees, taken from the real program
// on a copy of the sample folder, driven as a pupil drives it.
//   vedomec-screenshots OUTDIR
// writes OUTDIR/guide.png (the guide balloon over the main window at start),
// OUTDIR/test.png (a test open) and OUTDIR/results.png (the results over the
// main window).  Run it under QT_QPA_PLATFORM=offscreen (scripts/screenshots.sh).
#include "app/Hlavni.h"
#include "app/Startup.h"
#include "assistant/oaAssist.h"
#include "catalogue/Otevrit.h"
#include "controls/ToolbarButton97.h"
#include "results/Vysledek.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDirIterator>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <cstdio>

using namespace vedomec;

namespace {

template <class T>
T* window()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* t = qobject_cast<T*>(w))
            return t;
    return nullptr;
}

void copyTree(const QString& from, const QString& to)
{
    QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString target = QDir(to).filePath(QDir(from).relativeFilePath(path));
        QDir().mkpath(QFileInfo(target).path());
        QFile::copy(path, target);
        QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
    }
    QDir().mkpath(to + QStringLiteral("/Testy/Import"));
}

// The windows as they lie on the screen, on a plain desktop: the main window
// and, over it, the ones given (a masked window only within its shape).
QImage scene(QWidget* main, const QList<QWidget*>& over)
{
    QRect area = main->frameGeometry();
    for (QWidget* w : over)
        area |= w->frameGeometry();
    area.adjust(-12, -12, 12, 12);
    QImage image(area.size(), QImage::Format_RGB32);
    image.fill(QColor(0x3a, 0x6e, 0xa5));
    QPainter p(&image);
    for (QWidget* w : QList<QWidget*>{main} + over) {
        p.save();
        const QPoint at = w->geometry().topLeft() - area.topLeft();
        if (!w->mask().isEmpty())
            p.setClipRegion(w->mask().translated(at));
        p.drawPixmap(at, w->grab());
        p.restore();
    }
    return image;
}

bool save(const QImage& image, const QString& file)
{
    if (!image.save(file)) {
        std::fprintf(stderr, "vedomec-screenshots: cannot write %s\n", qPrintable(file));
        return false;
    }
    std::printf("%s: %d x %d\n", qPrintable(file), image.width(), image.height());
    return true;
}

void settle()
{
    QTest::qWait(60);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: vedomec-screenshots OUTDIR\n");
        return 2;
    }
    // Absolute: the program makes its data folder the current one.
    const QString out = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    QTemporaryDir folder;
    copyTree(QStringLiteral(VEDOMEC_PRISTINE_SAMPLE_DIR), folder.path());

    // A pupil answers: no message is expected, and one that comes is
    // answered rather than waited for.
    QStringList messages;
    TAssistant::setTestResponder([&messages](const BalloonMessage& m) {
        messages << m.text;
        return int(mrOk);
    });

    TStartSettings start;
    start.settings.apply(TCommandLine::parse({QStringLiteral("--data-folder"), folder.path()}));
    bool ok = false;
    RunVedomec(app, [&](THlavniDialog* w) {
        // Nápověda: the guide balloon, as a pupil opens it first.
        QTest::mouseClick(w->ToolbarButton978, Qt::LeftButton);
        settle();
        QWidget* balloon = w->Assistant->balloonWindow();
        for (int i = 0; i < 100 && !(balloon->isVisible() && balloon->width() > 200); ++i)
            settle();
        QTest::qWait(300); // laid out and painted
        const QImage guideShot = scene(w, {balloon});
        w->Assistant->CloseBalloon();
        settle();

        // Otevřít test: Zeměpis / Zeměpis České republiky.
        QTest::mouseClick(w->ToolbarButton971, Qt::LeftButton);
        settle();
        TOtevritDialog* open = window<TOtevritDialog>();
        QTreeWidgetItem* kind = open ? open->FindTreeChild(open->TreeView1, nullptr, QStringLiteral("Zeměpis")) : nullptr;
        QTreeWidgetItem* test =
            kind ? open->FindTreeChild(open->TreeView1, kind, QStringLiteral("Zeměpis České republiky")) : nullptr;
        if (!test) {
            std::fprintf(stderr, "vedomec-screenshots: the sample test is not in the catalogue\n");
            w->close();
            return;
        }
        open->TreeView1->setCurrentItem(test);
        QTest::mouseClick(open->Button1, Qt::LeftButton);
        settle();

        // Fourteen answers, two of them wrong; the picture of the test is
        // taken at the third question, answered.
        const QString answers = QStringLiteral("BCDAACABCCDBAB");
        QImage testShot;
        for (int i = 0; i < answers.size(); ++i) {
            QCheckBox* boxes[] = {w->RadioButton1, w->RadioButton2, w->RadioButton3, w->RadioButton4};
            QTest::mouseClick(boxes[answers[i].unicode() - 'A'], Qt::LeftButton);
            settle();
            if (i == 2)
                testShot = scene(w, {});
            if (i + 1 < answers.size()) {
                QTest::mouseClick(w->T3, Qt::LeftButton);
                settle();
            }
        }

        // Výsledky testu.
        QTest::mouseClick(w->ToolbarButton975, Qt::LeftButton);
        settle();
        TVysledekDialog* results = window<TVysledekDialog>();
        if (!results || !results->isVisible()) {
            std::fprintf(stderr, "vedomec-screenshots: no results: %s\n", qPrintable(messages.join(u' ')));
            w->close();
            return;
        }
        const QImage resultsShot = scene(w, {results});
        QTest::mouseClick(results->Button1, Qt::LeftButton);
        settle();


        ok = messages.isEmpty() && save(testShot, out + QStringLiteral("/test.png"))
             && save(resultsShot, out + QStringLiteral("/results.png"))
             && save(guideShot, out + QStringLiteral("/guide.png"));
        if (!messages.isEmpty())
            std::fprintf(stderr, "vedomec-screenshots: unexpected messages: %s\n", qPrintable(messages.join(u' ')));
        w->close();
    }, start);
    TAssistant::setTestResponder({});
    return ok ? 0 : 1;
}
