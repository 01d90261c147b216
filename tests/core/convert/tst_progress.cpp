// The percentage shown while a file converts: decoding fills the first half, encoding the second, the
// number never goes backwards, and it reaches 100 with the last frame.

#include "core/convert/Progress.h"

#include <QtTest>
#include <cmath>

namespace {

// What the bar shows over one file: each decoded position out of `samples`, then each encoded frame out
// of `frames` (the call that completes the file comes after the last of them), as the conversion reports
// them.
QList<int> shownOverOneFile(int samples, int sampleStep, int frames) {
    QList<int> shown;
    for (int position = 0; position <= samples; position += sampleStep)
        shown << core::halfPercent(position, samples, 0);
    for (int done = 0; done <= frames; ++done)
        shown << core::halfPercent(done, frames, 50);
    return shown;
}

} // namespace

class TestProgress : public QObject {
    Q_OBJECT

  private slots:
    void oneFileFillsTheBarInOrder_data() {
        QTest::addColumn<int>("samples");
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("frames");
        QTest::newRow("short song") << 44100 << 1152 << 38;
        QTest::newRow("long song, coarse polls") << 44100 * 600 << 44100 << 22968;
        QTest::newRow("a single frame") << 1152 << 1152 << 1;
        QTest::newRow("odd counts") << 999 << 7 << 7;
    }
    void oneFileFillsTheBarInOrder() {
        QFETCH(int, samples);
        QFETCH(int, step);
        QFETCH(int, frames);
        const QList<int> shown = shownOverOneFile(samples, step, frames);
        QCOMPARE(shown.first(), 0);
        QVERIFY(std::is_sorted(shown.cbegin(), shown.cend()));
        const qsizetype decoded = shown.size() - frames - 1;
        // Decoding ends exactly at the half way mark, and encoding starts there.
        if (samples % step == 0)
            QCOMPARE(shown.at(decoded - 1), 50);
        QVERIFY(shown.at(decoded - 1) <= 50);
        QCOMPARE(shown.at(decoded), 50);
        // 100 comes with the end of the file, and before it only within the last percent of the frames.
        QCOMPARE(shown.last(), 100);
        const qsizetype firstFull = shown.indexOf(100) - decoded;
        QVERIFY2(firstFull >= frames - frames / 100 - 1, qPrintable(QString::number(firstFull)));
    }

    // Every value is the nearest whole percent; an exact half goes to the even neighbour, as the bar of
    // the program has always rounded.
    void roundsToNearestHalvesToEven() {
        for (int whole : {7, 100, 200, 400, 1152}) {
            for (int part = 0; part <= whole; ++part) {
                for (double offset : {0.0, 50.0}) {
                    const double exact = double(part) / whole * 100.0 / 2.0 + offset;
                    const int shown = core::halfPercent(part, whole, offset);
                    const double off = shown - exact;
                    QVERIFY2(std::abs(off) <= 0.5 + 1e-9,
                             qPrintable(QStringLiteral("%1/%2").arg(part).arg(whole)));
                    if (std::abs(std::abs(off) - 0.5) < 1e-9)
                        QVERIFY2(shown % 2 == 0, qPrintable(QStringLiteral("%1/%2").arg(part).arg(whole)));
                }
            }
        }
    }

    void impossiblePercentagesFail() {
        QVERIFY_THROWS_EXCEPTION(ConversionFault, static_cast<void>(core::halfPercent(10, 0, 0)));
        QVERIFY_THROWS_EXCEPTION(ConversionFault, static_cast<void>(core::halfPercent(1e12, 1, 0)));
        QVERIFY_THROWS_EXCEPTION(ConversionFault, static_cast<void>(core::halfPercent(-1e12, 1, 0)));
    }
};

QTEST_MAIN(TestProgress)
#include "tst_progress.moc"
