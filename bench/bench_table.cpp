// Prints the table store's figures on this machine: indexed inserts while
// building a catalogue, a full scan in physical order, a walk in index
// order, exact seeks, emptying the answers of a long test, and an insert
// flushed to the disk as the catalogue's are.
#include "data/Data.h"
#include "data/Dbf.h"
#include "data/Table.h"
#include "platform/Errors.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>
#include <ctime>

using namespace vedomec;
using namespace vedomec::data;

namespace {

// Wall-clock and processor time of one phase.  The processor time tells
// what the store costs when other programs crowd the machine; the targets
// are meant for the wall clock of a quiet one.
struct Timer {
    QElapsedTimer wall;
    double cpu0 = 0;
    static double cpuNow()
    {
        timespec ts {};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
        return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
    }
    void start()
    {
        cpu0 = cpuNow();
        wall.start();
    }
    void restart() { start(); }
    double wallS() const { return double(wall.nsecsElapsed()) / 1e9; }
    double cpuS() const { return cpuNow() - cpu0; }
};

double seconds(const Timer& t)
{
    return t.wallS();
}

// A benchmark that cannot measure says why and prints no figure.
int cannotMeasure(const char* why, qint64 got, qint64 wanted)
{
    std::fprintf(stderr, "bench_table: cannot measure: %s (%lld, not %lld)\n", why, (long long)got, (long long)wanted);
    return 1;
}

int run(int rows, int kinds, int questions)
{
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "bench_table: cannot measure: no temporary folder\n");
        return 1;
    }
    createTable(dir.path() + QStringLiteral("/Testy.DBF"), dbfFieldsOf(catalogueLayout()),
                {{QStringLiteral("DRUHJMENO"), QStringLiteral("DRUH+JMENO")}});

    QRandomGenerator rng(2001);
    std::vector<std::pair<QString, QString>> keys;
    keys.reserve(size_t(rows));
    for (int i = 0; i < rows; ++i)
        keys.emplace_back(QStringLiteral("Druh testu č. %1").arg(rng.bounded(kinds)),
                          QStringLiteral("Test %1 – %2").arg(rng.bounded(1000000)).arg(i));

    TTable t;
    t.SetDatabaseName(dir.path());
    t.SetTableName(QStringLiteral("Testy.DBF"));
    t.SetFieldDefs(catalogueLayout());
    t.SetIndexName(QStringLiteral("DRUHJMENO"));
    t.Open();

    Timer timer;
    timer.start();
    for (int i = 0; i < rows; ++i) {
        t.Insert();
        t.SetFieldAsString(QStringLiteral("NAZEV"), QStringLiteral("test%1.dbf").arg(i));
        t.SetFieldAsString(QStringLiteral("DRUH"), keys[size_t(i)].first);
        t.SetFieldAsString(QStringLiteral("JMENO"), keys[size_t(i)].second);
        t.SetFieldAsString(QStringLiteral("TEST"), QStringLiteral("A"));
        t.Post();
    }
    const double insertS = seconds(timer), insertC = timer.cpuS();
    std::printf("indexed inserts:     %9.0f rows/s  (cpu %9.0f; %d rows, %d kinds, tag DRUHJMENO; target >= 60000)\n",
                rows / insertS, rows / insertC, rows, kinds);

    qint64 chars = 0;
    t.SetIndexName(QString());
    timer.restart();
    t.First();
    int n = 0;
    while (!t.Eof()) {
        chars += t.FieldAsString(QStringLiteral("DRUH")).size() + t.FieldAsString(QStringLiteral("JMENO")).size();
        ++n;
        t.Next();
    }
    const double scanS = seconds(timer), scanC = timer.cpuS();
    if (n != rows || chars == 0)
        return cannotMeasure("the scan read other rows than were inserted", n, rows);
    std::printf("physical scan:       %9.0f rows/s  (cpu %9.0f; %d rows read, DRUH and JMENO; target >= 3000000)\n",
                n / scanS, n / scanC, n);

    t.SetIndexName(QStringLiteral("DRUHJMENO"));
    timer.restart();
    t.First();
    n = 0;
    while (!t.Eof()) {
        chars += t.FieldAsString(QStringLiteral("DRUH")).size() + t.FieldAsString(QStringLiteral("JMENO")).size();
        ++n;
        t.Next();
    }
    const double walkS = seconds(timer), walkC = timer.cpuS();
    if (n != rows)
        return cannotMeasure("the walk in DRUHJMENO met other rows than were inserted", n, rows);
    std::printf("walk in DRUHJMENO:   %9.0f rows/s  (cpu %9.0f; %d rows read; target >= 1000000)\n", n / walkS,
                n / walkC, n);

    const int seeks = 200000;
    std::vector<QStringList> probes;
    probes.reserve(seeks);
    for (int i = 0; i < seeks; ++i) {
        const auto& k = keys[size_t(rng.bounded(rows))];
        probes.push_back({k.first, k.second});
    }
    int found = 0;
    timer.restart();
    for (const QStringList& p : probes)
        found += t.FindKey(p) ? 1 : 0;
    const double seekS = seconds(timer), seekC = timer.cpuS();
    if (found != seeks)
        return cannotMeasure("seeks for inserted keys missed", found, seeks);
    std::printf("exact seeks:         %9.0f seeks/s (cpu %9.0f; %d of %d found; target >= 200000)\n", seeks / seekS,
                seeks / seekC, found, seeks);
    t.Close();

    createTable(dir.path() + QStringLiteral("/Otazky.dbf"), dbfFieldsOf(layoutA()));
    TTable q;
    q.SetDatabaseName(dir.path());
    q.SetTableName(QStringLiteral("otazky.dbf"));
    q.SetFieldDefs(layoutA());
    q.SetHeld(true); // as the program holds the question table of its running test
    q.Open();
    for (int i = 0; i < questions; ++i) {
        q.Insert();
        q.SetFieldAsString(QStringLiteral("OTAZKA"), QStringLiteral("Otázka číslo %1?").arg(i + 1));
        q.SetFieldAsString(QStringLiteral("ODPOVED"), QStringLiteral("B"));
        q.Post();
    }
    timer.restart();
    q.First();
    while (!q.Eof()) {
        q.Edit();
        q.SetFieldAsString(QStringLiteral("ODPOVED"), QString());
        q.Post();
        q.Next();
    }
    const double emptyS = seconds(timer), emptyC = timer.cpuS();
    std::printf("empty ODPOVED:       %9.1f ms      (cpu %9.1f ms; %d questions, Edit/Post per row; target <= 30 ms)\n",
                emptyS * 1000.0, emptyC * 1000.0, questions);
    q.Close();

    // What an import's flush to the disk costs: the catalogue and the kind
    // table write through to the disk before Post returns.
    createTable(dir.path() + QStringLiteral("/Synced.DBF"), dbfFieldsOf(catalogueLayout()), catalogueTags());
    TTable c;
    c.SetDatabaseName(dir.path());
    c.SetTableName(QStringLiteral("Synced.DBF"));
    c.SetFieldDefs(catalogueLayout());
    c.SetIndexName(QStringLiteral("DRUHJMENO"));
    c.SetSyncWrites(true);
    c.Open();
    const int synced = 200;
    timer.restart();
    for (int i = 0; i < synced; ++i) {
        c.Insert();
        c.SetFieldAsString(QStringLiteral("NAZEV"), QStringLiteral("test%1.dbf").arg(i));
        c.SetFieldAsString(QStringLiteral("DRUH"), keys[size_t(i)].first);
        c.SetFieldAsString(QStringLiteral("JMENO"), keys[size_t(i)].second);
        c.Post();
    }
    const double syncedS = seconds(timer);
    c.Close();
    std::printf("synced insert:       %9.3f ms      (%d rows, journal and files flushed to the disk before Post returns; "
                "unsynced %.3f ms)\n",
                syncedS * 1000.0 / synced, synced, insertS * 1000.0 / rows);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    try {
        return run(100000, 1000, 10000);
    } catch (const EVedomecError& e) {
        std::fprintf(stderr, "bench_table: cannot measure: %s\n", e.message().toLocal8Bit().constData());
        return 1;
    }
}
