#include "codecs/encoder.h"
#include "codecs/functions.h"
#include "codecs/library_loader.h"

#include <QFile>

namespace codecs {
namespace {

template <typename Function> Function required(Function function, const char* operation) {
    if (function == nullptr) {
        throw missingOperationError(Library::Encoder, operation);
    }
    return function;
}

} // namespace

QByteArray Encoder::getVersion(int& number) {
    QByteArray buffer(VersionBufferSize, ' ');
    int32_t version = 0;
    required(encoderFunctions().getVersion, "MPGE_getVersionVB")(&version, buffer.data());
    number = version;
    return buffer;
}

std::optional<QString> Encoder::versionText(const QByteArray& buffer) {
    const qsizetype nul = buffer.indexOf('\0');
    if (nul <= 0) {
        return std::nullopt;
    }
    return QString::fromUtf8(buffer.left(nul));
}

int Encoder::initializeWork() {
    return required(encoderFunctions().initializeWork, "MPGE_initializeWorkVB")();
}

int Encoder::getUnitStates() {
    int32_t units = 0;
    required(encoderFunctions().getUnitStates, "MPGE_getUnitStatesVB")(&units);
    return units;
}

void Encoder::setConfigure(int item, int number, const QString& text) {
    const QByteArray bytes = QFile::encodeName(text);
    required(encoderFunctions().setConfigure,
             "MPGE_setConfigureVB")(item, number, text.isNull() ? nullptr : bytes.constData());
}

int Encoder::detectConfigure() {
    return required(encoderFunctions().detectConfigure, "MPGE_detectConfigureVB")();
}

int Encoder::getConfigure(int item, int& value) {
    int32_t v = 0;
    const int32_t rc = required(encoderFunctions().getConfigure, "MPGE_getConfigureVB")(item, &v);
    value = v;
    return rc;
}

int Encoder::processFrame() {
    return required(encoderFunctions().processFrame, "MPGE_processFrameVB")();
}

void Encoder::closeCoder() {
    required(encoderFunctions().closeCoder, "MPGE_closeCoderVB")();
}

void Encoder::endCoder() {
    required(encoderFunctions().endCoder, "MPGE_endCoderVB")();
}

} // namespace codecs
