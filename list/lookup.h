// Finding an entry's line in the list text and one of its fields.
#pragma once

#include <cstdint>
#include <string_view>

namespace qtr {

enum Field : int { FieldTitle = 1, FieldKana = 2, FieldMaker = 3 };

// The only selector the list functions serve.
constexpr int32_t kListSelector = 100;

// A field found in the list: `status` is 0 and `text` points into the
// caller's list text, or `status` is ResultNotFound or ResultNoField.
struct FieldLookup {
    int32_t status;
    std::string_view text;
};

// Finds `field` of the entry named `name` (ASCII case ignored) in place:
// the list is never copied and is scanned once, up to the entry's line.
// The entry is the first line that starts with the lowered name and a TAB.
// Fields never reach past the end of their own line: a line with too few
// fields gives ResultNoField. A null list or name, or a name holding TAB,
// CR or LF (no entry can have such a name), gives ResultNotFound.
FieldLookup FindField(const char* listText, const char* name, int32_t selector, Field field);

// FindField, handed to CopyResult.
int32_t LookupField(const char* listText, const char* name, int32_t selector, char** out,
                    int32_t outSize, Field field);

}  // namespace qtr
