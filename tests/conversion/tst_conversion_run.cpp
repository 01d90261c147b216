// Whole conversion runs through the real window and the real codec libraries: outputs at the chosen bit
// rate and mode with the source's length and tag, the visible progress, cancelling, and damaged sources.

#include "ConversionSetup.h"
#include "WindowDriver.h"
#include "codecs/decoder.h"
#include "codecs/functions.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTimer>
#include <QtTest>

namespace {

using fixtures::Encoding;

struct Source {
    QString name;
    QByteArray bytes;
    qint64 samples;
};

fixtures::Mp3 tone(int channels, double seconds, int bitRate = 128) {
    fixtures::ToneSpec spec;
    spec.channels = channels;
    spec.seconds = seconds;
    spec.bitRate = bitRate;
    return fixtures::makeMp3(spec);
}

QByteArray coverArt() {
    QByteArray image("\x89PNG\r\n\x1a\n", 8);
    for (int i = 0; i < 3000; ++i)
        image.append(char((i * 37) & 0xff));
    return image;
}

QList<Source> threeSources() {
    const fixtures::Mp3 first = tone(2, 1.5);
    const QByteArray v2 = fixtures::id3v2Tag(
        3,
        {fixtures::id3v2Frame(3, "TIT2", fixtures::textPayload(Encoding::Utf16, QStringLiteral("春の海"))),
         fixtures::id3v2Frame(3, "TPE1", fixtures::textPayload(Encoding::Utf16, QStringLiteral("宮城道雄"))),
         fixtures::id3v2Frame(3, "TALB", fixtures::textPayload(Encoding::Utf16, QStringLiteral("日本の音"))),
         fixtures::id3v2Frame(3, "APIC", fixtures::picturePayload("image/png", coverArt()))});

    const fixtures::Mp3 second = tone(1, 1.0, 64);
    fixtures::Id3v1Fields v1;
    v1.title = "Take Five";
    v1.artist = "Dave Brubeck";
    v1.album = "Time Out";
    v1.year = "1959";
    v1.track = 5;
    v1.genre = 8;

    const fixtures::Mp3 third = tone(2, 0.7, 192);
    return {{QStringLiteral("01 春の海.mp3"), v2 + first.bytes, first.samples},
            {QStringLiteral("02 Take Five.mp3"), second.bytes + fixtures::id3v1(v1), second.samples},
            {QStringLiteral("03 無題.mp3"), third.bytes, third.samples}};
}

int decodedLength(const QString& path) {
    codecs::Decoder decoder;
    codecs::InputInfo info;
    if (!decoder.init())
        return -1;
    const bool opened = decoder.open(path, info);
    decoder.close();
    decoder.free();
    return opened ? info.totalLength : -1;
}

codecs::TagRecord tagOf(const QString& path, bool* present = nullptr) {
    codecs::Decoder decoder;
    codecs::TagRecord record;
    const bool read = decoder.getFileTagInfo(path, record);
    if (present)
        *present = read;
    return record;
}

// A decoder that is seen running at 10 % on its first poll after each open, however fast the real one
// finishes, so a click "while decoding" never depends on the machine's speed.
codecs::DecoderFunctions realDecoder;
int openedLength = 0;
bool firstPoll = false;
int16_t openAndRemember(const char* name, VBMP3_INPUT_INFO* info) {
    const int16_t result = realDecoder.open(name, info);
    openedLength = info->totalLength;
    firstPoll = true;
    return result;
}
int32_t runningAtFirstPoll(int32_t* position) {
    if (!firstPoll)
        return realDecoder.getState(position);
    firstPoll = false;
    *position = openedLength / 10;
    return 1;
}

void verifyIdle(MainForm& form) {
    QCOMPARE(ui::button(form, "ConvertStart")->text(), QStringLiteral("変換開始"));
    QCOMPARE(ui::button(form, "ConvertStart")->toolTip(), QStringLiteral("変換開始"));
    QVERIFY(ui::button(form, "ConvertStart")->isEnabled());
    QVERIFY(ui::button(form, "ProgExit")->isEnabled());
    QCOMPARE(form.cursor().shape(), Qt::ArrowCursor);
    QVERIFY(ui::textBox(form, "Msg")->toPlainText().isEmpty());
    QVERIFY(ui::field(form, "NowCount")->text().isEmpty());
    QVERIFY(ui::field(form, "Prog")->text().isEmpty());
    QCOMPARE(form.windowTitle(), form.program().mainCaption());
}

} // namespace

class TestConversionRun : public QObject {
    Q_OBJECT

