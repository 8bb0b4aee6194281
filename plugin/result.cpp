#include "plugin/result.h"

#include <cstring>
#include <limits>

namespace qtr {

int32_t CopyResult(std::string_view text, char** out, int32_t outSize) {
    constexpr size_t kMaxRoom = static_cast<size_t>(std::numeric_limits<int32_t>::max());
    if (outSize <= 0 || out == nullptr || *out == nullptr) {
        // A faulty host may pass a negative size or no buffer: it gets the
        // size query's answer and nothing is written.
        return static_cast<int32_t>(text.size() >= kMaxRoom ? kMaxRoom : text.size() + 1);
    }
    size_t count = text.size();
    if (count > static_cast<size_t>(outSize) - 1) count = static_cast<size_t>(outSize) - 1;
    char* buffer = *out;
    if (count > 0) std::memcpy(buffer, text.data(), count);
    buffer[count] = '\0';
    return static_cast<int32_t>(count);
}

}  // namespace qtr
