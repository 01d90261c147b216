// Every way one file's conversion can fail, each with its exact message, icon and pointer, and what the
// run does next. Library failures the real libraries cannot be made to give come from function tables
// that wrap the real operations.

#include "ConversionSetup.h"
#include "WindowDriver.h"
#include "codecs/functions.h"

#include <QFile>
#include <QPushButton>
#include <QtTest>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace {

codecs::DecoderFunctions realDecoder;
codecs::EncoderFunctions realEncoder;
int detectCalls = 0;
int initializeCalls = 0;

// --- Decoder stand-ins ---
int16_t initFails() {
    return 0;
}
int16_t openFails(const char*, VBMP3_INPUT_INFO*) {
    return 0;
}
int32_t stateWriteError(int32_t* position) {
    realDecoder.getState(position);
    return VBMP3_STATE_WRITE_ERROR;
}
int32_t stateAlwaysRunning(int32_t* position) {
    *position = 10;
    return 1;
}
int16_t openWithZeroLength(const char* name, VBMP3_INPUT_INFO* info) {
    const int16_t result = realDecoder.open(name, info);
    info->totalLength = 0;
    return result;
}
// The encoded work file vanishes before the copy, as on a failing disk.
// The tag goes in, then the work file vanishes before it is copied out.
int16_t tagThenLoseTheFile(const char* from, const char* to) {
    const int16_t result = realDecoder.copyTagV2(from, to);
    QFile::remove(QString::fromUtf8(to));
    return result;
}

// --- Encoder stand-ins ---
int32_t versionEmpty(int32_t* number, char* text) {
    *number = 0;
    text[0] = '\0';
    return 0;
}
int32_t versionWithoutNul(int32_t* number, char* text) {
    *number = 1;
    std::memset(text, 'x', 255);
    return 0;
}
int32_t initializeFails() {
    return 1;
}
int32_t countedInitialize() {
    ++initializeCalls;
    return realEncoder.initializeWork();
}
int32_t detectCannotOpen() {
    realEncoder.detectConfigure();
    return 13;
}
int32_t detectOtherFailure() {
    ++detectCalls;
    realEncoder.detectConfigure();
    return 5;
}
int32_t frameError() {
    realEncoder.processFrame();
    return 7;
}

struct Fakes {
    codecs::DecoderFunctions decoder;
    codecs::EncoderFunctions encoder;
};

} // namespace

Q_DECLARE_METATYPE(Fakes)

class TestConversionFailures : public QObject {
    Q_OBJECT

    QByteArray sample;

  private slots:
    void initTestCase() {
        realDecoder = codecs::realDecoderFunctions();
        realEncoder = codecs::realEncoderFunctions();
        fixtures::ToneSpec spec;
        spec.seconds = 0.5;
        sample = fixtures::makeMp3(spec).bytes;
    }

    void cleanup() {
        codecs::resetDecoderFunctions();
        codecs::resetEncoderFunctions();
    }

