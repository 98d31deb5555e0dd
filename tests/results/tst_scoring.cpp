#include "results/Scoring.h"

#include <QTest>

using namespace vedomec::results;

namespace {

// n type A questions whose correct answer is "A", the first r answered right
// and the rest answered "B".
QList<AnswerRow> rowsA(int n, int r)
{
    QList<AnswerRow> rows;
    for (int i = 0; i < n; ++i)
        rows.append({QStringLiteral("A"), i < r ? QStringLiteral("A") : QStringLiteral("B")});
    return rows;
}

} // namespace

class TestScoring : public QObject {
    Q_OBJECT
private slots:
    void grading_data()
    {
        QTest::addColumn<int>("n");
        QTest::addColumn<int>("r");
        QTest::addColumn<QString>("percent");
        QTest::addColumn<int>("bar");
        QTest::addColumn<QString>("grade");
        QTest::addColumn<QString>("wrongList");

        QTest::newRow("4/4") << 4 << 4 << "100" << 400 << "1 - výborný" << "";
        QTest::newRow("3/4") << 4 << 3 << "75" << 300 << "2 - chvalitebný" << "4";
        QTest::newRow("2/4") << 4 << 2 << "50" << 200 << "3 - dobrý" << "3, 4";
        QTest::newRow("1/4") << 4 << 1 << "25" << 100 << "4 - dostatečný" << "2, 3, 4";
        QTest::newRow("0/4") << 4 << 0 << "0" << 0 << "5 - nedostatečný" << "1, 2, 3, 4";
        QTest::newRow("5/8 half to even down") << 8 << 5 << "62" << 250 << "3 - dobrý" << "6, 7, 8";
        QTest::newRow("7/8 half to even up") << 8 << 7 << "88" << 350 << "2 - chvalitebný" << "8";
        QTest::newRow("2/3") << 3 << 2 << "67" << 267 << "3 - dobrý" << "3";
        QTest::newRow("3/6 equal right and wrong") << 6 << 3 << "50" << 200 << "3 - dobrý" << "4, 5, 6";
    }

    void grading()
    {
        QFETCH(int, n);
        QFETCH(int, r);
        const Outcome o = Evaluate(rowsA(n, r), TestType::A, EvalMode::ResultsCommand);
        QVERIFY(o.complete);
        QCOMPARE(o.n, n);
        QCOMPARE(o.r, r);
        QCOMPARE(o.wrong, n - r);
        QTEST(o.percentText, "percent");
        QTEST(o.barWidth, "bar");
        QTEST(o.grade, "grade");
        QTEST(o.wrongList, "wrongList");
    }

    void largeTestsRoundButGradeOnTheExactPercentage()
    {
        // 74.5 rounds to 74 and stays grade 3.
        Outcome o = Evaluate(rowsA(200, 149), TestType::A, EvalMode::ResultsCommand);
        QCOMPARE(o.percentText, QStringLiteral("74"));
        QCOMPARE(o.barWidth, 298);
        QCOMPARE(o.grade, QStringLiteral("3 - dobrý"));
        QCOMPARE(o.wrong, 51);

        // 99.75 shows as 100 but is not every question right.
        o = Evaluate(rowsA(400, 399), TestType::A, EvalMode::ResultsCommand);
        QCOMPARE(o.percentText, QStringLiteral("100"));
        QCOMPARE(o.barWidth, 399);
        QCOMPARE(o.grade, QStringLiteral("2 - chvalitebný"));
        QCOMPARE(o.wrongList, QStringLiteral("400"));
    }

    void halfRightIsGradedAsHalf()
    {
        // (100 / 194) * 97 is 49.999... in floating point; the pupil still
        // has exactly half right, as with 2 of 4.
        Outcome o = Evaluate(rowsA(194, 97), TestType::A, EvalMode::ResultsCommand);
        QCOMPARE(o.percentText, QStringLiteral("50"));
        QCOMPARE(o.barWidth, 200);
        QCOMPARE(o.grade, QStringLiteral("3 - dobrý"));
        // 12.5 rounds to the even 12; the bar is exactly 50.
        o = Evaluate(rowsA(8, 1), TestType::A, EvalMode::ResultsCommand);
        QCOMPARE(o.percentText, QStringLiteral("12"));
        QCOMPARE(o.barWidth, 50);
        QCOMPARE(o.grade, QStringLiteral("5 - nedostatečný"));
    }