  private slots:
    void convertsTheQueue_data() {
        QTest::addColumn<int>("bitsIndex");
        QTest::addColumn<int>("stereoIndex");
        QTest::addColumn<int>("bitRate");
        QTest::addColumn<int>("headerMode"); // as MPEG frame headers name it
        QTest::newRow("64 kbit/s mono") << 4 << 0 << 64 << 3;
        QTest::newRow("320 kbit/s joint stereo") << 13 << 2 << 320 << 1;
    }

    void convertsTheQueue() {
        QFETCH(int, bitsIndex);
        QFETCH(int, stereoIndex);
        QFETCH(int, bitRate);
        QFETCH(int, headerMode);

        ConversionSetup setup;
        const QList<Source> sources = threeSources();
        QStringList sourcePaths;
        for (const Source& source : sources)
            sourcePaths << setup.addSource(source.name, source.bytes);
        setup.choose(bitsIndex, stereoIndex);
        ui::click(*setup.form, "ConvertStart");

        QVERIFY2(setup.dialogs.shown.isEmpty(),
                 qPrintable(setup.dialogs.messageTexts().join(QLatin1Char('|'))));
        QCOMPARE(setup.destinationFiles(), (QStringList{sources[0].name, sources[1].name, sources[2].name}));
        for (int i = 0; i < sources.size(); ++i) {
            const QString output = setup.destinationFolder + QLatin1Char('/') + sources[i].name;
            const QByteArray bytes = fixtures::readFile(output);
            const auto frames = fixtures::scanFrames(bytes);
            QVERIFY2(frames && !frames->isEmpty(), qPrintable(sources[i].name));
            // The first frame carries the LAME/Info tag; every frame must be at the chosen settings.
            for (const fixtures::FrameHeader& frame : *frames) {
                QCOMPARE(frame.version, 1);
                QCOMPARE(frame.layer, 3);
                QCOMPARE(frame.sampleRate, 44100);
                QCOMPARE(frame.bitRate, bitRate);
                QCOMPARE(frame.mode, headerMode);
            }
            QCOMPARE(qint64(decodedLength(output)), sources[i].samples);
        }

        // Tags: the whole ID3v2 tag of the first (cover art included), the ID3v1 tag of the second, none
        // for the third.
        const QString out1 = setup.destinationFolder + QLatin1Char('/') + sources[0].name;
        const QByteArray in1 = fixtures::readFile(sourcePaths[0]);
        const auto sourceFrames = fixtures::id3v2Frames(in1);
        const auto outputFrames = fixtures::id3v2Frames(fixtures::readFile(out1));
        QCOMPARE(outputFrames.size(), sourceFrames.size());
        for (int i = 0; i < sourceFrames.size(); ++i) {
            QCOMPARE(outputFrames[i].id, sourceFrames[i].id);
            QCOMPARE(outputFrames[i].payload, sourceFrames[i].payload);
        }
        QCOMPARE(tagOf(out1).title, QStringLiteral("春の海"));

        const QString out2 = setup.destinationFolder + QLatin1Char('/') + sources[1].name;
        QCOMPARE(tagOf(out2), tagOf(sourcePaths[1]));
        QCOMPARE(tagOf(out2).trackNumber, 5);
        QCOMPARE(fixtures::id3v2Length(fixtures::readFile(out2)), 0);

        const QByteArray out3 =
            fixtures::readFile(setup.destinationFolder + QLatin1Char('/') + sources[2].name);
        QCOMPARE(fixtures::id3v2Length(out3), 0);
        QVERIFY(!fixtures::hasId3v1(out3));

        // What the user saw, and what is left.
        QCOMPARE(setup.nowCounts, (QStringList{QStringLiteral("1/3"), QStringLiteral("2/3"),
                                               QStringLiteral("3/3"), QString()}));
        QCOMPARE(setup.captions,
                 (QStringList{QStringLiteral("コンバート中 [1/3]"), QStringLiteral("コンバート中 [2/3]"),
                              QStringLiteral("コンバート中 [3/3]"), setup.form->program().mainCaption()}));
        QVERIFY(setup.percents.contains(QStringLiteral("100%")));
        QVERIFY(setup.percents.contains(QStringLiteral("50%")));
        QVERIFY(setup.workFiles().isEmpty());
        QVERIFY(setup.queue().isEmpty());
        verifyIdle(*setup.form);
    }

