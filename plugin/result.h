// The result-buffer protocol shared by every export that returns text.
#pragma once

#include <cstdint>
#include <string_view>

#include "quillmarsh_to_Rookfable.h"

namespace qtr {

// Hands `text` to the caller. With no usable buffer (outSize 0 or negative,
// out or *out null) nothing is written and the result is the room needed,
// text length plus 1. Otherwise the text, cut to outSize - 1 bytes, and a
// NUL are written to *out, and the result is the number of text bytes
// written. Lengths beyond the int32_t range are clamped.
int32_t CopyResult(std::string_view text, char** out, int32_t outSize);

}  // namespace qtr
