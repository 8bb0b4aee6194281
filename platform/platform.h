// What differs between Windows and POSIX: the working directory, opening a
// file there, and the process-wide Japanese locale. The rest of the library
// is the same code on both.
#pragma once

#include <cstddef>
#include <string>

namespace qtr::platform {

// Reads up to `capacity` bytes of the file `fileName` in the process's
// current working directory, however long that directory's name is.
// Returns the number of bytes read, or -1 when the file cannot be opened
// or read, or is not a regular file (no such file, no permission, a
// directory, a FIFO or a device).
long ReadWorkingDirectoryFile(const char* fileName, char* buffer, size_t capacity);

// The full path ReadWorkingDirectoryFile opens, for showing to a user
// (UTF-8 on Windows, the file system's bytes on POSIX).
std::string WorkingDirectoryPath(const char* fileName);

// Switches the whole process to the Japanese (Shift_JIS, code page 932)
// locale: the C library's locale and, where the standard library knows the
// locale, its global locale. Does nothing when the process is already in
// it; leaves everything as it was where the locale does not exist. Never
// throws, and is safe to call from several threads at once.
void SwitchToJapaneseLocale();

// The locale's name on this platform.
const char* JapaneseLocaleName();

}  // namespace qtr::platform
