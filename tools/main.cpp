// lstq's entry point: everything else is in Run (lstq.cpp).
#include <iostream>
#include <string>
#include <vector>

#include "tools/console.h"
#include "tools/lstq.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    qtr::lstq::Terminal terminal;
    terminal.progress = qtr::lstq::IsTerminal(stderr);
    terminal.utf8 = qtr::lstq::ShowsUtf8(stdout);
    return qtr::lstq::Run(args, std::cout, std::cerr, terminal);
}
