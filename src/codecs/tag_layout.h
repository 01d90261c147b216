// The byte layouts of the records in tag_record.h, as the decoder library's header defines them. Only the
// bindings (and their tests) convert between the two; the rest of the program sees the records alone.
#pragma once

#include "codecs/tag_record.h"
#include "vbmp3.h"

namespace codecs {

// Byte layouts of a record. Texts are blank-padded to their fields, empty ones included; a null text (one
// nobody set, as in a default-constructed record) leaves its field all NUL, so a default-constructed record
// packs to all zero bytes. The genre name is written only when it is not empty.
void packTagRecord(const TagRecord& record, VBMP3_TAG_INFO& layout);
TagRecord unpackTagRecord(const VBMP3_TAG_INFO& layout);
void packShortTagRecord(const TagRecord& record, VBMP3_SHORT_TAG_INFO& layout);
// The track number of the result is 0: the short record has none.
TagRecord unpackShortTagRecord(const VBMP3_SHORT_TAG_INFO& layout);
InputInfo unpackInputInfo(const VBMP3_INPUT_INFO& layout);

} // namespace codecs
