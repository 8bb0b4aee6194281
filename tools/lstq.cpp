// lstq: asks the plugin's own functions about entries of a list file, the
// way the host does (size query, then fetch), and prints the answers.
//
//   lstq LIST NAME...
//
// The settings file of the current directory is used exactly as the plugin
// uses it. Answers are printed as the library's bytes, unchanged.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "quillmarsh_to_Rookfable.h"

namespace {

using ListFunction = int32_t (*)(const char*, const char*, int32_t, char**, int32_t);

struct Answer {
    int32_t code;  // negative: a result code
    std::string text;
};

const char* CodeName(int32_t code) {
    switch (code) {
        case ResultNotFound: return "ResultNotFound";
        case ResultNoField: return "ResultNoField";
        case ResultNoMemory: return "ResultNoMemory";
        default: return "unknown result";
    }
}

Answer Ask(ListFunction function, const std::string& list, const char* name) {
    const int32_t room = function(list.c_str(), name, 100, nullptr, 0);
    if (room < 0) return Answer{room, {}};
    std::vector<char> buffer(static_cast<size_t>(room) + 1, '\0');
    char* data = buffer.data();
    const int32_t written = function(list.c_str(), name, 100, &data, room);
    if (written < 0) return Answer{written, {}};
    return Answer{0, std::string(data, static_cast<size_t>(written))};
}

void PrintUsage(FILE* to) {
    std::fputs("usage: lstq LIST NAME...\n"
               "Prints the title, kana, maker and version the plugin gives for each NAME\n"
               "of the list file LIST, using quillmarsh_to_Rookfable.cfg of the current\n"
               "directory as the plugin does.\n"
               "Exit status: 0 all names found, 1 some name not found, 2 usage or file error.\n",
               to);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        PrintUsage(stdout);
        return 0;
    }
    if (argc < 3) {
        PrintUsage(stderr);
        return 2;
    }
    std::ifstream file(argv[1], std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "lstq: cannot open list file %s\n", argv[1]);
        return 2;
    }
    const std::string list((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad()) {
        std::fprintf(stderr, "lstq: cannot read list file %s\n", argv[1]);
        return 2;
    }

    const struct {
        const char* label;
        ListFunction function;
    } fields[] = {{"title", GetTitle}, {"kana", GetKana}, {"maker", GetMaker}, {"version", GetVersion}};

    int status = 0;
    for (int i = 2; i < argc; ++i) {
        std::printf("%s\n", argv[i]);
        for (const auto& field : fields) {
            const Answer answer = Ask(field.function, list, argv[i]);
            std::printf("  %-8s ", field.label);
            if (answer.code < 0) {
                std::printf("(%s)\n", CodeName(answer.code));
                if (answer.code == ResultNotFound) status = 1;
            } else {
                std::fwrite(answer.text.data(), 1, answer.text.size(), stdout);
                std::fputc('\n', stdout);
            }
        }
    }
    return status;
}
