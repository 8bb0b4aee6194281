// The seven exported functions. Each is a thin shell: the work is in
// list/, settings/ and title/. No exception ever leaves one.
#include <new>
#include <string>

#include "list/lookup.h"
#include "platform/platform.h"
#include "plugin/identity.h"
#include "plugin/result.h"
#include "quillmarsh_to_Rookfable.h"
#include "settings/settings.h"
#include "title/version.h"

namespace {

using namespace qtr;

// Runs one export's body. The only exception the bodies can meet is memory
// running out (pattern errors are handled where they occur); whatever it
// is, the host gets a result code, never an unwinding stack. The unwinder
// is made ready first: on 32-bit Windows its tables may have gone to
// another module's runtime when the DLL was loaded.
template <typename Body>
int32_t Guarded(Body body) noexcept {
    platform::PrepareExceptionHandling();
    try {
        return body();
    } catch (...) {
        return ResultNoMemory;
    }
}

int32_t ListField(const char* listText, const char* name, int32_t selector, char** out,
                  int32_t outSize, Field field) {
    return Guarded([&] { return LookupField(listText, name, selector, out, outSize, field); });
}

}  // namespace

extern "C" {

QTR_API int32_t QTR_CALL GetPluginVersion(void) { return kPluginVersion; }

QTR_API int32_t QTR_CALL GetPluginAuthor(char** out, int32_t outSize) {
    return CopyResult(kPluginAuthor, out, outSize);
}

QTR_API int32_t QTR_CALL GetPluginInfo(char** out, int32_t outSize) {
    return CopyResult(kPluginInfo, out, outSize);
}

QTR_API int32_t QTR_CALL GetKana(const char* listText, const char* name, int32_t selector,
                                 char** out, int32_t outSize) {
    return ListField(listText, name, selector, out, outSize, FieldKana);
}

QTR_API int32_t QTR_CALL GetMaker(const char* listText, const char* name, int32_t selector,
                                  char** out, int32_t outSize) {
    return ListField(listText, name, selector, out, outSize, FieldMaker);
}

QTR_API int32_t QTR_CALL GetVersion(const char* listText, const char* name, int32_t selector,
                                    char** out, int32_t outSize) {
    return Guarded([&] {
        // The lookup comes first: a wrong selector or a missing entry
        // leaves the settings unread and the locale untouched.
        const FieldLookup title = FindField(listText, name, selector, FieldTitle);
        if (title.status != 0) return title.status;
        const Settings settings = LoadSettings();
        const VersionLookup found = FindVersion(title.text, settings);
        if (found.status != 0) return found.status;
        return CopyResult(found.version, out, outSize);
    });
}

QTR_API int32_t QTR_CALL GetTitle(const char* listText, const char* name, int32_t selector,
                                  char** out, int32_t outSize) {
    return Guarded([&] {
        // Settings first, before the selector test: every call switches
        // the locale.
        const Settings settings = LoadSettings();
        const FieldLookup title = FindField(listText, name, selector, FieldTitle);
        if (title.status != 0) return title.status;
        if (KeepsTitle(settings)) return CopyResult(title.text, out, outSize);
        const VersionLookup found = FindVersion(title.text, settings);
        if (found.status != 0 || found.version.empty()) {
            return CopyResult(title.text, out, outSize);  // no version: untouched, untrimmed
        }
        return CopyResult(RemoveVersion(title.text, found.version), out, outSize);
    });
}

}  // extern "C"
