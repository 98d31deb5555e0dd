// vedomec-mktest: turns a test written in a text editor into a question
// table that the program imports from Testy/Import.
//
//   vedomec-mktest [--check] [--kind K] [--title T] [--author A] SOURCE [OUTPUT.dbf]
//   vedomec-mktest --text TABLE.dbf [OUTPUT.txt]
//   vedomec-mktest --format gift|aiken|moodle TABLE.dbf [OUTPUT]
//   vedomec-mktest --help | --version
//
// SOURCE is the program's own text form, or a GIFT, Aiken or Moodle XML
// file of another quiz system (by its name and contents, or as --format
// says); such a file that mixes types gives one table per type.  Faults in
// the source are reported as "SOURCE:LINE: text" and nothing is written;
// questions a table cannot carry are reported the same way and left out.
// The output is never replaced when it exists.  --text writes a question
// table back as text, --format in another system's format (to standard
// output without OUTPUT), telling what that format does not hold.
#include "TableTools.h"
#include "exchange/Exchange.h"
#include "exchange/TestSource.h"

#include "platform/ErrorText.h"
#include "platform/FileSystem.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <cstdio>

using namespace vedomec;
using namespace vedomec::tools;
using namespace vedomec::exchange;

namespace {

QString allowedTime(const TestSource& t)
{
    if (!t.hasTimeLimit())
        return QStringLiteral("neomezeno");
    return QStringLiteral("%1:%2:%3").arg(t.hours).arg(t.minutes, 2, 10, QLatin1Char('0')).arg(t.seconds, 2, 10, QLatin1Char('0'));
}

// Writes `bytes` to `output`, or to standard output when it is empty.  The
// file is written whole under a temporary name and never replaces an
// existing file.
int writeNewFile(const QString& output, const QByteArray& bytes, QTextStream& err)
{
    if (output.isEmpty()) {
        QFile out;
        if (!out.open(stdout, QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.flush()) {
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
    bool written = f.open(QIODevice::NewOnly | QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.flush();
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

// Writes the text of a question table; notes on what the text changes go to
// standard error.
int tableToText(const QString& table, const QString& output, QTextStream& err)
{
    QStringList notes;
    QByteArray text;
    try {
        text = questionTableAsText(table, &notes);
    } catch (const std::exception& e) {
        err << "vedomec-mktest: " << czechToolErrorText(exceptionMessage(e)) << "\n";
        return 1;
    }
    for (const QString& n : std::as_const(notes))
        err << table << ": " << n << "\n";
    err.flush();
    return writeNewFile(output, text, err);
}

void printDiagnostics(QTextStream& err, const QString& file, const QList<Diagnostic>& list, bool questionNumbers)
{
    for (const Diagnostic& d : list) {
        if (d.line <= 0)
            err << file << ": " << d.text << "\n";
        else if (questionNumbers)
            err << file << ": otázka " << d.line << ": " << d.text << "\n";
        else
            err << file << ":" << d.line << ": " << d.text << "\n";
    }
}

// Writes a question table in another system's format, saying what the
// format does not hold.
int tableToFormat(Format format, const QString& table, const QString& output, QTextStream& err)
{
    QStringList notes;
    ExportResult result;
    TestSource test;
    try {
        test = readQuestionTable(table, &notes, true);
        result = writeExchange(format, test);
    } catch (const SourceError& e) {
        err << "vedomec-mktest: " << table << ": " << e.detail() << "\n";
        return 1;
    } catch (const std::exception& e) {
        err << "vedomec-mktest: " << czechToolErrorText(exceptionMessage(e)) << "\n";
        return 1;
    }
    for (const QString& n : std::as_const(notes))
        err << table << ": " << n << "\n";
    printDiagnostics(err, table, result.diagnostics, true);
    qsizetype omitted = 0;
    for (const Diagnostic& d : std::as_const(result.diagnostics))
        omitted += d.omitted ? 1 : 0;
    if (omitted == test.questions.size()) {
        err << "vedomec-mktest: " << table << ": žádná otázka testu se do formátu " << formatName(format) << " nevešla\n";
        return 1;
    }
    err.flush();
    return writeNewFile(output, result.file, err);
}

struct ReadRequest {
    QString source;
    QString output;
    bool checkOnly = false;
    ImportNames names;
};

QString summaryOf(const TestSource& test)
{
    return QStringLiteral("„%1“, typ %2, otázek: %3, čas: %4")
        .arg(test.title, QString(test.type))
        .arg(test.questions.size())
        .arg(allowedTime(test));
}

// Makes question tables of a file of another quiz system: one per type it
// holds.  Either every table is written or none is.
int formatToTables(Format format, const ReadRequest& req, QTextStream& out, QTextStream& err)
{
    QFile f(req.source);
    if (!f.open(QIODevice::ReadOnly)) {
        err << "vedomec-mktest: soubor " << req.source << " nelze číst: " << f.errorString() << "\n";
        return 1;
    }
    if (f.size() > MaxFileSize) {
        err << "vedomec-mktest: soubor " << req.source << " je příliš velký\n";
        return 1;
    }
    ImportResult result;
    try {
        result = readExchange(format, f.readAll(), req.names);
    } catch (const SourceError& e) {
        if (e.line() > 0)
            err << req.source << ":" << e.line() << ": " << e.detail() << "\n";
        else
            err << "vedomec-mktest: " << req.source << ": " << e.detail() << "\n";
        return 1;
    }
    printDiagnostics(err, req.source, result.diagnostics, false);
    if (result.tests.isEmpty()) {
        err << "vedomec-mktest: " << req.source << ": v souboru (" << formatName(format)
            << ") není žádná otázka, kterou by test Vedomce unesl\n";
        return 1;
    }
    for (const TestSource& t : std::as_const(result.tests)) {
        const QString problem = testWideProblem(t);
        if (problem.isEmpty())
            continue;
        QString hint;
        if (problem.startsWith(QLatin1String("druh")))
            hint = QStringLiteral("; zadej ho volbou --kind");
        else if (problem.startsWith(QLatin1String("název")))
            hint = QStringLiteral("; zadej ho volbou --title");
        else if (problem.startsWith(QLatin1String("jméno")))
            hint = QStringLiteral("; zadej jiné volbou --author");
        err << "vedomec-mktest: " << req.source << ": " << problem << hint << "\n";
        return 1;
    }

    qsizetype carried = 0;
    for (const TestSource& t : std::as_const(result.tests))
        carried += t.questions.size();
    QString base = req.output;
    if (base.isEmpty()) {
        const QFileInfo fi(req.source);
        base = fi.dir().filePath(fi.completeBaseName() + QStringLiteral(".dbf"));
    }
    QStringList outputs;
    for (const TestSource& t : std::as_const(result.tests)) {
        if (result.tests.size() == 1) {
            outputs << base;
        } else {
            const QFileInfo fi(base);
            const QString suffix = fi.suffix().isEmpty() ? QStringLiteral("dbf") : fi.suffix();
            outputs << fi.dir().filePath(fi.completeBaseName() + u'-' + t.type + u'.' + suffix);
        }
    }
    const QString counts = QStringLiteral("otázek v souboru: %1, do testů: %2").arg(result.questionsFound).arg(carried);
    if (req.checkOnly) {
        for (qsizetype i = 0; i < result.tests.size(); ++i)
            out << req.source << ": v pořádku: " << summaryOf(result.tests[i]) << "\n";
        out << req.source << ": " << counts << "\n";
        return 0;
    }
    for (const QString& o : std::as_const(outputs))
        if (QFileInfo::exists(o) || fs::isFile(o)) {
            err << "vedomec-mktest: " << o << " už existuje; nechávám ho, jak je\n";
            return 1;
        }
    for (qsizetype i = 0; i < result.tests.size(); ++i) {
        try {
            writeQuestionTable(result.tests[i], outputs[i]);
        } catch (const std::exception& e) {
            for (qsizetype k = 0; k < i; ++k)
                QFile::remove(outputs[k]);
            err << "vedomec-mktest: " << czechToolErrorText(exceptionMessage(e)) << "\n";
            return 1;
        }
    }
    for (qsizetype i = 0; i < result.tests.size(); ++i)
        out << outputs[i] << ": " << summaryOf(result.tests[i]) << "\n";
    out << req.source << ": " << counts << "\n";
    return 0;
}

} // namespace

const char* const Usage =
    "Použití: vedomec-mktest [--check] [--kind DRUH] [--title NÁZEV] [--author AUTOR] ZDROJ [VÝSTUP.dbf]\n"
    "        vedomec-mktest --text TABULKA.dbf [VÝSTUP.txt]\n"
    "        vedomec-mktest --format gift|aiken|moodle TABULKA.dbf [VÝSTUP]\n";
const char* const Help =
    "Z testu napsaného v textovém editoru (UTF-8) udělá tabulku otázek pro složku Testy/Import.\n"
    "ZDROJ může být i soubor jiného systému testů: GIFT (.gift, .txt), Aiken (.txt) nebo\n"
    "Moodle XML (.xml); soubor s otázkami více typů dá jednu tabulku pro každý typ.\n"
    "Bez VÝSTUPU se tabulka jmenuje jako zdroj, jen s příponou .dbf.\n"
    "--check    jen zkontroluje zdroj, nic nezapíše.\n"
    "--kind, --title, --author\n"
    "           druh, název a autor testu ze souboru jiného systému (jinak z jeho kategorie\n"
    "           a jména souboru).\n"
    "--format   formát souboru jiného systému: gift, aiken nebo moodle.  S TABULKOU.dbf\n"
    "           ji do něj zapíše (bez VÝSTUPU na standardní výstup) a řekne, co formát nenese.\n"
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
    std::optional<Format> format;
    ImportNames names;
    QStringList args;
    bool options = true;
    const QStringList all = app.arguments().mid(1);
    for (qsizetype i = 0; i < all.size(); ++i) {
        const QString& a = all[i];
        // "--kind X" and "--kind=X"
        auto value = [&](const char* name, QString& target) {
            const QString option = QLatin1String(name);
            if (a.startsWith(option + u'=')) {
                target = a.mid(option.size() + 1);
                return 1;
            }
            if (a != option)
                return 0;
            if (i + 1 >= all.size())
                return -1;
            target = all[++i];
            return 1;
        };
        QString formatText;
        int taken = 0;
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
        } else if ((taken = value("--kind", names.kind)) || (taken = value("--title", names.title))
                   || (taken = value("--author", names.author)) || (taken = value("--format", formatText))) {
            if (taken < 0) {
                err << "vedomec-mktest: volbě „" << a << "“ chybí hodnota\n" << Usage;
                return 2;
            }
            if (a.startsWith(QLatin1String("--format"))) {
                format = formatFromOption(formatText);
                if (!format) {
                    err << "vedomec-mktest: neznámý formát „" << formatText << "“; známé jsou gift, aiken a moodle\n" << Usage;
                    return 2;
                }
            }
        } else {
            err << "vedomec-mktest: neznámá volba „" << a << "“\n" << Usage;
            return 2;
        }
    }
    if (args.isEmpty() || args.size() > 2 || (checkOnly && toText) || (toText && format)) {
        err << Usage << Help;
        return 2;
    }
    const QString source = args[0];
    const QString given = args.size() > 1 ? args[1] : QString();
    const bool table = QFileInfo(source).suffix().compare(QLatin1String("dbf"), Qt::CaseInsensitive) == 0;
    if (toText)
        return tableToText(source, given, err);
    if (format && table) {
        if (checkOnly) {
            err << Usage << Help;
            return 2;
        }
        return tableToFormat(*format, source, given, err);
    }
    if (!format) {
        QFile probe(source);
        if (probe.open(QIODevice::ReadOnly))
            format = guessFormat(source, probe.read(64 * 1024));
    }
    if (format) {
        names.fileName = QFileInfo(source).completeBaseName();
        return formatToTables(*format, ReadRequest{source, given, checkOnly, names}, out, err);
    }
    if (!names.kind.isEmpty() || !names.title.isEmpty() || !names.author.isEmpty()) {
        err << "vedomec-mktest: druh, název a autora má text testu ve své hlavičce; volby --kind, --title a --author "
               "platí jen pro soubory jiných systémů\n";
        return 2;
    }
    QString output = given;
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
    const QString summary = summaryOf(test);
    if (checkOnly) {
        out << source << ": v pořádku: " << summary << "\n";
        return 0;
    }
    try {
        writeQuestionTable(test, output);
    } catch (const EVedomecError& e) {
        err << "vedomec-mktest: " << czechToolErrorText(e.message()) << "\n";
        return 1;
    } catch (const std::exception& e) {
        err << "vedomec-mktest: " << czechToolErrorText(exceptionMessage(e)) << "\n";
        return 1;
    }
    out << output << ": " << summary << "\n";
    return 0;
}
