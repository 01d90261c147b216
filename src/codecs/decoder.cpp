#include "codecs/decoder.h"
#include "codecs/functions.h"
#include "codecs/library_loader.h"

#include <QFile>

namespace codecs {
namespace {

// The table entry, or CodecError when the (fake) table lacks it.
template <typename Function> Function required(Function function, const char* operation) {
    if (function == nullptr) {
        throw missingOperationError(Library::Decoder, operation);
    }
    return function;
}

QByteArray fileName(const QString& path) {
    return QFile::encodeName(path);
}

} // namespace

bool Decoder::init() {
    return required(decoderFunctions().init, "vbmp3_init")() != 0;
}

void Decoder::getFileInfo(const QString& path) {
    VBMP3_SHORT_TAG_INFO tag{};
    VBMP3_MPEG_INFO info{};
    required(decoderFunctions().getFileInfo, "vbmp3_getFileInfo")(fileName(path).constData(), &tag, &info);
}

bool Decoder::getFileTagInfo(const QString& path, TagRecord& record) {
    VBMP3_TAG_INFO layout;
    packTagRecord(record, layout);
    const int16_t found = required(decoderFunctions().getFileTagInfoEX,
                                   "vbmp3_getFileTagInfoEX")(fileName(path).constData(), &layout);
    record = unpackTagRecord(layout);
    return found != 0;
}

bool Decoder::open(const QString& path, InputInfo& info) {
    VBMP3_INPUT_INFO layout{};
    const int16_t ok = required(decoderFunctions().open, "vbmp3_open")(fileName(path).constData(), &layout);
    info = unpackInputInfo(layout);
    return ok != 0;
}

void Decoder::decodeWave(const QString& wavPath) {
    required(decoderFunctions().decodeWave, "vbmp3_decodeWave")(fileName(wavPath).constData());
}

int Decoder::getState(int& position) {
    int32_t pos = 0;
    const int32_t state = required(decoderFunctions().getState, "vbmp3_getState")(&pos);
    position = pos;
    return state;
}

void Decoder::close() {
    required(decoderFunctions().close, "vbmp3_close")();
}

void Decoder::free() {
    required(decoderFunctions().free, "vbmp3_free")();
}

bool Decoder::setTagInfo(const QString& path, const TagRecord& record) {
    VBMP3_TAG_INFO layout;
    packTagRecord(record, layout);
    return required(decoderFunctions().setTagInfoEX, "vbmp3_setTagInfoEX")(fileName(path).constData(),
                                                                           &layout, 1, 1) != 0;
}

QString Decoder::genreName(int number) {
    TagRecord record;
    record.genre = number;
    VBMP3_SHORT_TAG_INFO layout;
    packShortTagRecord(record, layout);
    required(decoderFunctions().getGenre, "vbmp3_getGenre")(&layout);
    return unpackShortTagRecord(layout).genreName;
}

bool Decoder::copyId3v2Tag(const QString& from, const QString& to) {
    return required(decoderFunctions().copyTagV2, "vbmp3_copyTagV2")(fileName(from).constData(),
                                                                     fileName(to).constData()) != 0;
}

std::optional<QString> Decoder::userText(const QString& path, const QString& description) {
    // The program's own TXXX values are short; 4 KB holds any of them.
    QByteArray value(4096, '\0');
    const int16_t found = required(decoderFunctions().getUserText, "vbmp3_getUserText")(
        fileName(path).constData(), description.toUtf8().constData(), value.data(), int32_t(value.size()));
    if (found == 0)
        return std::nullopt;
    return QString::fromUtf8(value.constData());
}

bool Decoder::setUserText(const QString& path, const QString& description, const QString& value) {
    return required(decoderFunctions().setUserText, "vbmp3_setUserText")(
               fileName(path).constData(), description.toUtf8().constData(), value.toUtf8().constData()) != 0;
}

std::optional<StreamEstimate> Decoder::estimateFileInfo(const QString& path) {
    VBMP3_MPEG_INFO info{};
    if (required(decoderFunctions().estimateFileInfo, "vbmp3_estimateFileInfo")(fileName(path).constData(),
                                                                                &info) == 0)
        return std::nullopt;
    return StreamEstimate{info.bitRate, info.samplingRate, info.channels, info.durationMs};
}

} // namespace codecs
