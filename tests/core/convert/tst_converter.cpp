// The conversion core without a window: each way a file's conversion ends, that no work file outlives a
// failure, and that a failed write names its cause.

#include "codecs/encoder.h"
#include "codecs/functions.h"
#include "core/convert/Converter.h"
#include "core/convert/OutcomeText.h"
#include "mp3_fixtures.h"

#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>
#include <unistd.h>

namespace {

codecs::EncoderFunctions realEncoder;
// The encoder fails its write half-way through, as on a full disk: MP3Temp.tmp exists, partly written.
int framesBeforeFailure = 0;
int32_t writeFailsHalfWay() {
    const int32_t result = realEncoder.processFrame();
    return --framesBeforeFailure > 0 ? result : ME_WRITE_ERROR;
}

// An older encoder that does not know the VBR item, and one that cannot tell its frame count.
int32_t refusesVbrItem(int32_t item, int32_t number, const char* text) {
    return item == codecs::Encoder::VbrQuality ? ME_BAD_ITEM : realEncoder.setConfigure(item, number, text);
}
int32_t tellsNoFrameCount(int32_t, int32_t*) {
    return ME_NOT_READY;
}

struct CancellingSink : core::ConversionSink {
    int cancelAtPercent = -1; // -1: never; 0: at the first poll
    QList<int> percents;
    QString songText;
    void decoding(const QString& text) override { songText = text; }
    void progress(int percent) override { percents << percent; }
    bool cancelRequested() override {
        return cancelAtPercent == 0 ||
               (cancelAtPercent > 0 && !percents.isEmpty() && percents.last() >= cancelAtPercent);
    }
};

struct Folders {
    QTemporaryDir root;
    QString source = root.filePath(QStringLiteral("元.mp3"));
    QString work = root.filePath(QStringLiteral("作業"));
    QString destination = root.filePath(QStringLiteral("先.mp3"));
    Folders() { QDir().mkpath(work); }
    core::ConversionJob job() const {
        core::ConversionJob job;
        job.source = source;
        job.destination = destination;
        job.workFolder = work;
        return job;
    }
    QStringList workFiles() const { return QDir(work).entryList(QDir::Files | QDir::Hidden); }
};

} // namespace

class TestConverter : public QObject {
    Q_OBJECT

    QByteArray sample;

  private slots:
    void initTestCase() {
        realEncoder = codecs::realEncoderFunctions();
        fixtures::ToneSpec spec;
        spec.seconds = 2.0;
        fixtures::Id3v1Fields v1;
        v1.title = "Title";
        v1.artist = "Artist";
        sample = fixtures::makeMp3(spec).bytes + fixtures::id3v1(v1);
    }
    void cleanup() { codecs::resetEncoderFunctions(); }

    void convertsAndLeavesNoWorkFile() {
        Folders folders;
        fixtures::writeFile(folders.source, sample);
        CancellingSink sink;
        const core::Outcome outcome = core::Converter(folders.job(), sink).run();
        QVERIFY(outcome.converted());
        QVERIFY(folders.workFiles().isEmpty());
        const auto frames = fixtures::scanFrames(fixtures::readFile(folders.destination));
        QVERIFY(frames && frames->size() > 50);
        QCOMPARE(sink.percents.last(), 100);
        QVERIFY(std::is_sorted(sink.percents.begin(), sink.percents.end()));
        QVERIFY(sink.songText.contains(QStringLiteral("曲タイトル　：Title")));
    }

    // Whatever way the file fails, neither Temp.tmp nor MP3Temp.tmp stays behind, and the destination
    // is not touched.
    void failuresLeaveNoWorkFile_data() {
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<int>("cancelAt");
        QTest::addColumn<bool>("encoderFails");
        QTest::addColumn<int>("failure");
        QTest::newRow("unreadable source")
            << QByteArray("no audio") << -1 << false << int(core::Failure::SourceUnreadable);
        QTest::newRow("cancel at the first poll")
            << QByteArray() << 0 << false << int(core::Failure::Cancelled);
        QTest::newRow("cancel while encoding")
            << QByteArray() << 60 << false << int(core::Failure::Cancelled);
        QTest::newRow("full disk while encoding")
            << QByteArray() << -1 << true << int(core::Failure::FrameError);
    }
    void failuresLeaveNoWorkFile() {
        QFETCH(QByteArray, source);
        QFETCH(int, cancelAt);
        QFETCH(bool, encoderFails);
        QFETCH(int, failure);
        Folders folders;
        fixtures::writeFile(folders.source, source.isEmpty() ? sample : source);
        fixtures::writeFile(folders.destination, "old");
        if (encoderFails) {
            codecs::EncoderFunctions failing = realEncoder;
            failing.processFrame = writeFailsHalfWay;
            framesBeforeFailure = 30;
            codecs::installEncoderFunctions(failing);
        }
        CancellingSink sink;
        sink.cancelAtPercent = cancelAt;
        const core::Outcome outcome = core::Converter(folders.job(), sink).run();
        QCOMPARE(int(outcome.failure), failure);
        QVERIFY2(folders.workFiles().isEmpty(), qPrintable(folders.workFiles().join(u',')));
        QCOMPARE(fixtures::readFile(folders.destination), QByteArray("old"));
        if (encoderFails) {
            QCOMPARE(outcome.code, int(ME_WRITE_ERROR));
            QCOMPARE(
                core::outcomeMessage(outcome, folders.source).text,
                QStringLiteral(
                    "変換作業でエラーが発生しました errcode = 31\rディスクの空き容量を確認してください。"));
        }
    }

