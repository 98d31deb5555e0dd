// The results folder as the teacher reads it: records written whole or not
// at all, whoever may write into the folder, and the figures and the export
// of the teacher's view against results counted by hand.
#include "gradebook/Gradebook.h"
#include "gradebook/RecordStore.h"
#include "StoreFaults.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace vedomec;
using namespace vedomec::gradebook;
using namespace vedomec::testdata;

namespace {

// A finished type A record: `given` one letter per question against the
// right answers `correct`, graded as the results dialog grades.
TResultRecord taken(const QString& pupil, const QString& testFile, const QString& given, const QString& correct,
                    const QDateTime& ended)
{
    const TAccount me = currentAccount();
    TResultRecord r;
    r.login = me.login;
    r.uid = me.uid;
    r.fullName = me.fullName;
    r.pupilName = pupil;
    r.pupilClass = QStringLiteral("7.B");
    r.computer = QStringLiteral("ucebna-03");
    r.testFile = testFile;
    r.testTitle = testFile == QLatin1String("mapa.dbf") ? QStringLiteral("Mapa") : QStringLiteral("Řeky");
    r.testKind = QStringLiteral("Zeměpis");
    r.testType = QStringLiteral("A");
    r.started = ended.addSecs(-300);
    r.ended = ended;
    r.elapsedSeconds = 300;
    r.timeLimit = QStringLiteral("neomezeno");
    r.finished = true;
    r.questions = int(given.size());
    for (int i = 0; i < given.size(); ++i) {
        const bool right = given.at(i) == correct.at(i);
        r.answers.append({given.at(i) == u'-' ? QString() : QString(given.at(i)), QString(correct.at(i)), right});
        r.right += right;
    }
    r.wrong = r.questions - r.right;
    const int p = qRound(100.0 * r.right / r.questions);
    r.percent = QString::number(p);
    r.grade = r.right == r.questions ? QStringLiteral("1 - výborný")
              : p >= 75              ? QStringLiteral("2 - chvalitebný")
              : p >= 50              ? QStringLiteral("3 - dobrý")
              : p >= 25              ? QStringLiteral("4 - dostatečný")
                                     : QStringLiteral("5 - nedostatečný");
    return r;
}

QStringList files(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

} // namespace

class TestGradebook : public QObject {
    Q_OBJECT

private slots:
    // Five records of a class, counted by hand: the table filtered and
    // sorted, the summary and chart of one test, its questions hardest
    // first, and the export read back field by field.
    void figuresAgainstHandCountedResults()
    {
        QTemporaryDir dir;
        const QDateTime monday(QDate(2026, 12, 7), QTime(9, 0));
        const QString key = QStringLiteral("ABCD");
        const QList<TResultRecord> written {
            taken(QStringLiteral("Šimon Čech"), QStringLiteral("mapa.dbf"), QStringLiteral("ABCD"), key, monday),
            taken(QStringLiteral("Anna Adámková"), QStringLiteral("mapa.dbf"), QStringLiteral("ABCA"), key,
                  monday.addSecs(60)),
            taken(QStringLiteral("Cyril Bureš"), QStringLiteral("mapa.dbf"), QStringLiteral("DBCA"), key,
                  monday.addSecs(120)),
            taken(QStringLiteral("Žofie Malá; \"Žofka\""), QStringLiteral("mapa.dbf"), QStringLiteral("CB-A"), key,
                  monday.addDays(1)),
            taken(QStringLiteral("Anna Adámková"), QStringLiteral("reky.dbf"), QStringLiteral("AB"),
                  QStringLiteral("AA"), monday.addDays(2)),
        };
        for (const TResultRecord& r : written) {
            QString error;
            QVERIFY2(!writeRecord(dir.path(), r, &error).isEmpty(), qPrintable(error));
        }
        TResultRecord unfinished = written[1];
        unfinished.finished = false;
        unfinished.ended = monday.addSecs(30);
        QVERIFY(!writeRecord(dir.path(), unfinished).isEmpty());

        const TFolderContents read = readRecords(dir.path());
        QCOMPARE(read.error, QString());
        QCOMPARE(read.problems, QStringList());
        QCOMPARE(read.records.size(), 6);
        for (const TStoredRecord& s : read.records)
            QVERIFY(s.trusted);

        TFilter mapa;
        mapa.test = QStringLiteral("MAPA.DBF");
        QList<int> rows = filtered(read.records, mapa);
        QCOMPARE(rows.size(), 5);
        // Right 4, 3, 2, 1 of 4: grades 1, 2, 3, 4; one unfinished.
        const TSummary s = summarize(read.records, rows);
        QCOMPARE(s.taken, 4);
        QCOMPARE(s.unfinished, 1);
        QCOMPARE(s.averagePercent, (100 + 75 + 50 + 25) / 4.0);
        QCOMPARE(s.grades, (std::array<int, 5> {1, 1, 1, 1, 0}));

        // Question 1: A A D C, right 2; q2: B B B B, 4; q3: C C C -, 3
        // (the unanswered one is no wrong answer anybody chose); q4:
        // D A A A, 1, with A the common wrong answer.
        const QList<TQuestionStats> q = questionStats(read.records, rows);
        QCOMPARE(q.size(), 4);
        QCOMPARE(q[0].number, 4);
        QCOMPARE(q[0].right, 1);
        QCOMPARE(q[0].share, 0.25);
        QCOMPARE(q[0].commonWrong, QStringLiteral("A"));
        QCOMPARE(q[0].commonWrongCount, 3);
        QCOMPARE(q[0].correct, QStringLiteral("D"));
        QCOMPARE(q[1].number, 1);
        QCOMPARE(q[1].commonWrong, QStringLiteral("C")); // C and D once each: the first
        QCOMPARE(q[2].number, 3);
        QCOMPARE(q[2].share, 0.75);
        QCOMPARE(q[2].commonWrong, QString());
        QCOMPARE(q[3].number, 2);
        QCOMPARE(q[3].share, 1.0);

        // Filters: the kind, a day, a part of a name in any letter case.
        TFilter byDay;
        byDay.from = byDay.to = QDate(2026, 12, 7);
        QCOMPARE(filtered(read.records, byDay).size(), 4);
        TFilter byPupil;
        byPupil.pupil = QStringLiteral("adámk");
        QCOMPARE(filtered(read.records, byPupil).size(), 3);
        TFilter byKind;
        byKind.kind = QStringLiteral("Dějepis");
        QCOMPARE(filtered(read.records, byKind).size(), 0);

        // Sorting the Czech way: Č after C, Š after S, Ž last.
        QList<int> all = filtered(read.records, TFilter {});
        sortBy(all, read.records, Column::Pupil);
        QStringList names;
        for (int i : all)
            names << read.records[i].record.pupil();
        QCOMPARE(names, (QStringList {"Anna Adámková", "Anna Adámková", "Anna Adámková", "Cyril Bureš", "Šimon Čech",
                                      "Žofie Malá; \"Žofka\""}));
        sortBy(rows, read.records, Column::Percent, true);
        QStringList percents;
        for (int i : rows)
            percents << cellText(read.records[i], Column::Percent);
        QCOMPARE(percents, (QStringList {"100", "75", "50", "25", ""}));

        // The export: a byte-order mark, ";" between fields, and what it
        // shows read back exactly, the quoted name included.
        const QByteArray csv = toCsv(read.records, rows);
        QVERIFY(csv.startsWith("\xEF\xBB\xBF"));
        const QList<QStringList> back = parseCsv(csv);
        QCOMPARE(back.size(), rows.size() + 1);
        QCOMPARE(back[0].size(), ColumnCount);
        QCOMPARE(back[0][int(Column::Pupil)], QStringLiteral("Žák"));
        for (int line = 0; line < rows.size(); ++line)
            for (int c = 0; c < ColumnCount; ++c)
                QCOMPARE(back[line + 1][c], cellText(read.records[rows[line]], Column(c)));
        QCOMPARE(back[4][int(Column::Pupil)], QStringLiteral("Žofie Malá; \"Žofka\""));
        QCOMPARE(back[5][int(Column::Grade)], QStringLiteral("nedokončen"));
    }

