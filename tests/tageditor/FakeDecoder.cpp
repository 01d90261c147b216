#include "FakeDecoder.h"

#include <QString>

VBMP3_TAG_INFO FakeDecoder::tag{};
bool FakeDecoder::tagFound = true;
QList<int> FakeDecoder::namelessGenres;
int FakeDecoder::genreCalls = 0;
QList<QByteArray> FakeDecoder::readPaths;
QList<WrittenTag> FakeDecoder::written;
int16_t FakeDecoder::writeResult = 1;

namespace {

int16_t getGenre(VBMP3_SHORT_TAG_INFO* record) {
    ++FakeDecoder::genreCalls;
    std::memset(record->genreName, 0, sizeof record->genreName);
    if (!FakeDecoder::namelessGenres.contains(record->genre)) {
        // Padded with blanks, which the editor drops.
        const QByteArray name = " Name " + QByteArray::number(record->genre) + "  ";
        std::memcpy(record->genreName, name.constData(), size_t(name.size()));
    }
    return 1;
}

int16_t getFileTagInfoEX(const char* fileName, VBMP3_TAG_INFO* record) {
    FakeDecoder::readPaths.append(QByteArray(fileName));
    *record = FakeDecoder::tag;
    return FakeDecoder::tagFound ? 1 : 0;
}

int16_t setTagInfoEX(const char* fileName, const VBMP3_TAG_INFO* record, int32_t optionA, int32_t optionB) {
    FakeDecoder::written.append({QByteArray(fileName), *record, optionA, optionB});
    return FakeDecoder::writeResult;
}

} // namespace

FakeDecoder::FakeDecoder(bool withGenres, bool withWrite) {
    tag = VBMP3_TAG_INFO{};
    tag.genre = -1;
    tag.trackNo = -1;
    tagFound = true;
    namelessGenres.clear();
    genreCalls = 0;
    readPaths.clear();
    written.clear();
    writeResult = 1;

    codecs::DecoderFunctions functions;
    functions.getGenre = withGenres ? &getGenre : nullptr;
    functions.getFileTagInfoEX = &getFileTagInfoEX;
    functions.setTagInfoEX = withWrite ? &setTagInfoEX : nullptr;
    codecs::installDecoderFunctions(functions);
}

FakeDecoder::~FakeDecoder() {
    codecs::resetDecoderFunctions();
}
