// vedomec-results: the results the pupils' programs left in a results
// folder, for a teacher's scripts.
//
//   vedomec-results [--data-folder F] [--results-folder F] [--test FILE] [--csv]
//   vedomec-results --help | --version
//
// With --csv the records, oldest first, exactly as the teacher's view
// exports them (UTF-8 with a byte-order mark, ";" between fields, a header
// line); without it a summary of each test.  Records whose file belongs to
// another account than the one they name are marked in the column
// "Ověřeno"; files that are no record are named on standard error.
#include "config/Settings.h"
#include "gradebook/Gradebook.h"
#include "platform/AppPath.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QTextStream>

#include <cstdio>

using namespace vedomec;
using namespace vedomec::gradebook;

namespace {

const char* const kUsage =
    "použití: vedomec-results [--data-folder SLOŽKA] [--results-folder SLOŽKA] [--test SOUBOR] [--csv]\n"
    "         vedomec-results --help | --version\n";

const char* const kHelp =
    "Vypíše výsledky testů, které programy žáků uložily do složky s výsledky.\n"
    "\n"
    "  --data-folder SLOŽKA     složka s daty; výsledky jsou v její podsložce Vysledky\n"
    "  --results-folder SLOŽKA  složka s výsledky (přednost před --data-folder)\n"
    "  --test SOUBOR            jen výsledky testu z tohoto souboru (např. mapa.dbf)\n"
    "  --csv                    záznamy ve formátu CSV (UTF-8, středníky), jak je vyváží\n"
    "                           okno Výsledky; bez této volby souhrn každého testu\n"
    "  --help                   tato nápověda\n"
    "  --version                verze programu\n"
    "\n"
    "Bez voleb platí složky z nastavení (DataFolder=, ResultsFolder=).\n"
    "Viz též: man vedomec-results\n";

// The folders the settings name, as the pupils' program takes them.
QString settingsFolder(Setting which)
{
    TSettings settings;
    settings.readFiles(configurationFiles());
    return settings.value(which).value;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    const QStringList args = app.arguments().mid(1);
    QString dataFolder;
    QString folder;
    QString test;
    bool csv = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        auto value = [&](QString* target) {
            if (i + 1 >= args.size() || args[i + 1].isEmpty()) {
                err << "vedomec-results: volba " << a << " potřebuje hodnotu\n" << kUsage;
                return false;
            }
            *target = args[++i];
            return true;
        };
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            out << kUsage << "\n" << kHelp;
            return 0;
        }
        if (a == QLatin1String("--version")) {
            out << "vedomec-results " VEDOMEC_VERSION "\n";
            return 0;
        }
        if (a == QLatin1String("--csv")) {
            csv = true;
        } else if (a == QLatin1String("--data-folder")) {
            if (!value(&dataFolder))
                return 2;
        } else if (a == QLatin1String("--results-folder")) {
            if (!value(&folder))
                return 2;
        } else if (a == QLatin1String("--test")) {
            if (!value(&test))
                return 2;
        } else {
            err << "vedomec-results: neznámá volba „" << a << "“\n" << kUsage;
            return 2;
        }
    }

    if (folder.isEmpty()) {
        if (dataFolder.isEmpty()) {
            dataFolder = settingsFolder(Setting::DataFolder);
            if (dataFolder == u'~' || dataFolder.startsWith(QLatin1String("~/")))
                dataFolder = QDir::homePath() + dataFolder.mid(1);
            if (dataFolder.isEmpty())
                dataFolder = TAppPath::Path();
            folder = resultsFolder(dataFolder, settingsFolder(Setting::ResultsFolder));
        } else {
            folder = resultsFolder(QDir::current().absoluteFilePath(dataFolder), QString());
        }
    } else {
        folder = QDir::current().absoluteFilePath(folder);
    }

    const TFolderContents contents = readRecords(folder);
    if (!contents.error.isEmpty()) {
        err << "vedomec-results: " << contents.error << "\n";
        return 1;
    }
    for (const QString& p : contents.problems)
        err << "vedomec-results: " << p << "\n";
    err.flush();

    TFilter filter;
    filter.test = QFileInfo(test).fileName();
    QList<int> rows = filtered(contents.records, filter);
    sortBy(rows, contents.records, Column::Date);

    if (csv) {
        out.flush();
        const QByteArray bytes = toCsv(contents.records, rows);
        QFile o;
        if (!o.open(stdout, QIODevice::WriteOnly) || o.write(bytes) != bytes.size() || !o.flush()) {
            err << "vedomec-results: výstup nejde zapsat\n";
            return 1;
        }
        return 0;
    }

    // A summary of each test, in the order of the titles.
    QMap<QString, QList<int>> byTest;
    for (int i : rows)
        byTest[testKey(contents.records[i].record)].append(i);
    if (byTest.isEmpty())
        out << "Ve složce " << folder << " nejsou žádné výsledky.\n";
    for (auto it = byTest.cbegin(); it != byTest.cend(); ++it) {
        const TResultRecord& first = contents.records[it.value().first()].record;
        const TSummary s = summarize(contents.records, it.value());
        out << first.testTitle << " (" << first.testFile << ", " << first.testKind << ")\n";
        out << "  psalo: " << s.taken << ", nedokončeno: " << s.unfinished
            << ", průměrná úspěšnost: " << QString::number(s.averagePercent, 'f', 1).replace(u'.', u',') << " %\n";
        out << "  známky:";
        for (int g = 0; g < 5; ++g)
            out << " " << (g + 1) << ": " << s.grades[size_t(g)] << (g < 4 ? "," : "\n");
    }
    return 0;
}
