// vedomec-mktest: turns a test written in a text editor into a question
// table that the program imports from Testy/Import.
//
//   vedomec-mktest [--check] SOURCE.txt [OUTPUT.dbf]
//
// Faults in the source are reported as "SOURCE:LINE: text" and nothing is
// written.  The output is never replaced when it exists.
#include "TableTools.h"
#include "TestSource.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

#include <cstdio>

using namespace vedomec;
using namespace vedomec::tools;

namespace {

QString allowedTime(const TestSource& t)
{
    if (!t.hasTimeLimit())
        return QStringLiteral("neomezeno");
    return QStringLiteral("%1:%2:%3").arg(t.hours).arg(t.minutes, 2, 10, QLatin1Char('0')).arg(t.seconds, 2, 10, QLatin1Char('0'));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QTextStream out(stdout);
    QTextStream err(stderr);
    const bool checkOnly = args.removeAll(QStringLiteral("--check")) > 0;
    if (args.isEmpty() || args.size() > 2 || args.first().startsWith(u'-')) {
        err << "Použití: vedomec-mktest [--check] ZDROJ.txt [VÝSTUP.dbf]\n"
               "Z testu napsaného v textovém editoru (UTF-8) udělá tabulku otázek pro složku Testy/Import.\n"
               "Bez VÝSTUPU se tabulka jmenuje jako zdroj, jen s příponou .dbf.\n"
               "--check  jen zkontroluje zdroj, nic nezapíše.\n";
        return 2;
    }
    const QString source = args[0];
    QString output = args.size() > 1 ? args[1] : QString();
    if (output.isEmpty()) {
        const QFileInfo fi(source);
        output = fi.dir().filePath(fi.completeBaseName() + QStringLiteral(".dbf"));
    }

    TestSource test;
    try {
        test = readTestSourceFile(source);
    } catch (const SourceError& e) {
        if (e.line() > 0)
            err << source << ":" << e.line() << ": " << e.detail() << "\n";
        else
            err << "vedomec-mktest: " << e.detail() << "\n";
        return 1;
    }
    const QString summary = QStringLiteral("„%1“, typ %2, otázek: %3, čas: %4")
                                .arg(test.title, QString(test.type))
                                .arg(test.questions.size())
                                .arg(allowedTime(test));
    if (checkOnly) {
        out << source << ": v pořádku: " << summary << "\n";
        return 0;
    }
    try {
        writeQuestionTable(test, output);
    } catch (const EVedomecError& e) {
        err << "vedomec-mktest: " << e.message() << "\n";
        return 1;
    } catch (const std::exception& e) {
        err << "vedomec-mktest: " << e.what() << "\n";
        return 1;
    }
    out << output << ": " << summary << "\n";
    return 0;
}
