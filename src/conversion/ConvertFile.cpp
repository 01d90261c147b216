// One file's conversion: decode the source into the WAV work file, encode that into the MP3 work file,
// give it the source's tag, copy it into the destination and clear the work files away. The percentage
// runs from 0 to 50 while decoding and from 50 to 100 while encoding.

#include "codecs/codec_error.h"
#include "codecs/decoder.h"
#include "codecs/encoder.h"
#include "conversion/FileHelpers.h"
#include "conversion/Progress.h"
#include "shell/Dialogs.h"
#include "shell/MainForm.h"
#include "shell/PathHelpers.h"

#include <QCoreApplication>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QThread>
#include <exception>

namespace {

const QString WavWorkFile = QStringLiteral("Temp.tmp");
const QString Mp3WorkFile = QStringLiteral("MP3Temp.tmp");
const QChar CR = QLatin1Char('\r');
const QString CRLF = QStringLiteral("\r\n");

// A set-up check that keeps failing in the same way will not pass on the next try either.
constexpr int MaxEncoderSetUps = 3;

enum class Phase { Decode, Encode, Tag };

void letEventsRun() {
    QCoreApplication::processEvents();
}

void makePlainWritable(const QString& path) {
    QFile file(path);
    if (file.exists())
        file.setPermissions(file.permissions() | QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

QString describe(const std::exception& failure) {
    if (const auto* codec = dynamic_cast<const codecs::CodecError*>(&failure))
        return codec->description();
    return QString::fromUtf8(failure.what());
}

QString decoderStateText(int state) {
    switch (state) {
    case VBMP3_STATE_WRITE_ERROR:
        return QStringLiteral("作業ファイルに書き込めませんでした（ディスクの空き容量を確認してください）。");
    case VBMP3_STATE_DECODE_ERROR:
        return QStringLiteral("MP3 データを最後までデコードできませんでした。");
    case VBMP3_STATE_FORMAT_ERROR:
        return QStringLiteral("途中でサンプリング周波数またはチャンネル数が変わるファイルです。");
    case VBMP3_STATE_TOO_LONG:
        return QStringLiteral("ファイルが長すぎて作業ファイルに収まりません。");
    default:
        return QStringLiteral("デコードが途中で終了しました（状態 = %1）。").arg(state);
    }
}

class SingleFileConversion {
  public:
    SingleFileConversion(MainForm& form, const QString& source, const QString& destination, int bitRate,
                         int channelMode)
        : m_form(form), m_source(source), m_destination(destination), m_bitRate(bitRate),
          m_channelMode(channelMode) {}

    void run() {
        m_form.Prog->setText(QStringLiteral("0%"));
        if (!encoderUsable())
            return;
        prepareWavWorkFile();
        if (!guarded(Phase::Decode, [this] { return decode(); }))
            return;
        prepareMp3WorkFile();
        if (!guarded(Phase::Encode, [this] { return encode(); }))
            return;
        letEventsRun();
        if (!guarded(Phase::Tag, [this] { return tagAndCopy(); }))
            return;
        DeleteFileForced(m_wav);
        DeleteFileForced(m_mp3);
    }

  private:
    // Message boxes during a run show the normal pointer over the busy window; the two set-up checks
    // before anything is opened leave the hourglass as it is.
    enum class Pointer { Switch, Keep };
    void show(const QString& text, Dialogs::Icon icon = Dialogs::Icon::Critical,
              Pointer pointer = Pointer::Switch) {
        if (pointer == Pointer::Switch)
            m_form.setCursor(Qt::ArrowCursor);
        m_form.dialogs().message(&m_form, m_form.program().title, text, icon);
        if (pointer == Pointer::Switch)
            m_form.setCursor(Qt::WaitCursor);
    }

    void showPercent(int percent) {
        const QString text = QString::number(percent) + QLatin1Char('%');
        if (m_form.Prog->text() != text) {
            m_form.Prog->setText(text);
            letEventsRun();
        }
    }

    QString workFile(const QString& name) const {
        return AddPathSep(m_form.SelectFolderText[1]->text()) + name;
    }

    // Runs one phase; an unexpected failure inside it gives the phase's message and gives up the file.
    template <typename Work> bool guarded(Phase phase, Work work) {
        try {
            return work();
        } catch (const std::exception& failure) {
            releaseAfterFailure(phase);
            show(phaseFailureText(phase) + CR + describe(failure));
            return false;
        }
    }

    static QString phaseFailureText(Phase phase) {
        switch (phase) {
        case Phase::Decode:
            return QStringLiteral("変換処理でエラーが発生しました。(Temp.tmp)");
        case Phase::Encode:
            return QStringLiteral("変換処理でエラーが発生しました。(MP3Temp.tmp)");
        case Phase::Tag:
            return QStringLiteral("IDタグ書き込みでエラーが発生しました。");
        }
        return {};
    }

    // A decoder or encoder left set up by a failure is released, so the next file starts clean. Its own
    // failures here (the library is the very thing that failed) are of no further interest.
    void releaseAfterFailure(Phase phase) {
        try {
            if (phase == Phase::Decode && m_decoderSetUp) {
                m_decoder.close();
                m_decoder.free();
            } else if (phase == Phase::Encode && m_encoderSetUp) {
                m_encoder.closeCoder();
                m_encoder.endCoder();
            }
        } catch (...) {
        }
        m_decoderSetUp = false;
        m_encoderSetUp = false;
    }

    bool encoderUsable() {
        try {
            int number = 0;
            if (codecs::Encoder::versionText(m_encoder.getVersion(number)))
                return true;
            show(QStringLiteral("GOGO.DLL が利用できません。"), Dialogs::Icon::Critical, Pointer::Keep);
        } catch (const std::exception& failure) {
            show(QStringLiteral("GOGO.DLL が利用できません。") + CR + describe(failure),
                 Dialogs::Icon::Critical, Pointer::Keep);
        }
        return false;
    }

    void prepareWavWorkFile() {
        m_wav = workFile(WavWorkFile);
        makePlainWritable(m_source);
        makePlainWritable(m_wav);
        QFile::remove(m_wav);
        letEventsRun();
    }

    void prepareMp3WorkFile() {
        m_mp3 = workFile(Mp3WorkFile);
        QFile::remove(m_mp3);
        letEventsRun();
    }

    bool decode() {
        if (!m_decoder.init()) {
            show(QStringLiteral("デコード処理の初期化に失敗しました。"), Dialogs::Icon::Critical,
                 Pointer::Keep);
            return false;
        }
        m_decoderSetUp = true;
        m_decoder.getFileInfo(m_source);
        // A source without any tag must not come out with an invented one.
        m_hasTag = m_decoder.getFileTagInfo(m_source, m_tag);

        codecs::InputInfo info;
        if (!m_decoder.open(m_source, info)) {
            show(QStringLiteral("ファイル情報の取得に失敗しました。") + CR + m_source);
            m_decoder.close();
            m_decoder.free();
            m_decoderSetUp = false;
            return false;
        }

        m_decoder.decodeWave(m_wav);
        m_form.Prog->setText(QStringLiteral("0%"));
        m_form.Msg->setPlainText(QStringLiteral(" .. コンバート中..  ") + CRLF + fileText());

        int state = 0;
        for (;;) {
            int position = 0;
            state = m_decoder.getState(position);
            if (state != 1)
                break;
            showPercent(halfPercent(position, info.totalLength, 0));
            if (m_form.CancelFlag == -1) {
                m_decoder.close();
                m_decoder.free();
                m_decoderSetUp = false;
                DeleteFileForced(m_wav);
                return false;
            }
            // The decoder works on its own thread; polling it flat out would only take a core from it.
            QThread::usleep(500);
        }

        m_decoder.close();
        m_decoder.free();
        m_decoderSetUp = false;
        letEventsRun();
        // Encoding a WAV that stopped short would turn a failure into a silently truncated file.
        if (state != VBMP3_STATE_DONE) {
            show(phaseFailureText(Phase::Decode) + CR + decoderStateText(state));
            DeleteFileForced(m_wav);
            return false;
        }
        return true;
    }

    QString fileText() const {
        return QStringLiteral("アーティスト：") + m_tag.artist + CRLF + QStringLiteral("曲タイトル　：") +
               m_tag.title + CRLF + QStringLiteral("アルバム名：") + m_tag.album;
    }

    bool setUpEncoder() {
        for (int attempt = 0; attempt < MaxEncoderSetUps; ++attempt) {
            letEventsRun();
            if (m_encoder.initializeWork() != 0)
                break;
            m_encoderSetUp = true;
            m_encoder.getUnitStates();
            m_encoder.setConfigure(codecs::Encoder::InputFile, 0, m_wav);
            m_encoder.setConfigure(codecs::Encoder::OutputFile, 0, m_mp3);
            m_encoder.setConfigure(codecs::Encoder::OutputRate, 44100);
            m_encoder.setConfigure(codecs::Encoder::Mode, m_channelMode);
            m_encoder.setConfigure(codecs::Encoder::BitRate, m_bitRate);
            const int check = m_encoder.detectConfigure();
            if (check == 0)
                return true;
            m_encoder.closeCoder();
            m_encoder.endCoder();
            m_encoderSetUp = false;
            if (check == codecs::Encoder::CannotOpenInput) {
                show(QStringLiteral("変換作業ファイルを開けませんでした") + CR +
                         QStringLiteral("作業フォルダにロングファイル名を利用している場合には、C:\\Temp "
                                        "等に変更してみてください。"),
                     Dialogs::Icon::Exclamation);
                return false;
            }
        }
        show(QStringLiteral("エンコード処理の初期化に失敗しました。"));
        return false;
    }

    bool encode() {
        if (!setUpEncoder())
            return false;
        int frameCount = 0;
        m_encoder.getConfigure(codecs::Encoder::FrameCount, frameCount);
        int counter = 0;
        int result = 0;
        do {
            result = m_encoder.processFrame();
            showPercent(halfPercent(counter, frameCount, 50));
            ++counter;
            if (m_form.CancelFlag == -1) {
                m_encoder.closeCoder();
                m_encoder.endCoder();
                m_encoderSetUp = false;
                DeleteFileForced(m_wav);
                DeleteFileForced(m_mp3);
                return false;
            }
        } while (result == codecs::Encoder::FrameDone);

        m_encoder.closeCoder();
        m_encoder.endCoder();
        m_encoderSetUp = false;
        if (result != codecs::Encoder::AllFramesDone) {
            show(QStringLiteral("変換作業でエラーが発生しました errcode = ") + QString::number(result),
                 Dialogs::Icon::Exclamation);
            return false;
        }
        return true;
    }

    bool tagAndCopy() {
        if (m_hasTag) {
            m_decoder.setTagInfo(m_mp3, m_tag);
            // The record holds only what fits an ID3v1 tag; the source's own ID3v2 tag carries the rest
            // (pictures, lyrics, long texts), so it replaces the one just written.
            m_decoder.copyId3v2Tag(m_source, m_mp3);
        }
        if (!CopyFileChecked(m_mp3, m_destination, false)) {
            show(QStringLiteral("変換ファイルの作成に失敗しました。"));
            m_form.CancelFlag = -1;
        }
        return true;
    }

    MainForm& m_form;
    const QString m_source;
    const QString m_destination;
    const int m_bitRate;
    const int m_channelMode;
    QString m_wav;
    QString m_mp3;
    codecs::Decoder m_decoder;
    codecs::Encoder m_encoder;
    codecs::TagRecord m_tag;
    bool m_hasTag = false;
    bool m_decoderSetUp = false;
    bool m_encoderSetUp = false;
};

} // namespace

void MainForm::ConvertFile(const QString& sourcePath, const QString& destinationPath, int bitRate,
                           int channelMode) {
    SingleFileConversion(*this, sourcePath, destinationPath, bitRate, channelMode).run();
}
