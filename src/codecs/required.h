// The table entry an operation is called through, for both bindings.
#pragma once

#include "codecs/library_loader.h"

namespace codecs {

// The entry, or CodecError naming the library and the operation when the (fake) table lacks it.
template <typename Function>
[[nodiscard]] Function required(Function function, Library library, const char* operation) {
    if (function == nullptr)
        throw missingOperationError(library, operation);
    return function;
}

} // namespace codecs
