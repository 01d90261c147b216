#include "codecs/functions.h"
#include "codecs/library_loader.h"

#include <algorithm>
#include <atomic>
#include <cstddef>

namespace codecs {
namespace {

// An operation name usable as a template argument.
template <std::size_t N> struct OperationName {
    constexpr OperationName(const char (&name)[N]) { std::copy_n(name, N, text); }
    char text[N];
};

// Stands in for an operation: resolves it in the library on the first call and calls it. The pointer is
// kept until the library's location changes; the conversion polls vbmp3_getState in a tight loop.
template <Library library, OperationName name, typename Result, typename... Args> Result call(Args... args) {
    using Function = Result (*)(Args...);
    static std::atomic<QFunctionPointer> cached{nullptr};
    static std::atomic<unsigned> cachedGeneration{0};
    QFunctionPointer function = cached.load(std::memory_order_acquire);
    const unsigned generation = libraryGeneration();
    if (function == nullptr || cachedGeneration.load(std::memory_order_relaxed) != generation) {
        function = resolveOperation(library, name.text);
        cachedGeneration.store(generation, std::memory_order_relaxed);
        cached.store(function, std::memory_order_release);
    }
    return reinterpret_cast<Function>(function)(args...);
}

constexpr Library D = Library::Decoder;
constexpr Library E = Library::Encoder;

const DecoderFunctions kRealDecoder{
    .init = &call<D, "vbmp3_init", int16_t>,
    .getFileInfo =
        &call<D, "vbmp3_getFileInfo", int16_t, const char*, VBMP3_SHORT_TAG_INFO*, VBMP3_MPEG_INFO*>,
    .getFileTagInfoEX = &call<D, "vbmp3_getFileTagInfoEX", int16_t, const char*, VBMP3_TAG_INFO*>,
    .open = &call<D, "vbmp3_open", int16_t, const char*, VBMP3_INPUT_INFO*>,
    .decodeWave = &call<D, "vbmp3_decodeWave", int16_t, const char*>,
    .getState = &call<D, "vbmp3_getState", int32_t, int32_t*>,
    .close = &call<D, "vbmp3_close", void>,
    .free = &call<D, "vbmp3_free", void>,
    .setTagInfoEX =
        &call<D, "vbmp3_setTagInfoEX", int16_t, const char*, const VBMP3_TAG_INFO*, int32_t, int32_t>,
    .getGenre = &call<D, "vbmp3_getGenre", int16_t, VBMP3_SHORT_TAG_INFO*>,
    .copyTagV2 = &call<D, "vbmp3_copyTagV2", int16_t, const char*, const char*>,
    .reworkTagV2 =
        &call<D, "vbmp3_reworkTagV2", int16_t, const char*, const VBMP3_TAG_REWORK*, char*, int32_t>,
    .getTagError = &call<D, "vbmp3_getTagError", int32_t>,
    .getUserText = &call<D, "vbmp3_getUserText", int16_t, const char*, const char*, char*, int32_t>,
    .setUserText = &call<D, "vbmp3_setUserText", int16_t, const char*, const char*, const char*>,
    .estimateFileInfo = &call<D, "vbmp3_estimateFileInfo", int16_t, const char*, VBMP3_MPEG_INFO*>,
    .completeRewrites = &call<D, "vbmp3_completeRewrites", int32_t, const char*>,
};

const EncoderFunctions kRealEncoder{
    .getVersion = &call<E, "MPGE_getVersionVB", int32_t, int32_t*, char*>,
    .initializeWork = &call<E, "MPGE_initializeWorkVB", int32_t>,
    .getUnitStates = &call<E, "MPGE_getUnitStatesVB", int32_t, int32_t*>,
    .setConfigure = &call<E, "MPGE_setConfigureVB", int32_t, int32_t, int32_t, const char*>,
    .detectConfigure = &call<E, "MPGE_detectConfigureVB", int32_t>,
    .getConfigure = &call<E, "MPGE_getConfigureVB", int32_t, int32_t, int32_t*>,
    .processFrame = &call<E, "MPGE_processFrameVB", int32_t>,
    .closeCoder = &call<E, "MPGE_closeCoderVB", void>,
    .endCoder = &call<E, "MPGE_endCoderVB", void>,
};

DecoderFunctions& currentDecoder() {
    static DecoderFunctions table = kRealDecoder;
    return table;
}

EncoderFunctions& currentEncoder() {
    static EncoderFunctions table = kRealEncoder;
    return table;
}

} // namespace

const DecoderFunctions& realDecoderFunctions() {
    return kRealDecoder;
}

const EncoderFunctions& realEncoderFunctions() {
    return kRealEncoder;
}

const DecoderFunctions& decoderFunctions() {
    return currentDecoder();
}

const EncoderFunctions& encoderFunctions() {
    return currentEncoder();
}

void installDecoderFunctions(const DecoderFunctions& functions) {
    currentDecoder() = functions;
}

void installEncoderFunctions(const EncoderFunctions& functions) {
    currentEncoder() = functions;
}

void resetDecoderFunctions() {
    currentDecoder() = kRealDecoder;
}

void resetEncoderFunctions() {
    currentEncoder() = kRealEncoder;
}

} // namespace codecs