    // An encoder that refuses a setting or cannot tell how long the encoding takes fails the file: it is
    // never encoded at other settings than asked, and no work file stays.
    void encoderRefusalsFailTheFile_data() {
        QTest::addColumn<bool>("refuseVbr");
        QTest::addColumn<int>("failure");
        QTest::newRow("VBR item refused") << true << int(core::Failure::EncoderSetUp);
        QTest::newRow("no frame count") << false << int(core::Failure::EncodeFault);
    }
    void encoderRefusalsFailTheFile() {
        QFETCH(bool, refuseVbr);
        QFETCH(int, failure);
        Folders folders;
        fixtures::writeFile(folders.source, sample);
        codecs::EncoderFunctions failing = realEncoder;
        if (refuseVbr)
            failing.setConfigure = refusesVbrItem;
        else
            failing.getConfigure = tellsNoFrameCount;
        codecs::installEncoderFunctions(failing);
        core::ConversionJob job = folders.job();
        job.vbrQuality = 2;
        CancellingSink sink;
        const core::Outcome outcome = core::Converter(job, sink).run();
        QCOMPARE(int(outcome.failure), failure);
        if (!refuseVbr)
            QVERIFY2(outcome.reason.contains(u"frame count"), qPrintable(outcome.reason));
        QVERIFY(!QFileInfo::exists(folders.destination));
        QVERIFY2(folders.workFiles().isEmpty(), qPrintable(folders.workFiles().join(u',')));
    }

    // Placing with a date to keep that cannot be read still places the file, and says the date was lost.
    void placingNotesALostDate() {
        Folders folders;
        const QString work = core::mp3WorkFile(folders.work);
        fixtures::writeFile(work, sample);
        const core::Outcome kept =
            core::placeWorkFile(work, core::wavWorkFile(folders.work), folders.destination, folders.source);
        QVERIFY(kept.converted());
        QCOMPARE(fixtures::readFile(folders.destination), sample);
        QCOMPARE(kept.notes.size(), 1);
        QVERIFY(kept.notes.first().contains(u"modification time"));
        QVERIFY(folders.workFiles().isEmpty());
    }

    // A work folder that is missing or may not be written is named as such, not as a full disk.
    void writeFailuresNameTheirCause() {
        Folders folders;
        fixtures::writeFile(folders.source, sample);
        core::ConversionJob job = folders.job();
        job.workFolder = folders.root.filePath(QStringLiteral("消えた"));
        CancellingSink sink;
        const core::Outcome missing = core::Converter(job, sink).run();
        QCOMPARE(missing.failure, core::Failure::DecodeFault);
        QCOMPARE(core::outcomeMessage(missing, job.source).text,
                 QStringLiteral("変換処理でエラーが発生しました。(Temp.tmp)\r"
                                "作業ファイルに書き込めませんでした（作業フォルダが見つかりません）。"));

        if (::geteuid() == 0)
            QSKIP("permissions do not bind the superuser");
        QVERIFY(QFile::setPermissions(folders.work, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        const auto restore = qScopeGuard([&] {
            QFile::setPermissions(folders.work,
                                  QFileDevice::WriteOwner | QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        });
        const core::Outcome denied = core::Converter(folders.job(), sink).run();
        QVERIFY(core::outcomeMessage(denied, job.source)
                    .text.contains(QStringLiteral("書き込む権限がありません")));
    }
};

QTEST_GUILESS_MAIN(TestConverter)
#include "tst_converter.moc"
