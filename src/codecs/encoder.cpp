#include "codecs/encoder.h"
#include "codecs/functions.h"
#include "codecs/library_loader.h"
#include "codecs/required.h"

#include <QFile>

namespace codecs {

QByteArray Encoder::getVersion(int& number) {
    QByteArray buffer(VersionBufferSize, ' ');
    int32_t version = 0;
    // The buffer is the whole report: versionText() judges whether the library is usable from it.
    static_cast<void>(required(encoderFunctions().getVersion, Library::Encoder,
                               "MPGE_getVersionVB")(&version, buffer.data()));
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
    return required(encoderFunctions().initializeWork, Library::Encoder, "MPGE_initializeWorkVB")();
}

int Encoder::getUnitStates() {
    int32_t units = 0;
    // The operation always succeeds; the units are its whole report.
    static_cast<void>(
        required(encoderFunctions().getUnitStates, Library::Encoder, "MPGE_getUnitStatesVB")(&units));
    return units;
}

int Encoder::setConfigure(int item, int number, const QString& text) {
    const QByteArray bytes = QFile::encodeName(text);
    return required(encoderFunctions().setConfigure, Library::Encoder,
                    "MPGE_setConfigureVB")(item, number, text.isNull() ? nullptr : bytes.constData());
}

int Encoder::detectConfigure() {
    return required(encoderFunctions().detectConfigure, Library::Encoder, "MPGE_detectConfigureVB")();
}

int Encoder::getConfigure(int item, int& value) {
    int32_t v = 0;
    const int32_t rc =
        required(encoderFunctions().getConfigure, Library::Encoder, "MPGE_getConfigureVB")(item, &v);
    value = v;
    return rc;
}

int Encoder::processFrame() {
    return required(encoderFunctions().processFrame, Library::Encoder, "MPGE_processFrameVB")();
}

void Encoder::closeCoder() {
    required(encoderFunctions().closeCoder, Library::Encoder, "MPGE_closeCoderVB")();
}

void Encoder::endCoder() {
    required(encoderFunctions().endCoder, Library::Encoder, "MPGE_endCoderVB")();
}

} // namespace codecs