    void eachFailureIsReported_data() {
        QTest::addColumn<Fakes>("fakes");
        QTest::addColumn<QString>("message"); // %1: the source path; a trailing * matches any description
        QTest::addColumn<int>("icon");
        QTest::addColumn<bool>("pointerSwitched");
        QTest::addColumn<bool>("runStops");

        auto row = [](const char* name, auto change, const QString& message, Dialogs::Icon icon,
                      bool switched, bool stops = false) {
            Fakes fakes{realDecoder, realEncoder};
            change(fakes);
            QTest::newRow(name) << fakes << message << int(icon) << switched << stops;
        };
        const auto critical = Dialogs::Icon::Critical;
        const auto exclamation = Dialogs::Icon::Exclamation;

        row(
            "encoder version text empty", [](Fakes& f) { f.encoder.getVersion = versionEmpty; },
            QStringLiteral("GOGO.DLL が利用できません。"), critical, false);
        row(
            "encoder version text without NUL", [](Fakes& f) { f.encoder.getVersion = versionWithoutNul; },
            QStringLiteral("GOGO.DLL が利用できません。"), critical, false);
        row(
            "encoder library missing", [](Fakes& f) { f.encoder.getVersion = nullptr; },
            QStringLiteral("GOGO.DLL が利用できません。\r*"), critical, false);
        row(
            "decoder set-up fails", [](Fakes& f) { f.decoder.init = initFails; },
            QStringLiteral("デコード処理の初期化に失敗しました。"), critical, false);
        row(
            "source cannot be opened", [](Fakes& f) { f.decoder.open = openFails; },
            QStringLiteral("ファイル情報の取得に失敗しました。\r%1"), critical, true);
        row(
            "decoding stops with an error", [](Fakes& f) { f.decoder.getState = stateWriteError; },
            QStringLiteral("変換処理でエラーが発生しました。(Temp.tmp)\r*"), critical, true);
        row(
            "total length of zero",
            [](Fakes& f) {
                f.decoder.open = openWithZeroLength;
                f.decoder.getState = stateAlwaysRunning;
            },
            QStringLiteral("変換処理でエラーが発生しました。(Temp.tmp)\r0 で除算しました。"), critical, true);
        row(
            "decoder lacks an operation", [](Fakes& f) { f.decoder.decodeWave = nullptr; },
            QStringLiteral("変換処理でエラーが発生しました。(Temp.tmp)\r*"), critical, true);
        row(
            "encoder set-up fails", [](Fakes& f) { f.encoder.initializeWork = initializeFails; },
            QStringLiteral("エンコード処理の初期化に失敗しました。"), critical, true);
        row(
            "work file cannot be opened", [](Fakes& f) { f.encoder.detectConfigure = detectCannotOpen; },
            QStringLiteral(
                "変換作業ファイルを開けませんでした\r作業フォルダにロングファイル名を利用している場合には、"
                "/tmp 等に変更してみてください。"),
            exclamation, true);
        row(
            "frame error", [](Fakes& f) { f.encoder.processFrame = frameError; },
            QStringLiteral("変換作業でエラーが発生しました errcode = 7"), exclamation, true);
        row(
            "encoder lacks an operation", [](Fakes& f) { f.encoder.getConfigure = nullptr; },
            QStringLiteral("変換処理でエラーが発生しました。(MP3Temp.tmp)\r*"), critical, true);
        row(
            "tag writer missing", [](Fakes& f) { f.decoder.setTagInfoEX = nullptr; },
            QStringLiteral("IDタグ書き込みでエラーが発生しました。\r*"), critical, true);
        row(
            "copy to the destination fails", [](Fakes& f) { f.decoder.copyTagV2 = tagThenLoseTheFile; },
            QStringLiteral("変換ファイルの作成に失敗しました。\r*"), critical, true, true);
    }

