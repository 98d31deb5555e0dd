// vedomec-mktest: turns a test written in a text editor into a question
// table that the program imports from Testy/Import.
//
//   vedomec-mktest [--check] SOURCE.txt [OUTPUT.dbf]
//   vedomec-mktest --text TABLE.dbf [OUTPUT.txt]
//   vedomec-mktest --help | --version
//
// Faults in the source are reported as "SOURCE:LINE: text" and nothing is
// written.  The output is never replaced when it exists.  --text writes a
// question table back as text (to standard output without OUTPUT), so that a
// test from any installation can be edited and made into a table again.
#include "TableTools.h"
#include "TestSource.h"

#include "platform/FileSystem.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
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

// Writes the text of a question table; notes on what the text changes go to
// standard error.  The output file is written whole under a temporary name
// and never replaces an existing file.
int tableToText(const QString& table, const QString& output, QTextStream& err)
{
    QStringList notes;
    QByteArray text;
    try {
        text = questionTableAsText(table, &notes);
    } catch (const std::exception& e) {
        err << "vedomec-mktest: " << exceptionMessage(e) << "\n";
        return 1;
    }
    for (const QString& n : std::as_const(notes))
        err << table << ": " << n << "\n";
    err.flush();
    if (output.isEmpty()) {
        QFile out;
        if (!out.open(stdout, QIODevice::WriteOnly) || out.write(text) != text.size() || !out.flush()) {
            err << "vedomec-mktest: text nelze zapsat na standardní výstup\n";
            return 1;
        }
        return 0;
    }
    if (QFileInfo::exists(output) || fs::isFile(output)) {
        err << "vedomec-mktest: " << output << " už existuje; nechávám ho, jak je\n";
        return 1;
    }
    const QString tmp = temporarySibling(output);
    QFile f(tmp);
    bool written = f.open(QIODevice::NewOnly | QIODevice::WriteOnly) && f.write(text) == text.size() && f.flush();
    QString why = f.errorString();
    f.close();
    written = written && f.error() == QFileDevice::NoError;
    if (written && !fs::renameNoReplace(tmp, output)) {
        written = false;
        why = QStringLiteral("přejmenování selhalo");
    }
    if (!written) {
        QFile::remove(tmp);
        err << "vedomec-mktest: " << output << " nelze zapsat: " << why << "\n";
        return 1;
    }
    return 0;
}

} // namespace

const char* const Usage =
    "Použití: vedomec-mktest [--check] ZDROJ.txt [VÝSTUP.dbf]\n"
    "        vedomec-mktest --text TABULKA.dbf [VÝSTUP.txt]\n";
const char* const Help =
    "Z testu napsaného v textovém editoru (UTF-8) udělá tabulku otázek pro složku Testy/Import.\n"
    "Bez VÝSTUPU se tabulka jmenuje jako zdroj, jen s příponou .dbf.\n"
    "--check    jen zkontroluje zdroj, nic nezapíše.\n"
    "--text     zapíše tabulku otázek zpět jako text (bez VÝSTUPU na standardní výstup);\n"
    "           z upraveného textu pak vedomec-mktest udělá tabulku znovu.\n"
    "--help     vypíše tuto nápovědu.\n"
    "--version  vypíše verzi.\n"
    "Podrobnosti: man vedomec-mktest\n";

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    bool checkOnly = false;
    bool toText = false;
    QStringList args;
    bool options = true;
    for (const QString& a : app.arguments().mid(1)) {
        if (!options || !a.startsWith(u'-')) {
            args << a;
        } else if (a == QStringLiteral("--")) {
            options = false;
        } else if (a == QStringLiteral("--check")) {
            checkOnly = true;
        } else if (a == QStringLiteral("--text")) {
            toText = true;
        } else if (a == QStringLiteral("--help") || a == QStringLiteral("-h")) {
            out << Usage << Help;
            return 0;
        } else if (a == QStringLiteral("--version")) {
            out << "vedomec-mktest " VEDOMEC_VERSION "\n";
            return 0;
        } else {
            err << "vedomec-mktest: neznámá volba „" << a << "“\n" << Usage;
            return 2;
        }
    }
    if (args.isEmpty() || args.size() > 2 || (checkOnly && toText)) {
        err << Usage << Help;
        return 2;
    }
    if (toText)
        return tableToText(args[0], args.size() > 1 ? args[1] : QString(), err);
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
