#include <fcntl.h>
#include <locale.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstring>
#include <locale>
#include <mutex>
#include <string>

#include "platform/narrow_cache.h"
#include "platform/platform.h"

namespace qtr::platform {

namespace {

// getcwd's answer, whatever its length: the buffer grows until it fits.
bool CurrentDirectory(std::string& directory) {
    size_t size = 256;
    for (;;) {
        directory.resize(size);
        if (::getcwd(&directory[0], size) != nullptr) {
            directory.resize(std::strlen(directory.c_str()));
            return true;
        }
        if (errno != ERANGE) return false;
        size *= 2;
    }
}

}  // namespace

std::string WorkingDirectoryPath(const char* fileName) {
    std::string path;
    // A working directory that cannot be named (removed, or no permission
    // on a parent) still opens the name relative to it.
    if (!CurrentDirectory(path)) return fileName;
    path += '/';
    path += fileName;
    return path;
}

long ReadWorkingDirectoryFile(const char* fileName, char* buffer, size_t capacity) {
    // The name alone is opened relative to the working directory: the same
    // file as the full path, without asking for the directory first and
    // with no limit on its length. Every call pays for these system calls,
    // so there are as few as can be: open, one read, close.
    // O_NONBLOCK: a FIFO in the file's place would otherwise block the
    // open until some writer came, hanging the host; so opened, one with no
    // writer reads as empty, and one with a writer but no data yet as no
    // file (EAGAIN). The flag means nothing to a regular file.
    const int fd = ::open(fileName, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return -1;
    size_t total = 0;
    while (total < capacity) {
        const size_t wanted = capacity - total;
        const ssize_t n = ::read(fd, buffer + total, wanted);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            // A directory opens but cannot be read: treat it as no file.
            ::close(fd);
            return -1;
        }
        total += static_cast<size_t>(n);
        // A read that comes back short has reached the end of a regular
        // file; asking again would only return 0.
        if (static_cast<size_t>(n) < wanted) break;
    }
    ::close(fd);
    return static_cast<long>(total);
}

size_t TextLength(const char* /*bytes*/, size_t count) { return count; }

const char* JapaneseLocaleName() { return "ja_JP.sjis"; }

std::locale PatternLocale() { return std::locale(); }

namespace {

// setlocale and the global locale are process-wide and setlocale is not
// safe against itself, nor is reading its answer while another thread
// changes it: one look or switch at a time. Every call of the library that
// builds a pattern has switched first, so whatever is done under the lock
// happens before it.
std::mutex switching;

bool CurrentLocaleIsJapanese() {
    const char* name = JapaneseLocaleName();
    const char* current = std::setlocale(LC_ALL, nullptr);
    return current != nullptr && std::strcmp(current, name) == 0 && std::locale().name() == name;
}

// The global locale of the moment (set by us or by the host) gets its
// narrow cache filled once, for the patterns built under it.
void FillGlobalNarrowCache() {
    static const std::ctype<char>* filled = nullptr;  // facet whose cache is filled
    const std::locale global;
    const std::ctype<char>* facet = &std::use_facet<std::ctype<char>>(global);
    if (facet != filled) {
        FillNarrowCache(global);
        filled = facet;
    }
}

}  // namespace

bool InJapaneseLocale() {
    std::lock_guard<std::mutex> lock(switching);
    return CurrentLocaleIsJapanese();
}

void SwitchToJapaneseLocale() {
    std::lock_guard<std::mutex> lock(switching);
    if (CurrentLocaleIsJapanese()) {
        // Already there: building the locale again costs far more than this
        // check.
        FillGlobalNarrowCache();
        return;
    }
    // Ask the C library first, so that a missing locale is found without
    // the standard library throwing.
    const char* name = JapaneseLocaleName();
    locale_t probe = ::newlocale(LC_ALL_MASK, name, static_cast<locale_t>(0));
    if (probe == static_cast<locale_t>(0)) {
        FillGlobalNarrowCache();
        return;
    }
    ::freelocale(probe);
    try {
        // Filled before it is shared, so no other thread can be reading.
        const std::locale japanese(name);
        FillNarrowCache(japanese);
        // A named global locale also sets the C library's locale.
        std::locale::global(japanese);
    } catch (...) {
        // The standard library does not know it after all: keep the process
        // as it is.
    }
    FillGlobalNarrowCache();
}

}  // namespace qtr::platform
