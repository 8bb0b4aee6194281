// Shared by the fuzz targets: the settings file and asking an export the
// way a host does while checking what it answers. A broken promise aborts,
// which libFuzzer reports like a crash.
//
// The targets read and write the settings file of the current directory,
// as the library does: run them in a directory of their own (make fuzz
// does), with absolute paths for the corpus.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "quillmarsh_to_Rookfable.h"

namespace qtr::fuzz {

using ListFunction = QtrGetFieldFunc;

[[noreturn]] inline void Broken(const char* what) {
    std::fprintf(stderr, "broken promise: %s\n", what);
    std::abort();
}

inline void Check(bool ok, const char* what) {
    if (!ok) Broken(what);
}

inline void WriteSettings(std::string_view bytes) {
    FILE* file = std::fopen("quillmarsh_to_Rookfable.cfg", "wb");
    Check(file != nullptr, "settings file opens");
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}

inline void RemoveSettings() { std::remove("quillmarsh_to_Rookfable.cfg"); }

// A pattern that backtracks catastrophically is the user's own choice and
// takes as long as the engine needs (docs/reliability.md); the fuzzer
// would report it as a timeout. Arbitrary patterns are therefore kept
// tame: at most kMaxRepeats repeat bytes, no repeat of a group that holds
// a repeat or an alternative (the nested and overlapping repeats that
// blow up), and titles of at most kShortTitle bytes.
constexpr size_t kShortTitle = 10;
constexpr size_t kMaxRepeats = 4;

inline bool Tame(std::string_view pattern) {
    size_t repeats = 0;
    std::vector<bool> risky(1, false);  // per open group: holds a repeat or |
    bool closedRisky = false;           // the group just closed was risky
    for (size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        const bool repeat = c == '*' || c == '+' || c == '?' || c == '{';
        if (repeat) {
            if (closedRisky) return false;
            if (++repeats > kMaxRepeats) return false;
        }
        closedRisky = false;
        if (c == '\\') {
            ++i;
        } else if (c == '(') {
            risky.push_back(false);
        } else if (c == ')' && risky.size() > 1) {
            closedRisky = risky.back();
            risky.pop_back();
            if (closedRisky) risky.back() = true;
        } else if (repeat || c == '|') {
            risky.back() = true;
        }
    }
    return true;
}

struct Answer {
    int32_t code;  // negative: a result code; otherwise 0
    std::string text;
};

// When set (by fuzz/replay.cpp), every answer Ask gets is appended to it:
// a result code as "-512", a text in hexadecimal, each followed by a space.
inline std::string* gTranscript = nullptr;

inline void Record(const Answer& answer) {
    if (gTranscript == nullptr) return;
    if (answer.code < 0) {
        *gTranscript += std::to_string(answer.code);
    } else {
        static const char kHex[] = "0123456789abcdef";
        *gTranscript += '"';
        for (unsigned char c : answer.text) {
            *gTranscript += kHex[c >> 4];
            *gTranscript += kHex[c & 15];
        }
    }
    *gTranscript += ' ';
}

// A size query, then a fetch into a heap buffer of exactly that room (so
// that AddressSanitizer sees a write past it), then a fetch into half the
// room. Checks the protocol's promises on the way.
inline Answer Ask(ListFunction function, const char* list, const char* name, int32_t selector) {
    const int32_t room = function(list, name, selector, nullptr, 0);
    if (room < 0) {
        Check(room == ResultNotFound || room == ResultNoField || room == ResultNoMemory,
              "a negative result is a result code");
        Record(Answer{room, {}});
        return Answer{room, {}};
    }
    Check(room >= 1, "the room counts the terminator");
    Check(selector == 100, "only selector 100 answers");
    std::vector<char> buffer(static_cast<size_t>(room));
    char* data = buffer.data();
    const int32_t written = function(list, name, selector, &data, room);
    Check(written == room - 1, "the fetch writes what the size query promised");
    Check(buffer[static_cast<size_t>(written)] == '\0', "the text is terminated");
    Check(std::memchr(data, '\0', static_cast<size_t>(written)) == nullptr,
          "the text holds no NUL");
    std::string text(data, static_cast<size_t>(written));

    const int32_t half = room / 2;
    if (half >= 1) {
        std::vector<char> small(static_cast<size_t>(half));
        char* smallData = small.data();
        const int32_t cut = function(list, name, selector, &smallData, half);
        Check(cut == half - 1, "a cut text fills the buffer");
        Check(small[static_cast<size_t>(cut)] == '\0', "a cut text is terminated");
        Check(std::memcmp(smallData, text.data(), static_cast<size_t>(cut)) == 0,
              "a cut text is the start of the whole one");
    }
    // A negative size is a size query and writes nothing.
    char guard = '#';
    char* guardData = &guard;
    Check(function(list, name, selector, &guardData, -1) == room && guard == '#',
          "a negative size writes nothing");
    Answer answer{0, std::move(text)};
    Record(answer);
    return answer;
}

}  // namespace qtr::fuzz