    // For every n up to 1000 and r at each band edge (and one below it) the
    // grade follows the exact percentage 100 r / n, and the shown percentage
    // and bar are the nearest whole numbers, halves to even.
    void bandEdgesForEveryTestSize()
    {
        const char* grades[] = {"5 - nedostatečný", "4 - dostatečný", "3 - dobrý", "2 - chvalitebný"};
        auto expectedGrade = [&](qint64 r, qint64 n) {
            int band = 0;
            for (int b : {25, 50, 75})
                if (100 * r >= b * n) // exact: r / n >= b / 100
                    ++band;
            return QString::fromUtf8(grades[band]);
        };
        // Whether q is the nearest whole number to num / den, halves to even.
        auto nearest = [](qint64 q, qint64 num, qint64 den) {
            const qint64 off = 2 * (num - q * den); // 2 (num/den - q), in units of 1/den
            if (off == den || off == -den)
                return q % 2 == 0;
            return off < den && off > -den;
        };
        for (int n = 1; n <= 1000; ++n) {
            QList<int> rs;
            for (int b : {25, 50, 75}) {
                const int edge = int((qint64(b) * n + 99) / 100); // smallest r with 100 r >= b n
                rs << edge << edge - 1;
            }
            rs << n - 1;
            for (int r : rs) {
                if (r < 0 || r >= n)
                    continue;
                const Outcome o = Evaluate(rowsA(n, r), TestType::A, EvalMode::ResultsCommand);
                const QByteArray where = QByteArray::number(r) + " of " + QByteArray::number(n);
                QVERIFY2(o.grade == expectedGrade(r, n), where.constData());
                QVERIFY2(nearest(o.percentText.toLongLong(), 100 * qint64(r), n), where.constData());
                QVERIFY2(nearest(o.barWidth, 400 * qint64(r), n), where.constData());
            }
        }
    }

    void gradeBoundaries()
    {
        QCOMPARE(GradeText(99999, 100000), QStringLiteral("2 - chvalitebný"));
        QCOMPARE(GradeText(3, 4), QStringLiteral("2 - chvalitebný"));
        QCOMPARE(GradeText(74999, 100000), QStringLiteral("3 - dobrý"));
        QCOMPARE(GradeText(1, 2), QStringLiteral("3 - dobrý"));
        QCOMPARE(GradeText(97, 194), QStringLiteral("3 - dobrý"));
        QCOMPARE(GradeText(96, 194), QStringLiteral("4 - dostatečný"));
        QCOMPARE(GradeText(1, 4), QStringLiteral("4 - dostatečný"));
        QCOMPARE(GradeText(24999, 100000), QStringLiteral("5 - nedostatečný"));
        QCOMPARE(GradeText(0, 4), QStringLiteral("5 - nedostatečný"));
        QVERIFY(GradeText(4, 4).isEmpty());
        QVERIFY(GradeText(6, 4).isEmpty());
    }

    void roundingHalfToEven()
    {
        QCOMPARE(RoundHalfEven(500, 8), qint64(62));  // 62.5
        QCOMPARE(RoundHalfEven(700, 8), qint64(88));  // 87.5
        QCOMPARE(RoundHalfEven(1, 2), qint64(0));
        QCOMPARE(RoundHalfEven(3, 2), qint64(2));
        QCOMPARE(RoundHalfEven(800, 3), qint64(267)); // 266.67
        QCOMPARE(RoundHalfEven(7449, 100), qint64(74));
        QCOMPARE(RoundHalfEven(9700, 194), qint64(50));
        QCOMPARE(RoundHalfEven(39900, 400), qint64(100)); // 99.75
        QCOMPARE(RoundHalfEven(0, 7), qint64(0));
        QCOMPARE(RoundHalfEven(400, 1), qint64(400));
    }

    void correctListPerType()
    {
        Outcome o = Evaluate({{"A", "A"}, {"c", "C"}, {"D", "b"}}, TestType::A, EvalMode::ResultsCommand);
        QCOMPARE(o.correctList, QStringLiteral("1A, 2C, 3D"));
        QCOMPARE(o.wrongList, QStringLiteral("3"));
        QCOMPARE(o.r, 2);

        // Type B: the stored "Ano" matches "ANO" and "ano".
        o = Evaluate({{"ANO", "Ano"}, {"NE", "Ne"}, {"ano", "Ne"}}, TestType::B, EvalMode::ResultsCommand);
        QCOMPARE(o.correctList, QStringLiteral("1ANO, 2NE, 3ANO"));
        QCOMPARE(o.r, 2);
        QCOMPARE(o.wrongList, QStringLiteral("3"));

        // Type C compares exactly but lists the expected text upper-cased.
        o = Evaluate({{"Praha", "praha"}, {"Brno", "Brno"}}, TestType::C, EvalMode::ResultsCommand);
        QCOMPARE(o.correctList, QStringLiteral("1PRAHA, 2BRNO"));
        QCOMPARE(o.wrongList, QStringLiteral("1"));
        QCOMPARE(o.r, 1);
    }

    void upperCasingTouchesOnlyAtoZ()
    {
        QCOMPARE(UpperAscii(QStringLiteral("žluťoučký kůň")), QStringLiteral("žLUťOUčKý Kůň"));
        QVERIFY(!AnswerIsRight(TestType::A, QStringLiteral("č"), QStringLiteral("Č")));
        QVERIFY(AnswerIsRight(TestType::B, QStringLiteral("ne"), QStringLiteral("NE")));
        QVERIFY(!AnswerIsRight(TestType::C, QStringLiteral("Plzeň"), QStringLiteral("PLZEŇ")));
        // The correct list of type C keeps accented capitals as they are.
        const Outcome o = Evaluate({{"Plzeň", "Plzeň"}}, TestType::C, EvalMode::ResultsCommand);
        QCOMPARE(o.correctList, QStringLiteral("1PLZEň"));
    }

