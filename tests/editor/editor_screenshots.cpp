// The README's and the guide's pictures of the teacher's editor and of his
// view of a class's results, taken from the real windows on a copy of the
// sample tests, with no display:
// editor-screenshots OUTPUT-FOLDER (run by scripts/screenshots.sh).
#include "authoring/TestFolder.h"
#include "editor/EditorWindow.h"
#include "gradebook/Recorder.h"
#include "platform/Clock.h"
#include "results/ResultsView.h"
#include "results/Scoring.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTableView>
#include <QTest>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <numeric>

using namespace vedomec;

namespace {
// No dialog may wait for an answer: messages go to standard error.
class Unattended : public editor::EditorPrompts {
public:
    void message(QWidget*, const QString& text, bool) override { std::fprintf(stderr, "%s\n", qPrintable(text)); }
    bool confirm(QWidget*, const QString&) override { return false; }
    Unsaved unsaved(QWidget*, const QString&) override { return Unsaved::Discard; }
    std::optional<QString> text(QWidget*, const QString&, const QString&, const QString&, bool) override { return {}; }
};

// A class of six that took `file` one morning, each with his own answers,
// recorded as the pupil's program records them (one lab account, the pupils
// giving their names).  The better the pupil, the fewer questions he missed;
// the hardest questions are the ones most of them missed, mostly choosing
// the same wrong answer.
bool recordClass(const QString& appFolder, const QString& file)
{
    const exchange::TestSource test = authoring::TestFolder(appFolder).load(file);
    const int n = int(test.questions.size());
    if (n == 0 || test.type != u'A')
        return false;
    struct Pupil {
        const char* name;
        int missed; // questions missed, of ten
        int minutes;
    };
    const Pupil pupils[] = {{"Adéla Nováková", 0, 7},   {"Jan Dvořák", 2, 9},     {"Tomáš Černý", 4, 11},
                            {"Eliška Svobodová", 1, 8}, {"Lucie Marková", 3, 10}, {"Petr Procházka", 7, 12}};
    // Question i is the (difficulty[i])th hardest; pupils miss the hardest.
    int step = 5;
    while (std::gcd(step, n) != 1)
        ++step;
    QList<int> difficulty;
    for (int i = 0; i < n; ++i)
        difficulty.append((i * step + 3) % n);
    const QString letters = QStringLiteral("ABCD");
    ManualWallClock clock;
    clock.set(QDateTime(QDate(2026, 11, 12), QTime(8, 5)));
    gradebook::TRecorder recorder(&clock);
    gradebook::TRecordingSettings settings;
    settings.askPupilName = true;
    recorder.setSettings(settings);
    recorder.setDataFolder(appFolder);
    const QChar zero(u'0');
    const QString limit = test.hasTimeLimit() ? QStringLiteral("%1:%2:%3")
                                                    .arg(test.hours)
                                                    .arg(test.minutes, 2, 10, zero)
                                                    .arg(test.seconds, 2, 10, zero)
                                              : QStringLiteral("neomezeno");
    for (const Pupil& p : pupils) {
        recorder.setPupil(QString::fromUtf8(p.name), QStringLiteral("7.A"));
        recorder.begin(file, test.title, test.kind, results::TestType::A, limit);
        QList<results::AnswerRow> rows;
        results::TScoreSheet sheet(results::TestType::A, results::EvalMode::ResultsCommand);
        for (int i = 0; i < n; ++i) {
            const QString correct = test.questions[i].correct;
            QString given = correct;
            if (difficulty[i] * 10 < p.missed * n) {
                const int c = std::max(0, int(letters.indexOf(correct)));
                // The same tempting answer for most, another for some.
                given = letters.at((c + 1 + (p.missed > 3 && i % 2)) % 4);
            }
            rows.append({correct, given});
            sheet.add(correct, given);
        }
        const results::Outcome o = sheet.finish(n);
        gradebook::TShownResult shown;
        shown.questions = QString::number(n);
        shown.right = QString::number(o.r);
        shown.wrong = QString::number(o.wrong);
        shown.percent = o.percentText;
        shown.wrongList = o.wrongList;
        shown.grade = o.grade;
        shown.correctList = o.correctList;
        clock.advance(p.minutes * 60);
        const QString error = recorder.finish(shown, rows, p.minutes * 60 * 1000, false);
        if (!error.isEmpty()) {
            std::fprintf(stderr, "editor-screenshots: %s\n", qPrintable(error));
            return false;
        }
        clock.advance(30);
    }
    return true;
}

// `small`: in the 256 colours the window uses most, each pixel in the
// nearest of them; a window's few colours lose nothing a reader sees, and
// the file shrinks to less than half.
bool save(QWidget* w, const QString& file, bool small = false)
{
    QImage image = w->grab().toImage();
    if (small) {
        image = image.convertToFormat(QImage::Format_RGB32);
        QHash<QRgb, int> uses;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                ++uses[image.pixel(x, y)];
        QList<std::pair<int, QRgb>> byUse;
        for (auto it = uses.cbegin(); it != uses.cend(); ++it)
            byUse.append({it.value(), it.key()});
        std::sort(byUse.begin(), byUse.end(), [](const auto& a, const auto& b) { return a > b; });
        QList<QRgb> palette;
        for (int i = 0; i < std::min<int>(256, int(byUse.size())); ++i)
            palette.append(byUse[i].second);
        image = image.convertToFormat(QImage::Format_Indexed8, palette, Qt::ThresholdDither);
    }
    if (image.save(file, "PNG", small ? 0 : -1))
        return true;
    std::fprintf(stderr, "editor-screenshots: cannot write %s\n", qPrintable(file));
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: editor-screenshots OUTPUT-FOLDER\n");
        return 2;
    }
    editor::EditorWindow::setPrompts(std::make_unique<Unattended>());
    QTemporaryDir folder;
    const QDir sample(QStringLiteral(VEDOMEC_PRISTINE_SAMPLE_DIR));
    for (QDirIterator it(sample.path(), QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
        const QString from = it.next();
        const QString to = QDir(folder.path()).filePath(sample.relativeFilePath(from));
        QDir().mkpath(QFileInfo(to).path());
        QFile::copy(from, to);
        QFile(to).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    }
    QDir(folder.path()).mkpath(QStringLiteral("Testy/Import"));
    editor::EditorWindow w(folder.path());
    w.resize(1100, 640);
    w.show();
    if (!QTest::qWaitForWindowExposed(&w)) {
        std::fprintf(stderr, "editor-screenshots: the window does not show\n");
        return 1;
    }
    authoring::TestFolder tests(folder.path());
    const QList<authoring::TestEntry> entries = tests.tests();
    if (entries.isEmpty()) {
        std::fprintf(stderr, "editor-screenshots: the sample has no tests\n");
        return 1;
    }
    // An unprotected test of type A shows the most of the window.
    QString file = entries.first().fileName;
    for (const authoring::TestEntry& e : entries)
        if (!e.isProtected() && e.type == QLatin1String("A")) {
            file = e.fileName;
            break;
        }
    w.openTest(file);
    w.selectQuestion(1);
    QApplication::processEvents();
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!save(&w, out.filePath(QStringLiteral("editor.png"))))
        return 1;
    w.closeTest();

    // The class's results as the teacher opens them: Ctrl+R.
    if (!recordClass(folder.path(), file)) {
        std::fprintf(stderr, "editor-screenshots: cannot record the class's results\n");
        return 1;
    }
    w.activateWindow();
    QTest::keyClick(&w, Qt::Key_R, Qt::ControlModifier);
    auto* view = w.findChild<TResultsView*>(QStringLiteral("Vysledky"));
    if (!view || !QTest::qWaitForWindowExposed(view)) {
        std::fprintf(stderr, "editor-screenshots: Ctrl+R shows no results\n");
        return 1;
    }
    // A ResultsFolder= of the user running this leads elsewhere.
    view->setFolder(QDir(folder.path()).filePath(QStringLiteral("Vysledky")));
    QApplication::processEvents();
    if (!save(view, out.filePath(QStringLiteral("gradebook.png")), true))
        return 1;
    return 0;
}
