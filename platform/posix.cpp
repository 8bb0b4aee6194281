#include <fcntl.h>
#include <locale.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstring>
#include <locale>
#include <mutex>
#include <string>

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
    // The name alone is opened relative to the working directory: the same
    // file as the full path, without asking for the directory first and
    // with no limit on its length. Every call pays for these system calls,
    // so there are as few as can be: open, one read, close.
    const int fd = ::open(fileName, O_RDONLY | O_CLOEXEC);
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

const char* JapaneseLocaleName() { return "ja_JP.sjis"; }

bool InJapaneseLocale() {
    const char* name = JapaneseLocaleName();
    const char* current = std::setlocale(LC_ALL, nullptr);
    return current != nullptr && std::strcmp(current, name) == 0 && std::locale().name() == name;
}

void SwitchToJapaneseLocale() {
    // setlocale and the global locale are process-wide and setlocale is not
    // safe against itself: one switch at a time.
    static std::mutex switching;
    std::lock_guard<std::mutex> lock(switching);

    const char* name = JapaneseLocaleName();
    const char* current = std::setlocale(LC_ALL, nullptr);
    if (current != nullptr && std::strcmp(current, name) == 0 && std::locale().name() == name) {
        return;  // already there: building the locale again costs far more than this check
    }
    // Ask the C library first, so that a missing locale is found without
    // the standard library throwing.
    locale_t probe = ::newlocale(LC_ALL_MASK, name, static_cast<locale_t>(0));
    if (probe == static_cast<locale_t>(0)) return;
    ::freelocale(probe);
    try {
        // A named global locale also sets the C library's locale.
        std::locale::global(std::locale(name));
    } catch (...) {
        // The standard library does not know it after all: keep the process
        // as it is.
    }
}

}  // namespace qtr::platform