    void eachFailureIsReported() {
        QFETCH(Fakes, fakes);
        QFETCH(QString, message);
        QFETCH(int, icon);
        QFETCH(bool, pointerSwitched);
        QFETCH(bool, runStops);

        ConversionSetup setup;
        // The tag writer is only called for a source with a tag.
        fixtures::Id3v1Fields v1;
        v1.title = "t";
        const QString first = setup.addSource(QStringLiteral("first.mp3"), sample + fixtures::id3v1(v1));
        setup.addSource(QStringLiteral("second.mp3"), sample + fixtures::id3v1(v1));
        const QStringList queued = setup.queue();
        codecs::installDecoderFunctions(fakes.decoder);
        codecs::installEncoderFunctions(fakes.encoder);

        QList<Qt::CursorShape> pointers;
        setup.dialogs.onShow = [&](const ScriptedDialogs::Shown&) {
            pointers << setup.form->cursor().shape();
        };
        ui::click(*setup.form, "ConvertStart");

        const QStringList texts = setup.dialogs.messageTexts();
        QVERIFY(!texts.isEmpty());
        const QString expected = message.contains(QLatin1String("%1")) ? message.arg(first) : message;
        if (expected.endsWith(QLatin1Char('*'))) {
            QVERIFY2(texts[0].startsWith(expected.chopped(1)), qPrintable(texts[0]));
            QVERIFY2(texts[0].size() > expected.size(), "the failure's description follows");
        } else {
            QCOMPARE(texts[0], expected);
        }
        QCOMPARE(int(setup.dialogs.shown[0].icon), icon);
        QCOMPARE(setup.dialogs.shown[0].title, QStringLiteral("MP3Recast"));
        QCOMPARE(pointers[0], pointerSwitched ? Qt::ArrowCursor : Qt::WaitCursor);
        QCOMPARE(setup.form->cursor().shape(), Qt::ArrowCursor);
        QVERIFY(setup.destinationFiles().isEmpty() || !runStops);

        if (runStops) {
            // Only a failed copy stops the run: the second file is not tried, the queue is kept, and both
            // work files are gone.
            QCOMPARE(texts.size(), 1);
            QCOMPARE(setup.queue(), queued);
            QVERIFY(setup.workFiles().isEmpty());
        } else {
            // Every other failure gives up the file; the run goes on with the next, which fails alike.
            QCOMPARE(texts.size(), 2);
            QCOMPARE(texts[1].left(10), texts[0].left(10));
            QVERIFY(setup.queue().isEmpty());
        }
        QVERIFY(setup.destinationFiles().isEmpty());
        QVERIFY(ui::button(*setup.form, "ProgExit")->isEnabled());
        QCOMPARE(ui::button(*setup.form, "ConvertStart")->text(), QStringLiteral("変換開始"));
    }

    void encoderSetUpIsNotRetriedForEver() {
        ConversionSetup setup;
        setup.addSource(QStringLiteral("a.mp3"), sample);
        Fakes fakes{realDecoder, realEncoder};
        fakes.encoder.detectConfigure = detectOtherFailure;
        fakes.encoder.initializeWork = countedInitialize;
        codecs::installEncoderFunctions(fakes.encoder);
        detectCalls = initializeCalls = 0;

        ui::click(*setup.form, "ConvertStart");

        QCOMPARE(detectCalls, 3);
        QCOMPARE(initializeCalls, 3);
        QCOMPARE(setup.dialogs.messageTexts(),
                 QStringList{QStringLiteral("エンコード処理の初期化に失敗しました。")});
        QVERIFY(setup.destinationFiles().isEmpty());
    }

    // Converting into the queued files' own folder replaces the originals: asked once, naming the folder,
    // No by default; a copy that then fails keeps the original.
    void replacingTheOriginalsIsAskedFirst() {
        ConversionSetup setup;
        ui::field(*setup.form, "SelectFolderText", 2)->setText(setup.sourceFolder + QLatin1Char('/'));
        fixtures::Id3v1Fields v1;
        v1.title = "keep me";
        const QByteArray original = sample + fixtures::id3v1(v1);
        const QString path = setup.addSource(QStringLiteral("only.mp3"), original);
        setup.addSource(QStringLiteral("two.mp3"), sample);

        ui::click(*setup.form, "ConvertStart"); // unscripted: No
        QCOMPARE(setup.dialogs.shown.size(), 1);
        QCOMPARE(setup.dialogs.shown[0].kind, ScriptedDialogs::Kind::Confirm);
        QVERIFY(setup.dialogs.shown[0].text.contains(setup.sourceFolder));
        QVERIFY(setup.percents.isEmpty());
        QCOMPARE(fixtures::readFile(path), original);
        QCOMPARE(setup.queue().size(), 2);

        setup.dialogs.shown.clear();
        setup.dialogs.confirmAnswers = {true};
        Fakes fakes{realDecoder, realEncoder};
        fakes.decoder.copyTagV2 = tagThenLoseTheFile;
        codecs::installDecoderFunctions(fakes.decoder);
        ui::click(*setup.form, "ConvertStart");
        QCOMPARE(setup.dialogs.shown.size(), 2);
        QCOMPARE(setup.dialogs.messageTexts().size(), 1);
        QVERIFY(setup.dialogs.messageTexts()[0].startsWith(
            QStringLiteral("変換ファイルの作成に失敗しました。\r") + path + QLatin1Char('\r')));
        QCOMPARE(fixtures::readFile(path), original);
    }

