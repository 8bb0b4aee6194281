// The settings file "quillmarsh_to_Rookfable.cfg" of the working directory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qtr {

constexpr const char* kSettingsFileName = "quillmarsh_to_Rookfable.cfg";
constexpr const char* kDefaultVersionPattern = "\\(.+?\\)";
constexpr const char* kDefaultVersionIndex = "10";
constexpr const char* kDefaultTitleMode = "0";

// Only this much of the settings file is read; three sensible lines are a
// few hundred bytes. Anything after it is ignored like a fourth line.
constexpr size_t kSettingsReadLimit = 8192;

struct Settings {
    std::string versionPattern = kDefaultVersionPattern;
    std::string versionIndex = kDefaultVersionIndex;
    std::string titleMode = kDefaultTitleMode;
    bool fileFound = false;  // false: all three are the defaults
    int linesRead = 0;       // 0 to 3; values past it are the defaults
};

// The settings of the file's bytes: up to three lines, each ending in LF
// (a CR before the LF is not part of the value, a last line may lack the
// LF) and cut at its first NUL byte. A missing line keeps its default.
Settings ParseSettings(std::string_view fileBytes);

// Switches the process to the Japanese locale, then reads the settings
// file of the current working directory, or gives the defaults when there
// is none that can be read. The file's bytes are the same on every
// platform; only on Windows does a Ctrl-Z byte end them
// (platform::TextLength).
Settings LoadSettings();

// The version index as a number: atoi's reading, negatives raised to 0.
int32_t VersionIndexOf(const Settings& settings);

// True when GetTitle returns the title field unchanged: the mode is
// exactly "0".
bool KeepsTitle(const Settings& settings);

}  // namespace qtr
