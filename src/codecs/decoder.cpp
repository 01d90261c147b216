#include "codecs/decoder.h"
#include "codecs/functions.h"
#include "codecs/library_loader.h"
#include "codecs/required.h"
#include "codecs/tag_layout.h"

#include <QFile>

namespace codecs {
namespace {

QByteArray fileName(const QString& path) {
    return QFile::encodeName(path);
}

} // namespace

bool Decoder::init() {
    return required(decoderFunctions().init, Library::Decoder, "vbmp3_init")() != 0;
}

bool Decoder::getFileInfo(const QString& path) {
    VBMP3_SHORT_TAG_INFO tag{};
    VBMP3_MPEG_INFO info{};
    return required(decoderFunctions().getFileInfo, Library::Decoder,
                    "vbmp3_getFileInfo")(fileName(path).constData(), &tag, &info) != 0;
}

bool Decoder::getFileTagInfo(const QString& path, TagRecord& record) {
    VBMP3_TAG_INFO layout;
    packTagRecord(record, layout);
    const int16_t found = required(decoderFunctions().getFileTagInfoEX, Library::Decoder,
                                   "vbmp3_getFileTagInfoEX")(fileName(path).constData(), &layout);
    record = unpackTagRecord(layout);
    return found != 0;
}

bool Decoder::open(const QString& path, InputInfo& info) {
    VBMP3_INPUT_INFO layout{};
    const int16_t ok = required(decoderFunctions().open, Library::Decoder,
                                "vbmp3_open")(fileName(path).constData(), &layout);
    info = unpackInputInfo(layout);
    return ok != 0;
}

bool Decoder::decodeWave(const QString& wavPath) {
    return required(decoderFunctions().decodeWave, Library::Decoder,
                    "vbmp3_decodeWave")(fileName(wavPath).constData()) != 0;
}

int Decoder::getState(int& position) {
    int32_t pos = 0;
    const int32_t state = required(decoderFunctions().getState, Library::Decoder, "vbmp3_getState")(&pos);
    position = pos;
    return state;
}

void Decoder::close() {
    required(decoderFunctions().close, Library::Decoder, "vbmp3_close")();
}

void Decoder::free() {
    required(decoderFunctions().free, Library::Decoder, "vbmp3_free")();
}

bool Decoder::setTagInfo(const QString& path, const TagRecord& record) {
    VBMP3_TAG_INFO layout;
    packTagRecord(record, layout);
    return required(decoderFunctions().setTagInfoEX, Library::Decoder,
                    "vbmp3_setTagInfoEX")(fileName(path).constData(), &layout, 1, 1) != 0;
}

int Decoder::lastTagError() {
    const auto function = decoderFunctions().getTagError;
    return function == nullptr ? -1 : function();
}

QString Decoder::genreName(int number) {
    TagRecord record;
    record.genre = number;
    VBMP3_SHORT_TAG_INFO layout;
    packShortTagRecord(record, layout);
    // Zero for a genre without a name, whose name field the library leaves empty: the empty name says it.
    static_cast<void>(required(decoderFunctions().getGenre, Library::Decoder, "vbmp3_getGenre")(&layout));
    return unpackShortTagRecord(layout).genreName;
}

bool Decoder::copyId3v2Tag(const QString& from, const QString& to) {
    return required(decoderFunctions().copyTagV2, Library::Decoder,
                    "vbmp3_copyTagV2")(fileName(from).constData(), fileName(to).constData()) != 0;
}

namespace {

// Carries the caller's picture fitter through the library's C callback, and keeps the replacement alive
// until the library has copied it.
struct PictureFitContext {
    const std::function<std::optional<QByteArray>(const QByteArray&)>* fit;
    QByteArray last;
};

int32_t fitPictureTrampoline(void* context, const unsigned char* data, size_t size,
                             const unsigned char** jpeg, size_t* jpegSize) {
    auto* self = static_cast<PictureFitContext*>(context);
    const std::optional<QByteArray> fitted =
        (*self->fit)(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (!fitted)
        return 0;
    self->last = *fitted;
    *jpeg = reinterpret_cast<const unsigned char*>(self->last.constData());
    *jpegSize = size_t(self->last.size());
    return 1;
}

} // namespace

bool Decoder::reworkTag(const QString& path, const TagRework& rework, QStringList& dropped) {
    QByteArray pairs;
    for (const auto& [name, value] : rework.userTexts)
        pairs += name.toUtf8() + '\0' + value.toUtf8() + '\0';
    pairs += '\0';
    PictureFitContext context{&rework.fitPicture, {}};
    VBMP3_TAG_REWORK options{};
    options.version = rework.id3v23 ? 3 : 0;
    options.dropReplayGain = rework.dropReplayGain ? 1 : 0;
    options.userTexts = pairs.constData();
    options.fitPicture = rework.fitPicture ? &fitPictureTrampoline : nullptr;
    options.context = &context;
    char notes[1024] = {};
    const bool done = required(decoderFunctions().reworkTagV2, Library::Decoder, "vbmp3_reworkTagV2")(
                          fileName(path).constData(), &options, notes, int32_t(sizeof notes)) != 0;
    dropped = QString::fromUtf8(notes).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    return done;
}

std::optional<QString> Decoder::userText(const QString& path, const QString& description) {
    // The program's own TXXX values are short; 4 KB holds any of them.
    QByteArray value(4096, '\0');
    const int16_t found = required(decoderFunctions().getUserText, Library::Decoder, "vbmp3_getUserText")(
        fileName(path).constData(), description.toUtf8().constData(), value.data(), int32_t(value.size()));
    if (found == 0)
        return std::nullopt;
    return QString::fromUtf8(value.constData());
}

bool Decoder::setUserText(const QString& path, const QString& description, const QString& value) {
    return required(decoderFunctions().setUserText, Library::Decoder, "vbmp3_setUserText")(
               fileName(path).constData(), description.toUtf8().constData(), value.toUtf8().constData()) != 0;
}

std::optional<StreamEstimate> Decoder::estimateFileInfo(const QString& path) {
    VBMP3_MPEG_INFO info{};
    if (required(decoderFunctions().estimateFileInfo, Library::Decoder,
                 "vbmp3_estimateFileInfo")(fileName(path).constData(), &info) == 0)
        return std::nullopt;
    return StreamEstimate{info.bitRate, info.samplingRate, info.channels, info.durationMs};
}

int Decoder::completeRewrites(const QString& folder) {
    const auto function = decoderFunctions().completeRewrites;
    return function == nullptr ? -1 : function(fileName(folder).constData());
}

} // namespace codecs