    // A destination that cannot take files is found before anything is decoded, with its cause.
    void unusableDestinationIsRefusedBeforeAnyWork() {
        ConversionSetup setup;
        const QString gone = setup.destinationFolder + QStringLiteral("/消えたフォルダ");
        ui::field(*setup.form, "SelectFolderText", 2)->setText(gone);
        setup.addSource(QStringLiteral("a.mp3"), sample);
        setup.addSource(QStringLiteral("b.mp3"), sample);
        const QStringList queued = setup.queue();
        ui::click(*setup.form, "ConvertStart");
        QCOMPARE(setup.dialogs.messageTexts(),
                 QStringList{QStringLiteral("変換ファイルの作成に失敗しました。\r") + gone +
                             QStringLiteral("\r変換先フォルダが見つかりません。")});
        QVERIFY(setup.percents.isEmpty());
        QCOMPARE(setup.queue(), queued);
        QVERIFY(ui::button(*setup.form, "ProgExit")->isEnabled());
        QCOMPARE(ui::button(*setup.form, "ConvertStart")->text(), QStringLiteral("変換開始"));
    }

    // A failure that escapes the run (here: the outcome's message box) leaves the panel ready for the
    // next run, not a "中止" button that stops nothing.
    void failureInsideTheRunEndsIt() {
        codecs::DecoderFunctions decoder = realDecoder;
        decoder.init = initFails;
        codecs::installDecoderFunctions(decoder);
        ConversionSetup setup;
        setup.addSource(QStringLiteral("a.mp3"), sample);
        bool thrown = false;
        setup.dialogs.onShow = [&thrown](const ScriptedDialogs::Shown&) {
            if (!std::exchange(thrown, true))
                throw std::runtime_error("表示できません");
        };
        ui::click(*setup.form, "ConvertStart");
        QCOMPARE(setup.dialogs.messageTexts().last(), QStringLiteral("表示できません"));
        QPushButton* start = ui::button(*setup.form, "ConvertStart");
        QCOMPARE(start->text(), QStringLiteral("変換開始"));
        QVERIFY(start->isEnabled());
        QCOMPARE(setup.form->windowTitle(), setup.form->program().mainCaption());
        QVERIFY(ui::field(*setup.form, "NowCount")->text().isEmpty());
        QVERIFY(setup.workFiles().isEmpty());
    }

    // A failed copy names the file and the cause; a write-protected file of the same name stays.
    void failedCopySaysWhy() {
        ConversionSetup setup;
        setup.addSource(QStringLiteral("a.mp3"), sample);
        const QString protectedFile = setup.destinationFolder + QStringLiteral("/a.mp3");
        fixtures::writeFile(protectedFile, "protected");
        QVERIFY(QFile::setPermissions(protectedFile, QFileDevice::ReadOwner));
        ui::click(*setup.form, "ConvertStart");
        QCOMPARE(setup.dialogs.messageTexts(),
                 QStringList{QStringLiteral("変換ファイルの作成に失敗しました。\r") + protectedFile +
                             QStringLiteral("\r変換先の同じ名前のファイルが書き込み禁止になっています。")});
        QCOMPARE(fixtures::readFile(protectedFile), QByteArray("protected"));
        QVERIFY(setup.workFiles().isEmpty());
    }

    // Reading needs no write permission: a protected source is converted and stays protected.
    void readOnlySourceKeepsItsProtection() {
        ConversionSetup setup;
        const QString path = setup.addSource(QStringLiteral("locked.mp3"), sample);
        QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
        ui::click(*setup.form, "ConvertStart");
        QVERIFY(setup.dialogs.shown.isEmpty());
        QCOMPARE(setup.destinationFiles(), QStringList{QStringLiteral("locked.mp3")});
        QVERIFY(!(QFile::permissions(path) & QFileDevice::WriteOwner));
        QVERIFY(QFile::permissions(path) & QFileDevice::ReadGroup);
    }
};

QTEST_MAIN(TestConversionFailures)
#include "tst_conversion_failures.moc"
