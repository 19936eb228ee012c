// tavo-cli: EDID files (and, through further subcommands, the device and the network) from the
// command line.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <unistd.h>

#include "Command.h"
#include "VisibleOutput.h"

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
    out << "usage: tavo-cli COMMAND [ARGS...]\n       tavo-cli --help | --version\n\ncommands:\n";
    for (const auto& c : commands)
        out << "  " << c.usage << "\n      " << c.summary << '\n';
    out << "\nexit status: 0 success, 1 an EDID or build failed, 2 bad arguments or file "
           "errors\n";
}

} // namespace

namespace {
char** savedArgv = nullptr;
} // namespace

#ifdef TAVO_CLI_FORWARD
namespace {

// This program holds the file commands only, so that analysing a file never loads the Qt
// libraries; every other command (the device and net commands, help) is the business of the
// full program beside it, which this one becomes.
[[noreturn]] void ForwardToFullProgram(char** argv) {
    char self[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    std::string path = n > 0 ? std::string(self, std::size_t(n)) : std::string();
    path = path.substr(0, path.find_last_of('/') + 1) + TAVO_CLI_FORWARD;
    ::execv(path.c_str(), argv);
    tavo::cli::PrintError(path + ": " + std::strerror(errno));
    std::exit(tavo::cli::kExitError);
}

} // namespace
#endif

bool tavo::cli::HandToFullProgram() {
#ifdef TAVO_CLI_FORWARD
    if (savedArgv) ForwardToFullProgram(savedArgv);
#endif
    return false;
}

int main(int argc, char** argv) {
    using namespace tavo::cli;
    savedArgv = argv;
    GuardStandardStreams();
    // --version is the command "version", which both programs hold.
    static char versionCommand[] = "version";
    if (argc >= 2 && std::strcmp(argv[1], "--version") == 0) argv[1] = versionCommand;
#ifdef TAVO_CLI_FORWARD
    {
        bool local = false;
        for (const auto& c : Commands())
            local = local || (argc >= 2 && c.name == argv[1]);
        if (!local) ForwardToFullProgram(argv);
    }
#endif
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
