// The queue and the destination listing without a window: what the queue keeps through adds and
// removals, and that a listing told of placed files equals a fresh reading of the folder.

#include "core/models/ConversionQueue.h"
#include "core/models/DestinationListing.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

void makeFile(const QString& path, qint64 size = 0) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.resize(size));
}

using Order = core::DestinationListing::Order;

QStringList freshNames(const QString& folder, Order order) {
    core::DestinationListing fresh;
    fresh.load(folder, order);
    return fresh.names();
}

} // namespace

class TestModels : public QObject {
    Q_OBJECT

  private slots:
    void queueKeepsOrderAndTotals() {
        QTemporaryDir dir;
        const QString a = dir.filePath(QStringLiteral("a.mp3")), b = dir.filePath(QStringLiteral("b.mp3"));
        const QString wide = dir.filePath(QStringLiteral("とても長い名前の曲.mp3"));
        makeFile(a, 1000);
        makeFile(b, 20);
        makeFile(wide, 300);
        core::ConversionQueue queue;
        QSignalSpy added(&queue, &core::ConversionQueue::added);
        QSignalSpy reset(&queue, &core::ConversionQueue::reset);

        QVERIFY(queue.add(wide) && queue.add(a) && queue.add(b));
        QVERIFY(!queue.add(a));                                       // each path once
        QVERIFY(!queue.contains(a.toUpper()));                        // exact comparison
        QVERIFY(queue.add(dir.filePath(QStringLiteral("gone.mp3")))); // a missing file counts 0 bytes
        QCOMPARE(added.count(), 4);
        QCOMPARE(queue.bytes(), 1320);

        // Taking out keeps the others' order.
        queue.removeRows({0, 2});
        QCOMPARE(queue.paths(), (QStringList{a, dir.filePath(QStringLiteral("gone.mp3"))}));
        QCOMPARE(queue.bytes(), 1000);
        QVERIFY(!queue.contains(wide));
        QVERIFY(queue.add(wide));

        // Taking out the last entries empties the queue completely.
        queue.removeRows({0, 1, 2});
        QCOMPARE(queue.count(), 0);
        QCOMPARE(queue.bytes(), 0);
        QCOMPARE(reset.count(), 2);
    }

    void placedFilesListAsAFreshReading_data() {
        QTest::addColumn<Order>("order");
        QTest::newRow("by name") << Order::ByName;
        QTest::newRow("by date") << Order::ByDate;
    }
    void placedFilesListAsAFreshReading() {
        QFETCH(Order, order);
        QTemporaryDir dir;
        for (const char* name : {"b.mp3", "D.MP3", "f.mp3"})
            makeFile(dir.filePath(QString::fromLatin1(name)));
        core::DestinationListing listing;
        listing.load(dir.path() + QLatin1Char('/'), order);
        QCOMPARE(listing.count(), 3);

        // New files among the old ones, one replacing an old file (a new file, a new creation time), and
        // names a fresh reading leaves out.
        for (const char* name : {"a.mp3", "C.mp3", "e.MP3"}) {
            makeFile(dir.filePath(QString::fromLatin1(name)));
            listing.addPlaced(QString::fromLatin1(name));
        }
        QFile::remove(dir.filePath(QStringLiteral("b.mp3")));
        makeFile(dir.filePath(QStringLiteral("b.mp3")), 10);
        listing.addPlaced(QStringLiteral("b.mp3"));
        makeFile(dir.filePath(QStringLiteral(".hidden.mp3")));
        listing.addPlaced(QStringLiteral(".hidden.mp3"));
        listing.addPlaced(QStringLiteral("never-written.mp3"));

        QCOMPARE(listing.names(), freshNames(dir.path(), order));
        QCOMPARE(listing.count(), 6);
    }
};

QTEST_GUILESS_MAIN(TestModels)
#include "tst_models.moc"
