// The percentage shown while a file converts.

#include "core/convert/Progress.h"

#include <QtTest>

class TestProgress : public QObject {
    Q_OBJECT

  private slots:
    void halfPercent_data() {
        QTest::addColumn<double>("part");
        QTest::addColumn<double>("whole");
        QTest::addColumn<double>("offset");
        QTest::addColumn<int>("expected");
        QTest::newRow("start of decoding") << 0.0 << 1000.0 << 0.0 << 0;
        QTest::newRow("end of decoding") << 1000.0 << 1000.0 << 0.0 << 50;
        QTest::newRow("half to even, down") << 1.0 << 200.0 << 0.0 << 0;       // 0.25 -> 0
        QTest::newRow("exactly half, even below") << 5.0 << 100.0 << 0.0 << 2; // 2.5 -> 2
        QTest::newRow("exactly half, even above") << 7.0 << 100.0 << 0.0 << 4; // 3.5 -> 4
        QTest::newRow("encoding starts at fifty") << 0.0 << 400.0 << 50.0 << 50;
        QTest::newRow("last encoded frame") << 399.0 << 400.0 << 50.0 << 100;   // 99.875
        QTest::newRow("past the frame count") << 420.0 << 400.0 << 50.0 << 102; // 102.5
    }
    void halfPercent() {
        QFETCH(double, part);
        QFETCH(double, whole);
        QFETCH(double, offset);
        QFETCH(int, expected);
        QCOMPARE(::halfPercent(part, whole, offset), expected);
    }

    void impossiblePercentagesFail() {
        QVERIFY_THROWS_EXCEPTION(ConversionFault, ::halfPercent(10, 0, 0));
        QVERIFY_THROWS_EXCEPTION(ConversionFault, ::halfPercent(1e12, 1, 0));
        QVERIFY_THROWS_EXCEPTION(ConversionFault, ::halfPercent(-1e12, 1, 0));
    }
};

QTEST_MAIN(TestProgress)
#include "tst_progress.moc"
