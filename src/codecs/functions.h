// The tables of library operations the bindings call through. Normally they load the real libraries on
// first use; tests install their own tables to make any operation fail or misbehave.
#pragma once

#include "gogo.h"
#include "vbmp3.h"

namespace codecs {

// One entry per operation of the decoder library, with its C signature. A null entry acts as an
// operation the library lacks.
struct DecoderFunctions {
    decltype(&vbmp3_init) init = nullptr;
    decltype(&vbmp3_getFileInfo) getFileInfo = nullptr;
    decltype(&vbmp3_getFileTagInfoEX) getFileTagInfoEX = nullptr;
    decltype(&vbmp3_open) open = nullptr;
    decltype(&vbmp3_decodeWave) decodeWave = nullptr;
    decltype(&vbmp3_getState) getState = nullptr;
    decltype(&vbmp3_close) close = nullptr;
    decltype(&vbmp3_free) free = nullptr;
    decltype(&vbmp3_setTagInfoEX) setTagInfoEX = nullptr;
    decltype(&vbmp3_getGenre) getGenre = nullptr;
    decltype(&vbmp3_copyTagV2) copyTagV2 = nullptr;
    decltype(&vbmp3_reworkTagV2) reworkTagV2 = nullptr;
    decltype(&vbmp3_getTagError) getTagError = nullptr;
    decltype(&vbmp3_getUserText) getUserText = nullptr;
    decltype(&vbmp3_setUserText) setUserText = nullptr;
    decltype(&vbmp3_estimateFileInfo) estimateFileInfo = nullptr;
    decltype(&vbmp3_completeRewrites) completeRewrites = nullptr;
};

struct EncoderFunctions {
    decltype(&MPGE_getVersionVB) getVersion = nullptr;
    decltype(&MPGE_initializeWorkVB) initializeWork = nullptr;
    decltype(&MPGE_getUnitStatesVB) getUnitStates = nullptr;
    decltype(&MPGE_setConfigureVB) setConfigure = nullptr;
    decltype(&MPGE_detectConfigureVB) detectConfigure = nullptr;
    decltype(&MPGE_getConfigureVB) getConfigure = nullptr;
    decltype(&MPGE_processFrameVB) processFrame = nullptr;
    decltype(&MPGE_closeCoderVB) closeCoder = nullptr;
    decltype(&MPGE_endCoderVB) endCoder = nullptr;
};

// Tables whose entries load the real library and resolve the operation when first called (throwing
// CodecError when that fails).
const DecoderFunctions& realDecoderFunctions();
const EncoderFunctions& realEncoderFunctions();

// The tables in use; the real ones until a test installs others.
const DecoderFunctions& decoderFunctions();
const EncoderFunctions& encoderFunctions();
void installDecoderFunctions(const DecoderFunctions& functions);
void installEncoderFunctions(const EncoderFunctions& functions);
void resetDecoderFunctions();
void resetEncoderFunctions();

} // namespace codecs