    // A file converted in the window's own process works inside a locked folder of the run, so that a
    // window killed during the run leaves its work files where the next run finds and removes them.
    void workFilesLieInALockedRunFolder() {
        ConversionSetup setup;
        setup.addSource(QStringLiteral("a.mp3"), threeSources()[0].bytes);
        QStringList seen;
        QObject::connect(ui::field(*setup.form, "Prog"), &QLineEdit::textChanged, [&](const QString& text) {
            if (text != QStringLiteral("60%") || !seen.isEmpty())
                return;
            seen = setup.workFiles();
            const QStringList folders =
                QDir(setup.workFolder).entryList({QStringLiteral("MP3Recast.*")}, QDir::Dirs);
            if (folders.size() == 1)
                seen += QDir(setup.workFolder + QLatin1Char('/') + folders[0]).entryList(QDir::Files);
        });
        ui::click(*setup.form, "ConvertStart");
        seen.sort();
        QCOMPARE(seen, (QStringList{QStringLiteral("MP3Temp.tmp"), QStringLiteral("Temp.tmp"),
                                    QStringLiteral("run.lock")}));
        QVERIFY(QDir(setup.workFolder).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
        QCOMPARE(setup.destinationFiles(), QStringList{QStringLiteral("a.mp3")});
    }

    void showsTheSongWhileConverting() {
        ConversionSetup setup;
        setup.addSource(QStringLiteral("01 春の海.mp3"), threeSources()[0].bytes);
        QString shown;
        QObject::connect(ui::field(*setup.form, "Prog"), &QLineEdit::textChanged, [&] {
            if (shown.isEmpty())
                shown = ui::textBox(*setup.form, "Msg")->toPlainText();
        });
        ui::click(*setup.form, "ConvertStart");
        // The box shows the CR LF line breaks as lines.
        QCOMPARE(
            shown,
            QStringLiteral(
                " .. コンバート中..  \nアーティスト：宮城道雄\n曲タイトル　：春の海\nアルバム名：日本の音"));
    }

    void cancelDuringTheThirdOfFive_data() {
        QTest::addColumn<bool>("whileDecoding");
        QTest::newRow("while decoding") << true;
        QTest::newRow("while encoding") << false;
    }

    void cancelDuringTheThirdOfFive() {
        QFETCH(bool, whileDecoding);
        ConversionSetup setup;
        if (whileDecoding) {
            realDecoder = codecs::realDecoderFunctions();
            codecs::DecoderFunctions held = realDecoder;
            held.open = openAndRemember;
            held.getState = runningAtFirstPoll;
            codecs::installDecoderFunctions(held);
        }
        const auto restore = qScopeGuard([] { codecs::resetDecoderFunctions(); });
        QStringList names;
        for (int i = 1; i <= 5; ++i) {
            names << QStringLiteral("曲%1.mp3").arg(i);
            setup.addSource(names.last(), tone(2, 4.0).bytes);
        }
        const QStringList queued = setup.queue();

        bool clicked = false;
        QObject::connect(ui::field(*setup.form, "Prog"), &QLineEdit::textChanged, [&](const QString& text) {
            if (!text.endsWith(QLatin1Char('%')))
                return;
            const int percent = text.chopped(1).toInt();
            const bool inPhase =
                whileDecoding ? (percent > 0 && percent < 50) : (percent > 50 && percent < 100);
            if (!clicked && ui::field(*setup.form, "NowCount")->text() == QStringLiteral("3/5") && inPhase) {
                clicked = true;
                // A real click, delivered while the run lets window events run.
                QTimer::singleShot(0, ui::button(*setup.form, "ConvertStart"), [&] {
                    QCOMPARE(ui::button(*setup.form, "ConvertStart")->text(), QStringLiteral("中止"));
                    QCOMPARE(ui::button(*setup.form, "ConvertStart")->toolTip(),
                             QStringLiteral("処理を中止します。"));
                    QTest::mouseClick(ui::button(*setup.form, "ConvertStart"), Qt::LeftButton);
                    QVERIFY(!ui::button(*setup.form, "ConvertStart")->isEnabled());
                });
            }
        });
        setup.form->show();
        ui::click(*setup.form, "ConvertStart");

        QVERIFY(clicked);
        QVERIFY(setup.dialogs.shown.isEmpty());
        QCOMPARE(setup.destinationFiles(), (QStringList{names[0], names[1]}));
        QVERIFY(setup.workFiles().isEmpty());
        QCOMPARE(setup.queue(), queued);
        verifyIdle(*setup.form);
    }

    void damagedSourcesAreReportedAndTheOthersConvert() {
        ConversionSetup setup;
        const QByteArray good = tone(2, 0.5).bytes;
        setup.addSource(QStringLiteral("a.mp3"), good);
        const QString empty = setup.addSource(QStringLiteral("b empty.mp3"), QByteArray());
        setup.addSource(QStringLiteral("c.mp3"), good);
        const QString text = setup.addSource(QStringLiteral("d text.mp3"),
                                             QByteArray("これはMP3ではありません\n").repeated(40));
        const QString truncated = setup.addSource(QStringLiteral("e truncated.mp3"), good.left(300));
        setup.addSource(QStringLiteral("f.mp3"), good);

        ui::click(*setup.form, "ConvertStart");

        const QString prefix = QStringLiteral("ファイル情報の取得に失敗しました。\r");
        QCOMPARE(setup.dialogs.messageTexts(),
                 (QStringList{prefix + empty, prefix + text, prefix + truncated}));
        for (const auto& shown : setup.dialogs.shown)
            QCOMPARE(shown.icon, Dialogs::Icon::Critical);
        QCOMPARE(setup.destinationFiles(),
                 (QStringList{QStringLiteral("a.mp3"), QStringLiteral("c.mp3"), QStringLiteral("f.mp3")}));
        QVERIFY(setup.queue().isEmpty());
        verifyIdle(*setup.form);
    }

    void destinationEqualToSourceReplacesTheSource() {
        ConversionSetup setup;
        ui::field(*setup.form, "SelectFolderText", 2)->setText(setup.sourceFolder + QLatin1Char('/'));
        const fixtures::Mp3 original = tone(2, 1.0, 192);
        const QString path = setup.addSource(QStringLiteral("same.mp3"), original.bytes);
        setup.choose(4, 0);
        setup.dialogs.confirmAnswers = {true};
        ui::click(*setup.form, "ConvertStart");

        QCOMPARE(setup.dialogs.shown.size(), 1); // the question before the run, answered Yes
        const auto frames = fixtures::scanFrames(fixtures::readFile(path));
        QVERIFY(frames && !frames->isEmpty());
        QCOMPARE(frames->first().bitRate, 64);
        QCOMPARE(frames->first().mode, 3);
        QCOMPARE(qint64(decodedLength(path)), original.samples);
        QCOMPARE(QDir(setup.sourceFolder).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("same.mp3")});
    }

