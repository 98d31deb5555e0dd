// Opening a help popup: parse its rich text, lay it out, show and paint it.
// Measured for the largest help item of the dialogs; the goal is under 20 ms.
//
//   bench_helppopup [runs]
#include "Figures.h"
#include "assistant/DialogHelp.h"
#include "assistant/HelpBook.h"
#include "assistant/Rtf.h"
#include "controls/Fonts.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTextEdit>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace vedomec;

namespace {

using bench::Figures;
using bench::summarise;

} // namespace

int main(int argc, char** argv)
{
    // The offscreen platform warns on every raise(); the figures are what counts.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& msg) {
        if (type != QtWarningMsg && type != QtInfoMsg && type != QtDebugMsg)
            std::fprintf(stderr, "%s\n", qPrintable(msg));
    });
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 200;

    // The largest text of all the dialogs' help items.
    QList<DialogHelpText> all = OtevritHelpTexts() + ImportHelpTexts() + IdentifikaceHelpTexts();
    const DialogHelpText largest = *std::max_element(all.begin(), all.end(), [](const auto& a, const auto& b) {
        return qstrlen(a.rtf) * a.width * a.height < qstrlen(b.rtf) * b.width * b.height;
    });

    QWidget form;
    form.setGeometry(300, 300, 300, 260);
    auto* control = new QPushButton(QStringLiteral("Ovládací prvek"), &form);
    control->setObjectName(QLatin1String(largest.control));
    control->setGeometry(60, 200, 200, 25);
    control->setFont(TimesFont(13)); // as on the dialogs: the face is loaded before any help shows
    form.show();
    QApplication::processEvents();
    THelpBook* book = CreateDialogHelp(&form, {largest});
    THelpItem* item = book->HelpWindows()->Items(0);

    std::vector<double> parseUs;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        const rtf::Document d = rtf::Parse(item->RTF());
        parseUs.push_back(t.nsecsElapsed() / 1000.0);
        if (d.paragraphs.size() != 3) {
            std::fprintf(stderr, "bench_helppopup: cannot measure: the help text of %s reads as %zu paragraphs, not 3\n",
                         largest.control, size_t(d.paragraphs.size()));
            return 1;
        }
    }

    std::vector<double> openMs;
    double firstMs = 0;
    for (int i = 0; i <= runs; ++i) {
        QElapsedTimer t;
        t.start();
        item->ShowHelp();
        THelpWin* win = THelpWin::Current();
        if (!win) {
            std::fprintf(stderr, "bench_helppopup: cannot measure: the help popup of %s did not open\n",
                         largest.control);
            return 1;
        }
        win->repaint(); // the text laid out and drawn
        const double ms = t.nsecsElapsed() / 1e6;
        if (i == 0)
            firstMs = ms;
        else
            openMs.push_back(ms);
        win->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QApplication::processEvents();
    }

    const Figures p = summarise(parseUs);
    const Figures o = summarise(openMs);
    std::printf("help popup of %s (%d x %d, %zu bytes of RTF), %d runs, platform %s\n", largest.control, largest.width,
                largest.height, qstrlen(largest.rtf), runs, qPrintable(QGuiApplication::platformName()));
    std::printf("  parse only:          median %.1f us, mean %.1f us, max %.1f us\n", p.median, p.mean, p.max);
    std::printf("  open (first, the view's code and the 10 pt face loaded on the way): %.2f ms\n", firstMs);
    std::printf("  open (parse, lay out, show, paint): median %.2f ms, mean %.2f ms, max %.2f ms (goal < 20 ms)\n",
                o.median, o.mean, o.max);
    return 0;
}
