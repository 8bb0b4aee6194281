// What differs between Windows and POSIX: the working directory, opening a
// file there, and the process-wide Japanese locale. The rest of the library
// is the same code on both.
#pragma once

#include <cstddef>
#include <locale>
#include <string>

namespace qtr::platform {

// Reads up to `capacity` bytes of the file `fileName` in the process's
// current working directory, however long that directory's name is, as
// they are on disk (no line-end translation on any platform).
// Returns the number of bytes read, or -1 when the file cannot be opened
// or read (no such file, no permission, a directory). Never blocks: a FIFO
// in the file's place gives what it holds at once, or nothing.
long ReadWorkingDirectoryFile(const char* fileName, char* buffer, size_t capacity);

// How many of the `count` bytes of a text file are its text. On Windows a
// Ctrl-Z byte (0x1A) ends a text file, as the C runtime's text mode has
// it: the text is the bytes before the first one. On POSIX it is a byte
// like any other and the text is all of them. This is the one difference
// between the platforms in what a settings file says.
size_t TextLength(const char* bytes, size_t count);

// The full path ReadWorkingDirectoryFile opens, for showing to a user
// (UTF-8 on Windows, the file system's bytes on POSIX).
std::string WorkingDirectoryPath(const char* fileName);

// Switches the whole process to the Japanese (Shift_JIS, code page 932)
// locale: the C library's locale and, where the standard library knows the
// locale, its global locale (on POSIX; MinGW's standard library does not,
// so on Windows it is the C runtime's locale alone). Does nothing when the
// process is already in it; leaves everything as it was where the locale
// does not exist. Never throws, and is safe to call from several threads
// at once.
void SwitchToJapaneseLocale();

// The locale a version pattern is built under (imbued into the regex before
// it is compiled), which decides what \w, \b and classes such as
// [[:alpha:]] take. On POSIX the global locale of the moment, which
// SwitchToJapaneseLocale made Japanese. On Windows, where the standard
// library has no named locale, the classic locale with a character
// classification copied from the C runtime's Japanese locale (built once
// per process by the first call, which switches the C runtime to it as
// SwitchToJapaneseLocale does; the classic locale when the C runtime has no
// Japanese locale). Only that first call allocates, and it may throw
// std::bad_alloc (and is then made again by the next); nothing else is
// ever thrown. Safe to call from several threads at once.
std::locale PatternLocale();

// The locale's name on this platform, as SwitchToJapaneseLocale asks for it.
const char* JapaneseLocaleName();

// True when the process is in the locale SwitchToJapaneseLocale switches
// to: on POSIX the C library's locale and the standard library's global
// locale; on Windows the C runtime's, which setlocale then reports as
// "Japanese_Japan.932".
bool InJapaneseLocale();

// Makes sure that a C++ exception thrown inside the library is caught
// inside it. On 32-bit Windows the library's unwind tables may have gone
// to another module's unwinder at load (see platform/unwind.cpp); they are
// then registered with the library's own, once per process. Elsewhere it
// does nothing. Called before anything that can throw; cheap after the
// first call, never throws, safe from several threads at once.
void PrepareExceptionHandling();

}  // namespace qtr::platform
