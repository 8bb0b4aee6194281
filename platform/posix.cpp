#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>
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
    if (!CurrentDirectory(path)) path.clear();
    path += '/';
    path += fileName;
    return path;
}

long ReadWorkingDirectoryFile(const char* fileName, char* buffer, size_t capacity) {
    const std::string path = WorkingDirectoryPath(fileName);
    // O_NONBLOCK: a FIFO in the file's place would otherwise block the
    // open until some writer came, hanging the host. Only a regular file
    // is read; a FIFO, a device or a directory counts as no file.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return -1;
    struct stat status;
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return -1;
    }
    size_t total = 0;
    while (total < capacity) {
        const ssize_t n = ::read(fd, buffer + total, capacity - total);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            // A directory opens but cannot be read: treat it as no file.
            ::close(fd);
            return -1;
        }
        if (n == 0) break;
        total += static_cast<size_t>(n);
    }
    ::close(fd);
    return static_cast<long>(total);
}

const char* JapaneseLocaleName() { return "ja_JP.sjis"; }

void SwitchToJapaneseLocale() {
    // setlocale and the global locale are process-wide and setlocale is not
    // safe against itself: one switch at a time. Every call takes the
    // lock, so whatever is done under it happens before any thread that
    // has called this builds a pattern.
    static std::mutex switching;
    static const std::ctype<char>* filled = nullptr;  // facet whose cache is filled
    std::lock_guard<std::mutex> lock(switching);

    // The global locale of the moment (set by us or by the host) gets its
    // narrow cache filled once, for the patterns built under it.
    auto fillGlobal = [] {
        const std::locale global;
        const std::ctype<char>* facet = &std::use_facet<std::ctype<char>>(global);
        if (facet != filled) {
            FillNarrowCache(global);
            filled = facet;
        }
    };

    const char* name = JapaneseLocaleName();
    const char* current = std::setlocale(LC_ALL, nullptr);
    if (current != nullptr && std::strcmp(current, name) == 0 && std::locale().name() == name) {
        fillGlobal();
        return;  // already there: building the locale again costs far more than this check
    }
    // Ask the C library first, so that a missing locale is found without
    // the standard library throwing.
    locale_t probe = ::newlocale(LC_ALL_MASK, name, static_cast<locale_t>(0));
    if (probe == static_cast<locale_t>(0)) {
        fillGlobal();
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
    fillGlobal();
}

}  // namespace qtr::platform
