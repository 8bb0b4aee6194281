// Prints what a built plugin answers for every case of a case file, as hex,
// so that the answers of the Linux library and of the Windows DLLs can be
// compared byte for byte (tests/compare_answers.sh). One run answers the
// whole file: under an emulated 32-bit Wine a program start is slow.
//
//   answers PLUGIN CASES WORKDIR
//
// CASES (tests/cross_cases.txt) is a list of cases, each starting with a
// "case NAME" line and followed by these lines, whose bytes are written as
// in C (\t \r \n \\ \xHH; other bytes as they are):
//
//   settings BYTES   the settings file of the case (none: no file)
//   list BYTES       the list text (one line; \n separates entries)
//   ask NAME...      the names asked, separated by spaces
//   expect EXPORT NAME BYTES   an answer every platform must give
//
// Each case runs in a fresh directory under WORKDIR that holds its settings
// file. Every export is asked the way a host asks: a size query, a fetch
// with that room and a fetch into 3 bytes; the answers are printed, and a
// line "mismatch ..." for each expectation that does not hold.
//
// Exit status: 0 all expectations hold, 1 some do not, 2 usage or loading.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#define QTR_NO_PROTOTYPES
#include "quillmarsh_to_Rookfable.h"

namespace {

const char* const kListExports[] = {"GetTitle", "GetKana", "GetMaker", "GetVersion"};

struct Plugin {
    QtrGetFieldFunc list[4] = {};
    QtrGetPluginVersionFunc version = nullptr;
    QtrGetTextFunc author = nullptr;
    QtrGetTextFunc info = nullptr;
};

void* Find(void* module, const char* name) {
#if defined(_WIN32)
    return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(module), name));
#else
    return ::dlsym(module, name);
#endif
}

bool LoadPlugin(const std::string& path, Plugin& plugin) {
#if defined(_WIN32)
    void* module = ::LoadLibraryA(path.c_str());
#else
    void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
#endif
    if (module == nullptr) return false;
    for (int i = 0; i < 4; ++i) plugin.list[i] = reinterpret_cast<QtrGetFieldFunc>(Find(module, kListExports[i]));
    plugin.version = reinterpret_cast<QtrGetPluginVersionFunc>(Find(module, "GetPluginVersion"));
    plugin.author = reinterpret_cast<QtrGetTextFunc>(Find(module, "GetPluginAuthor"));
    plugin.info = reinterpret_cast<QtrGetTextFunc>(Find(module, "GetPluginInfo"));
    for (const QtrGetFieldFunc function : plugin.list) {
        if (function == nullptr) return false;
    }
    return plugin.version != nullptr && plugin.author != nullptr && plugin.info != nullptr;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The bytes a case file writes with C escapes.
bool Unescape(const std::string& text, std::string& bytes) {
    bytes.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            bytes += text[i];
            continue;
        }
        if (++i == text.size()) return false;
        switch (text[i]) {
            case 't': bytes += '\t'; break;
            case 'r': bytes += '\r'; break;
            case 'n': bytes += '\n'; break;
            case '\\': bytes += '\\'; break;
            case 'x': {
                const int high = i + 1 < text.size() ? HexDigit(text[i + 1]) : -1;
                const int low = i + 2 < text.size() ? HexDigit(text[i + 2]) : -1;
                if (high < 0 || low < 0) return false;
                bytes += static_cast<char>(high * 16 + low);
                i += 2;
                break;
            }
            default: return false;
        }
    }
    return true;
}

std::string Hex(const char* bytes, size_t size) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (size_t i = 0; i < size; ++i) {
        const unsigned char b = static_cast<unsigned char>(bytes[i]);
        hex += digits[b >> 4];
        hex += digits[b & 15];
    }
    return hex.empty() ? "-" : hex;
}

struct Case {
    std::string name;
    bool hasSettings = false;
    std::string settings;
    std::string list;
    std::vector<std::string> names;
    struct Expectation {
        std::string exportName, name, text;
    };
    std::vector<Expectation> expectations;
};

bool ReadCases(const std::string& path, std::vector<Case>& cases) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        std::cerr << "answers: cannot read " << path << "\n";
        return false;
    }
    std::string line;
    int number = 0;
    while (std::getline(file, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        const size_t space = line.find(' ');
        const std::string keyword = line.substr(0, space);
        const std::string rest = space == std::string::npos ? std::string() : line.substr(space + 1);
        bool ok = true;
        if (keyword == "case") {
            cases.emplace_back();
            cases.back().name = rest;
            ok = !rest.empty();
        } else if (cases.empty()) {
            ok = false;
        } else if (keyword == "settings") {
            cases.back().hasSettings = true;
            ok = Unescape(rest, cases.back().settings);
        } else if (keyword == "list") {
            ok = Unescape(rest, cases.back().list);
        } else if (keyword == "ask") {
            std::istringstream words(rest);
            std::string word, name;
            while (ok && words >> word) {
                ok = Unescape(word, name);
                cases.back().names.push_back(name);
            }
        } else if (keyword == "expect") {
            std::istringstream words(rest);
            Case::Expectation e;
            std::string name, text;
            words >> e.exportName >> name;
            std::getline(words >> std::ws, text);
            ok = Unescape(name, e.name) && Unescape(text, e.text) && !e.exportName.empty();
            cases.back().expectations.push_back(e);
        } else {
            ok = false;
        }
        if (!ok) {
            std::cerr << "answers: " << path << ":" << number << ": cannot read \"" << line << "\"\n";
            return false;
        }
    }
    return true;
}

