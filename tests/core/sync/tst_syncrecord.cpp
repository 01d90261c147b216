// The record an output carries of its making, and the content hash behind it.
#include "core/sync/SyncRecord.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestSyncRecord : public QObject {
    Q_OBJECT

  private slots:
    void recordRoundTripsAndRefusesOthers() {
        core::SyncRecord record;
        record.sourceSize = 5'000'000'000;
        record.sourceModifiedMs = 1'700'000'000'123;
        record.sourceHash = QStringLiteral("0123abcd");
        record.settings = QStringLiteral("b=128 m=joint no-upscale");
        record.copied = true;
        QCOMPARE(core::SyncRecord::parse(record.text()), record);
        // Records of earlier versions have no sum, and they read and write as they were.
        const QString older = record.text();
        QVERIFY(!older.contains(QStringLiteral("sum=")));
        record.sourceSum = QStringLiteral("89ef");
        QCOMPARE(core::SyncRecord::parse(record.text()), record);
        QVERIFY(record.text().startsWith(older.section(QStringLiteral(" copied="), 0, 0) +
                                         QStringLiteral(" sum=89ef ")));
        for (const char* text :
             {"", "1 size=1 mtime=2 hash=ab copied=0", "2 size=1 mtime=2 hash=ab copied=0 settings=x",
              "1 size=x mtime=2 hash=ab copied=0 settings=x", "1 size=1 hash=ab copied=0 settings=x",
              "1 size=1 mtime=2 hash= copied=0 settings=x"})
            QVERIFY2(!core::SyncRecord::parse(QString::fromLatin1(text)), text);
    }

    // The hash sees the tag (however large), the start and the end of the audio.
    void contentHashSeesTagsAndBothEnds() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("f.mp3"));
        // An ID3v2 tag of 100,000 bytes (synchsafe 99,990) in front of 300,000 bytes of "audio".
        QByteArray tag("ID3\x03\x00\x00", 6);
        tag += QByteArray("\x00\x06\x0d\x16", 4);
        tag += QByteArray(99990, 'T');
        QByteArray audio(300000, 'a');
        const auto hashOf = [&](const QByteArray& bytes) {
            QFile file(path);
            file.open(QIODevice::WriteOnly);
            file.write(bytes);
            file.close();
            return core::contentHash(path).valueOr(QString());
        };
        const QString original = hashOf(tag + audio);
        QVERIFY(!original.isEmpty());
        QCOMPARE(hashOf(tag + audio), original);
        for (const qsizetype at : {qsizetype(50), qsizetype(100000 + 10), qsizetype(100000 + 299990)}) {
            QByteArray changed = tag + audio;
            changed[at] = 'x';
            QVERIFY2(hashOf(changed) != original, qPrintable(QString::number(at)));
        }
    }
};

QTEST_GUILESS_MAIN(TestSyncRecord)
#include "tst_syncrecord.moc"
