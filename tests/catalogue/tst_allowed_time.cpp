#include "catalogue/AllowedTime.h"

#include <QTest>

using namespace vedomec;

class TestAllowedTime : public QObject {
    Q_OBJECT
private slots:
    void text_data()
    {
        QTest::addColumn<QString>("h");
        QTest::addColumn<QString>("m");
        QTest::addColumn<QString>("s");
        QTest::addColumn<QString>("expected");
        QTest::newRow("1,5,0") << "1" << "5" << "0" << "1:05:00";
        QTest::newRow("0,0,0 no limit") << "0" << "0" << "0" << "neomezeno";
        QTest::newRow("0,30,0") << "0" << "30" << "0" << "0:30:00";
        QTest::newRow("12,0,9") << "12" << "0" << "9" << "12:00:09";
        QTest::newRow("2,15,7") << "2" << "15" << "7" << "2:15:07";
        QTest::newRow("minutes 75 unchanged") << "0" << "75" << "0" << "0:75:00";
        QTest::newRow("1,60,0") << "1" << "60" << "0" << "1:60:00";
        QTest::newRow("all null") << "" << "" << "" << "::";
        QTest::newRow("hours null") << "" << "0" << "0" << ":00:00";
        QTest::newRow("hours never padded") << "0" << "1" << "0" << "0:01:00";
        QTest::newRow("negative kept") << "-1" << "-5" << "0" << "-1:-5:00";
        QTest::newRow("10 not padded") << "0" << "10" << "10" << "0:10:10";
        QTest::newRow("00:00:00 is a limit text") << "00" << "0" << "0" << "00:00:00";
    }
    void text()
    {
        QFETCH(QString, h);
        QFETCH(QString, m);
        QFETCH(QString, s);
        QFETCH(QString, expected);
        QCOMPARE(AllowedTimeText(h, m, s), expected);
    }
};

QTEST_GUILESS_MAIN(TestAllowedTime)
#include "tst_allowed_time.moc"
