#include "core/convert/OutcomeText.h"

#include "core/text/TextConstants.h"

namespace core {
namespace {

const QChar CR = QLatin1Char('\r');

// A work folder with a short name of this system, suggested when the encoder cannot open a work file.
#ifdef Q_OS_WIN
const QString ShortFolder = QStringLiteral("C:\\Temp");
#else
const QString ShortFolder = QStringLiteral("/tmp");
#endif

QString withLine(const QString& text, const QString& line) {
    return line.isEmpty() ? text : text + CR + line;
}

} // namespace

OutcomeMessage outcomeMessage(const Outcome& outcome, const QString& source) {
    OutcomeMessage message;
    message.shown = true;
    message.failure = outcome.failure;
    switch (outcome.failure) {
    case Failure::None:
    case Failure::Cancelled:
        return {};
    case Failure::EncoderUnavailable:
        message.text = withLine(QStringLiteral("GOGO.DLL が利用できません。"), outcome.reason);
        break;
    case Failure::DecoderSetUp:
        message.text = QStringLiteral("デコード処理の初期化に失敗しました。");
        break;
    case Failure::SourceUnreadable:
        message.text = QStringLiteral("ファイル情報の取得に失敗しました。") + CR + source;
        break;
    case Failure::EncoderSetUp:
        message.text = QStringLiteral("エンコード処理の初期化に失敗しました。");
        break;
    case Failure::WorkFileUnopenable:
        message.text = QStringLiteral("変換作業ファイルを開けませんでした") + CR +
                       QStringLiteral("作業フォルダにロングファイル名を利用している場合には、%1 "
                                      "等に変更してみてください。")
                           .arg(ShortFolder);
        break;
    case Failure::FrameError:
        message.text = withLine(QStringLiteral("変換作業でエラーが発生しました errcode = ") +
                                    QString::number(outcome.code),
                                outcome.cause);
        break;
    case Failure::DecodeFault:
        message.text = QStringLiteral("変換処理でエラーが発生しました。(Temp.tmp)") + CR + outcome.reason;
        break;
    case Failure::EncodeFault:
        message.text = QStringLiteral("変換処理でエラーが発生しました。(MP3Temp.tmp)") + CR + outcome.reason;
        break;
    case Failure::TagFault:
        message.text = withLine(
            QStringLiteral("IDタグ書き込みでエラーが発生しました。") + CR + outcome.reason, outcome.cause);
        break;
    case Failure::CopyFailed:
        message.text = withLine(withLine(DestinationFailedText, outcome.reason), outcome.cause);
        break;
    case Failure::WorkerLost:
        message.text = QStringLiteral("変換処理でエラーが発生しました。") + CR + outcome.reason;
        break;
    }
    return message;
}

QString outcomeLine(const Outcome& outcome, const QString& source) {
    QString text = outcomeMessage(outcome, source).text;
    text.replace(CR, QStringLiteral(" / "));
    return text;
}

} // namespace core