    // Anybody who may write into the folder may write a record naming
    // another: a record whose file is not owned by the account it names is
    // marked.  Files that are no record are named as problems; files still
    // being written are passed over.
    void forgedAndDamagedRecords()
    {
        QTemporaryDir dir;
        const QDateTime when(QDate(2026, 12, 7), QTime(10, 0));
        TResultRecord own = taken(QStringLiteral("Já"), QStringLiteral("mapa.dbf"), QStringLiteral("A"),
                                  QStringLiteral("A"), when);
        QVERIFY(!writeRecord(dir.path(), own).isEmpty());
        // Written by this account, naming the account of uid 1.
        TResultRecord forged = own;
        forged.login = QStringLiteral("1");
        forged.uid = 1;
        QVERIFY(!writeRecord(dir.path(), forged).isEmpty());
        // Naming this account, written by another one.
        const QString given = writeRecord(dir.path(), own);
        QVERIFY(!given.isEmpty());
        if (::getuid() == 0)
            QCOMPARE(::chown(QFile::encodeName(given).constData(), 4321, 4321), 0);

        QFile damaged(dir.filePath(QStringLiteral("zz-damaged.json")));
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        damaged.write("{\"format\": \"vedomec-vysledek\", \"login\": ");
        damaged.close();
        QFile part(dir.filePath(QStringLiteral(".zz-half.json.part")));
        QVERIFY(part.open(QIODevice::WriteOnly));
        part.write("{\"format\"");
        part.close();

        const TFolderContents read = readRecords(dir.path());
        QCOMPARE(read.problems.size(), 1);
        QVERIFY(read.problems[0].startsWith(QLatin1String("zz-damaged.json: ")));
        int trusted = 0;
        for (const TStoredRecord& s : read.records) {
            if (s.path == given && ::getuid() == 0)
                QVERIFY(!s.trusted);
            if (s.record.login == QLatin1String("1"))
                QVERIFY(!s.trusted);
            trusted += s.trusted;
            QCOMPARE(cellText(s, Column::Trust), s.trusted ? QStringLiteral("ano")
                                                          : QStringLiteral("NE – soubor patří jinému účtu"));
        }
        QCOMPARE(read.records.size(), 3);
        QCOMPARE(trusted, ::getuid() == 0 ? 1 : 2);
    }