    // [Options] FatNames=1, for a stick: names FAT32 and exFAT refuse get their full-width forms, and
    // names they take stay as they are.
    void fatNamesFromTheSettingsFile() {
        ConversionSetup setup;
        fixtures::writeFile(
            setup.program.info.settingsFilePath(),
            QStringLiteral("[Setting]\nInPath=%1\nTempPath=%2\nOutPath=%3\n[Options]\nFatNames=1\n")
                .arg(setup.sourceFolder, setup.workFolder, setup.destinationFolder)
                .toUtf8());
        QVERIFY(setup.form->Form_Load());
        setup.addSource(QStringLiteral("AC:DC?.mp3"), tone(2, 0.5, 128).bytes);
        setup.addSource(QStringLiteral("b.mp3"), tone(2, 0.5, 128).bytes);
        ui::click(*setup.form, "ConvertStart");
        QVERIFY2(setup.dialogs.shown.isEmpty(),
                 qPrintable(setup.dialogs.messageTexts().join(QLatin1Char('|'))));
        QCOMPARE(setup.destinationFiles(),
                 (QStringList{QStringLiteral("AC：DC？.mp3"), QStringLiteral("b.mp3")}));
    }

    // A source whose ID3v2 tag is damaged converts without it; once the run has ended, the message area
    // names that file (and no other).
    void damagedTagsAreNamedAfterTheRun() {
        ConversionSetup setup;
        const QByteArray audio = tone(2, 0.5, 128).bytes;
        setup.addSource(QStringLiteral("damaged.mp3"),
                        QByteArray("ID3\x05\x00\x00\x00\x00\x00\x10", 10) + QByteArray(16, '\0') + audio);
        setup.addSource(QStringLiteral("sound.mp3"), audio);
        ui::click(*setup.form, "ConvertStart");
        QCOMPARE(setup.destinationFiles(),
                 (QStringList{QStringLiteral("damaged.mp3"), QStringLiteral("sound.mp3")}));
        const QString shown = ui::textBox(*setup.form, "Msg")->toPlainText();
        QCOMPARE(shown,
                 QStringLiteral(
                     "注意：damaged.mp3 は ID3v2 タグが壊れているため、ID3v2 タグを引き継げませんでした。"));
    }

    void emptyQueueFinishesAtOnce() {
        ConversionSetup setup;
        ui::click(*setup.form, "ConvertStart");
        QVERIFY(setup.nowCounts.isEmpty() || setup.nowCounts == QStringList{QString()});
        QVERIFY(setup.dialogs.shown.isEmpty());
        verifyIdle(*setup.form);
    }
};

QTEST_MAIN(TestConversionRun)
#include "tst_conversion_run.moc"
