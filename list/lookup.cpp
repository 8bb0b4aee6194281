#include "list/lookup.h"

#include <cstring>
#include <string>

#include "list/scan.h"
#include "plugin/result.h"
#include "text/bytes.h"

namespace qtr {

namespace {

FieldLookup Fail(int32_t status) { return FieldLookup{status, {}}; }

// Where the entry's line starts, or null. The primary key is LF, name, TAB;
// an entry on the very first line has no LF before it and is recognised by
// the key without its LF at offset 0.
const char* FindEntry(const char* listText, const std::string& key) {
    if (const char* hit = FindListKey(listText, key.c_str(), key.size())) return hit + 1;
    if (std::strncmp(listText, key.c_str() + 1, key.size() - 1) == 0) return listText;
    return nullptr;
}

}  // namespace

FieldLookup FindField(const char* listText, const char* name, int32_t selector, Field field) {
    if (selector != kListSelector) return Fail(ResultNotFound);
    if (listText == nullptr || name == nullptr) return Fail(ResultNotFound);

    std::string key;
    key.reserve(std::strlen(name) + 2);
    key.push_back('\n');
    for (const char* p = name; *p != '\0'; ++p) {
        if (*p == '\t' || *p == '\n' || *p == '\r') return Fail(ResultNotFound);
        key.push_back(LowerAscii(*p));
    }
    key.push_back('\t');

    const char* position = FindEntry(listText, key);
    if (position == nullptr) return Fail(ResultNotFound);

    // Skip `field` TABs, the first of which ends the name, without leaving
    // the line.
    for (int i = 0; i < field; ++i) {
        position += std::strcspn(position, "\t\n");
        if (*position != '\t') return Fail(ResultNoField);
        ++position;
    }

    if (field == FieldMaker) {
        // The last field ends at the line end (CR or LF) or the end of text.
        return FieldLookup{0, std::string_view(position, std::strcspn(position, "\r\n"))};
    }
    const size_t length = std::strcspn(position, "\t\n");
    if (position[length] != '\t') return Fail(ResultNoField);
    return FieldLookup{0, std::string_view(position, length)};
}

int32_t LookupField(const char* listText, const char* name, int32_t selector, char** out,
                    int32_t outSize, Field field) {
    const FieldLookup found = FindField(listText, name, selector, field);
    if (found.status != 0) return found.status;
    return CopyResult(found.text, out, outSize);
}

}  // namespace qtr
