// Builds only when the converter's header keeps the codec library's record layouts and the loudness
// library to itself: every file that includes it would otherwise depend on both.
#include "core/convert/Converter.h"

#ifdef VBMP3_H
#error "core/convert/Converter.h brings in the decoder library's header"
#endif
#ifdef EBUR128_H_
#error "core/convert/Converter.h brings in the loudness library's header"
#endif