    void resultsCommandStopsAtTheFirstUnanswered()
    {
        QList<AnswerRow> rows = rowsA(5, 5);
        rows[2].odpoved.clear();
        rows[3].odpoved.clear();
        const Outcome o = Evaluate(rows, TestType::A, EvalMode::ResultsCommand);
        QVERIFY(!o.complete);
        QCOMPARE(o.unansweredRow, 3);
        QCOMPARE(o.n, 2);
    }

    void expiryCountsUnansweredAsWrong()
    {
        QList<AnswerRow> rows = rowsA(5, 5);
        rows[1].odpoved.clear();
        rows[3].odpoved.clear();
        Outcome o = Evaluate(rows, TestType::A, EvalMode::TimeExpiry);
        QVERIFY(o.complete);
        QCOMPARE(o.r, 3);
        QCOMPARE(o.wrongList, QStringLiteral("2, 4"));
        QCOMPARE(o.percentText, QStringLiteral("60"));
        QCOMPARE(o.grade, QStringLiteral("3 - dobrý"));

        // An empty answer against an empty expected text matches.
        o = Evaluate({{"", ""}, {"X", ""}}, TestType::C, EvalMode::TimeExpiry);
        QCOMPARE(o.r, 1);
        QCOMPARE(o.correctList, QStringLiteral("1, 2X"));
        QCOMPARE(o.wrongList, QStringLiteral("2"));
    }

    void aTestWithoutRowsScoresNothing()
    {
        const Outcome o = Evaluate({}, TestType::A, EvalMode::TimeExpiry);
        QVERIFY(o.complete);
        QCOMPARE(o.percentText, QStringLiteral("0"));
        QCOMPARE(o.barWidth, 0);
        QCOMPARE(o.grade, QStringLiteral("5 - nedostatečný"));
        QVERIFY(!Evaluate({}, TestType::A, EvalMode::ResultsCommand).unansweredRow);
    }

    void allowedTime_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("seconds"); // -1: no limit
        QTest::newRow("30 s") << "0:00:30" << qint64(30);
        QTest::newRow("ten hours") << "10:00:00" << qint64(36000);
        QTest::newRow("75 minutes") << "0:75:00" << qint64(4500);
        QTest::newRow("a day") << "24:00:00" << qint64(86400);
        QTest::newRow("100 hours") << "100:00:05" << qint64(360005);
        QTest::newRow("1:05:00") << "1:05:00" << qint64(3900);
        QTest::newRow("no limit") << "neomezeno" << qint64(-1);
        QTest::newRow("null fields") << "::" << qint64(-1);
        QTest::newRow("one null field") << "1::30" << qint64(-1);
        QTest::newRow("negative") << "-1:00:00" << qint64(-1);
        QTest::newRow("empty") << "" << qint64(-1);
        QTest::newRow("four parts") << "1:2:3:4" << qint64(-1);
        QTest::newRow("letters") << "1:0a:00" << qint64(-1);
    }

    void allowedTime()
    {
        QFETCH(QString, text);
        QFETCH(qint64, seconds);
        const std::optional<qint64> got = AllowedSeconds(text);
        if (seconds < 0)
            QVERIFY(!got);
        else
            QCOMPARE(got.value_or(-1), seconds);
    }

    void expiryComparesRealElapsedSeconds()
    {
        QVERIFY(!TimeExpired(29, QStringLiteral("0:00:30")));
        QVERIFY(TimeExpired(30, QStringLiteral("0:00:30")));
        QVERIFY(TimeExpired(31, QStringLiteral("0:00:30")));
        // Elapsed text of two hours reads "2:00:00", which sorts after
        // "10:00:00"; the seconds do not.
        QVERIFY(!TimeExpired(2 * 3600, QStringLiteral("10:00:00")));
        QVERIFY(!TimeExpired(36000 - 1, QStringLiteral("10:00:00")));
        QVERIFY(TimeExpired(36000, QStringLiteral("10:00:00")));
        QVERIFY(!TimeExpired(4499, QStringLiteral("0:75:00")));
        QVERIFY(TimeExpired(4500, QStringLiteral("0:75:00")));
        // A limit of a day or more still expires, although the elapsed text
        // wraps at 24 hours.
        QVERIFY(!TimeExpired(86399, QStringLiteral("24:00:00")));
        QVERIFY(TimeExpired(86400, QStringLiteral("24:00:00")));
        QVERIFY(TimeExpired(200000, QStringLiteral("48:00:00")));
        QVERIFY(!TimeExpired(1'000'000, QStringLiteral("neomezeno")));
        QVERIFY(!TimeExpired(1'000'000, QStringLiteral("::")));
    }
};

QTEST_APPLESS_MAIN(TestScoring)
#include "tst_scoring.moc"