    // Every write and flush of a record fails in turn, or the process dies
    // there: the folder then holds the whole record or none, and never a
    // part of one under a record's name.
    void recordIsWholeOrAbsent()
    {
        const TResultRecord r = taken(QStringLiteral("Eva Nová"), QStringLiteral("mapa.dbf"), QStringLiteral("ABCD"),
                                      QStringLiteral("ABCD"), QDateTime(QDate(2026, 12, 7), QTime(11, 0)));
        int operations = 0;
        {
            QTemporaryDir dir;
            WriteFaults count(1000, WriteFaults::Kind::Io);
            QVERIFY(!writeRecord(dir.path(), r).isEmpty());
            operations = count.operations();
        }
        QVERIFY(operations >= 2);
        for (int n = 1; n <= operations; ++n) {
            for (auto kind : {WriteFaults::Kind::Io, WriteFaults::Kind::FullDisk}) {
                QTemporaryDir dir;
                QString error;
                {
                    WriteFaults fault(n, kind);
                    QVERIFY(writeRecord(dir.path(), r, &error).isEmpty());
                }
                QVERIFY2(error.contains(kind == WriteFaults::Kind::FullDisk ? QStringLiteral("není místo")
                                                                             : QStringLiteral("Výsledek nejde uložit")),
                         qPrintable(error));
                QCOMPARE(files(dir.path()), QStringList());
            }
            for (bool partly : {false, true}) {
                QTemporaryDir dir;
                const int status = inChild([&] {
                    DeathAtWrite death(n, partly);
                    writeRecord(dir.path(), r);
                    death.finish();
                });
                QCOMPARE(status, -SIGKILL);
                const TFolderContents read = readRecords(dir.path());
                QCOMPARE(read.problems, QStringList());
                QCOMPARE(read.records.size(), 0);
            }
        }
        // Killed after the last flush: the record is whole.
        QTemporaryDir dir;
        QCOMPARE(inChild([&] {
                     writeRecord(dir.path(), r);
                     ::raise(SIGKILL);
                 }),
                 -SIGKILL);
        const TFolderContents read = readRecords(dir.path());
        QCOMPARE(read.records.size(), 1);
        QCOMPARE(read.records[0].record.answers.size(), 4);
        QCOMPARE(read.records[0].record.grade, QStringLiteral("1 - výborný"));
    }

    // A pupil may write into a class's folder but not list or read it
    // (mode 1733): his record arrives all the same, and a missing folder is
    // named in the error.
    void pupilWritesIntoAFolderHeCannotRead()
    {
        if (::getuid() != 0)
            QSKIP("needs to act as another account");
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("Vysledky"));
        QVERIFY(QDir().mkdir(folder));
        QCOMPARE(::chmod(QFile::encodeName(folder).constData(), 01733), 0);
        QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0755) == 0);
        const int status = inChild([&] {
            if (::setgid(4321) != 0 || ::setuid(4321) != 0)
                ::_exit(5);
            if (QDir(folder).entryList(QDir::Files).size() != 0 || ::access(QFile::encodeName(folder).constData(), R_OK) == 0)
                ::_exit(6); // the folder could be read after all
            TResultRecord r = taken(QStringLiteral("Eva"), QStringLiteral("mapa.dbf"), QStringLiteral("AB"),
                                    QStringLiteral("AB"), QDateTime(QDate(2026, 12, 7), QTime(12, 0)));
            r.login = QStringLiteral("4321");
            r.uid = 4321;
            QString error;
            if (writeRecord(folder, r, &error).isEmpty())
                ::_exit(7);
            if (!writeRecord(dir.filePath(QStringLiteral("chybi")), r, &error).isEmpty()
                || !error.contains(QStringLiteral("neexistuje")))
                ::_exit(8);
        });
        QCOMPARE(status, 0);
        const TFolderContents read = readRecords(folder);
        QCOMPARE(read.records.size(), 1);
        QVERIFY(read.records[0].trusted);
        QCOMPARE(read.records[0].ownerUid, qint64(4321));
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(read.records[0].path).constData(), &st), 0);
        QCOMPARE(int(st.st_mode & 0777), 0640);
    }
};

QTEST_GUILESS_MAIN(TestGradebook)
#include "tst_gradebook.moc"
