#include "settings/settings.h"

#include <cstring>

#include "platform/platform.h"
#include "text/bytes.h"

namespace qtr {

Settings ParseSettings(std::string_view fileBytes) {
    Settings settings;
    settings.fileFound = true;
    std::string* values[] = {&settings.versionPattern, &settings.versionIndex,
                             &settings.titleMode};
    std::string_view rest = fileBytes;
    while (settings.linesRead < 3 && !rest.empty()) {
        const size_t lf = rest.find('\n');
        std::string_view line = rest.substr(0, lf);
        rest = lf == std::string_view::npos ? std::string_view() : rest.substr(lf + 1);
        if (lf != std::string_view::npos && !line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        line = line.substr(0, line.find('\0'));
        values[settings.linesRead]->assign(line.data(), line.size());
        ++settings.linesRead;
    }
    return settings;
}

Settings LoadSettings() {
    platform::SwitchToJapaneseLocale();
    char buffer[kSettingsReadLimit];
    const long count = platform::ReadWorkingDirectoryFile(kSettingsFileName, buffer, sizeof buffer);
    if (count < 0) return Settings();
    const size_t length = platform::TextLength(buffer, static_cast<size_t>(count));
    return ParseSettings(std::string_view(buffer, length));
}

int32_t VersionIndexOf(const Settings& settings) {
    const int32_t index = ParseDecimal(settings.versionIndex);
    return index < 0 ? 0 : index;
}

bool KeepsTitle(const Settings& settings) { return settings.titleMode == "0"; }

}  // namespace qtr