// A size query, a fetch with the room it gave and a fetch into 3 bytes;
// the text of the full fetch goes to `text`.
std::string Answer(QtrGetFieldFunc function, const std::string& list, const std::string& name,
                   int32_t selector, std::string& text) {
    std::ostringstream line;
    text.clear();
    const int32_t room = function(list.c_str(), name.c_str(), selector, nullptr, 0);
    line << "size " << room;
    if (room > 0) {
        std::vector<char> buffer(static_cast<size_t>(room) + 1, '\x7F');
        char* out = buffer.data();
        const int32_t written = function(list.c_str(), name.c_str(), selector, &out, room);
        line << " fetch " << written;
        if (written >= 0) {
            // The NUL is shown with the text: one that is missing shows too.
            line << " " << Hex(out, static_cast<size_t>(written) + 1);
            text.assign(out, static_cast<size_t>(written));
        }
        char small[4] = {'\x7F', '\x7F', '\x7F', '\x7F'};
        out = small;
        const int32_t cut = function(list.c_str(), name.c_str(), selector, &out, 3);
        line << " cut " << cut << " " << Hex(small, sizeof small);
    }
    return line.str();
}

std::string Escaped(const std::string& bytes) {
    std::string text;
    for (const char c : bytes) {
        const unsigned char b = static_cast<unsigned char>(c);
        if (b > 0x20 && b < 0x7F && c != '\\') {
            text += c;
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", b);
            text += hex;
        }
    }
    return text.empty() ? "\"\"" : text;
}

int RunCase(const Plugin& plugin, const Case& c, const std::filesystem::path& directory) {
    std::filesystem::create_directories(directory);
    std::filesystem::current_path(directory);
    if (c.hasSettings) {
        std::ofstream(directory / "quillmarsh_to_Rookfable.cfg", std::ios::binary) << c.settings;
    }
    std::cout << "case " << c.name << "\n";
    int mismatches = 0;
    for (size_t n = 0; n < c.names.size(); ++n) {
        const std::string& name = c.names[n];
        for (int e = 0; e < 4; ++e) {
            std::string text;
            std::cout << kListExports[e] << " " << Escaped(name) << " "
                      << Answer(plugin.list[e], c.list, name, 100, text) << "\n";
            for (const auto& expectation : c.expectations) {
                if (expectation.exportName == kListExports[e] && expectation.name == name &&
                    expectation.text != text) {
                    std::cout << "mismatch " << c.name << " " << kListExports[e] << " "
                              << Escaped(name) << ": expected " << Escaped(expectation.text)
                              << ", got " << Escaped(text) << "\n";
                    ++mismatches;
                }
            }
        }
        if (n == 0) {
            std::string text;
            std::cout << "GetTitle " << Escaped(name) << " selector 99 "
                      << Answer(plugin.list[0], c.list, name, 99, text) << "\n";
        }
    }
    return mismatches;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: answers PLUGIN CASES WORKDIR\n";
        return 2;
    }
    // Printed before anything is loaded: a run that lacks it could not
    // start the program at all (compare_answers.sh tells that apart).
    std::cout << "answers 1" << std::endl;
    std::vector<Case> cases;
    if (!ReadCases(argv[2], cases)) return 2;
    Plugin plugin;
    if (!LoadPlugin(argv[1], plugin)) {
        std::cerr << "answers: cannot load the plugin " << argv[1] << "\n";
        return 2;
    }
    std::cout << "GetPluginVersion " << plugin.version() << "\n";
    for (const auto& [name, function] : {std::make_pair("GetPluginAuthor", plugin.author),
                                         std::make_pair("GetPluginInfo", plugin.info)}) {
        char buffer[128];
        char* out = buffer;
        const int32_t written = function(&out, sizeof buffer);
        std::cout << name << " " << written << " "
                  << Hex(buffer, written < 0 ? 0 : static_cast<size_t>(written) + 1) << "\n";
    }

    const std::filesystem::path work = argv[3];
    int mismatches = 0;
    for (size_t i = 0; i < cases.size(); ++i) {
        mismatches += RunCase(plugin, cases[i], work / std::to_string(i));
    }
    std::filesystem::current_path(work);
    std::cout << "end " << cases.size() << " cases, " << mismatches << " mismatches" << std::endl;
    return mismatches == 0 ? 0 : 1;
}
