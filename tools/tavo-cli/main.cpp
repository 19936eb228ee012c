// tavo-cli: EDID files (and, through further subcommands, the device and the network) from the
// command line.
#include <algorithm>
#include <cstdio>
#include <iostream>
#include <string>

#include "Command.h"

namespace tavo::cli {

std::vector<Command>& Commands() {
    static std::vector<Command> commands;
    return commands;
}

void PrintError(std::string_view what) {
    std::cerr << "tavo-cli: " << what << '\n';
}

int UsageError(std::string_view command) {
    for (const auto& c : Commands()) {
        if (c.name == command) {
            std::cerr << "usage: tavo-cli " << c.usage << '\n';
            return kExitError;
        }
    }
    PrintError("unknown command '" + std::string(command) + "'");
    return kExitError;
}

} // namespace tavo::cli

namespace {

void PrintHelp(std::ostream& out) {
    auto commands = tavo::cli::Commands();
    std::sort(commands.begin(), commands.end(),
              [](const auto& a, const auto& b) { return a.name < b.name; });
    out << "usage: tavo-cli COMMAND [ARGS...]\n\ncommands:\n";
    for (const auto& c : commands)
        out << "  " << c.usage << "\n      " << c.summary << '\n';
    out << "\nexit status: 0 success, 1 an EDID or build failed, 2 bad arguments or file "
           "errors\n";
}

} // namespace

int main(int argc, char** argv) {
    using namespace tavo::cli;
    if (argc < 2) {
        PrintHelp(std::cerr);
        return kExitError;
    }
    const std::string_view name = argv[1];
    if (name == "help" || name == "--help" || name == "-h") {
        PrintHelp(std::cout);
        return kExitOk;
    }
    for (const auto& c : Commands()) {
        if (c.name == name) {
            const Args args(argv + 2, argv + argc);
            const int rc = c.run(args);
            std::cout.flush();
            return rc;
        }
    }
    PrintError("unknown command '" + std::string(name) + "' (try 'tavo-cli help')");
    return kExitError;
}
