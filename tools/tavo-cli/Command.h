#pragma once
// Subcommands of tavo-cli. Each lives in its own file and registers itself with a static
// CommandRegistration, so adding one never touches the others or main.cpp:
//
//     namespace {
//     int Run(const tavo::cli::Args& args) { ... }
//     const tavo::cli::CommandRegistration reg{{"name", "name ARG...", "what it does", &Run}};
//     }
#include <string>
#include <string_view>
#include <vector>

#include "CommandLine.h"

namespace tavo::cli {

using Args = std::vector<std::string_view>; // the arguments after the subcommand's name

// Exit codes shared by the subcommands.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1; // an EDID failed validation, a build failed
inline constexpr int kExitError = 2;  // bad arguments, unreadable or unwritable files

struct Command {
    std::string_view name;
    std::string_view usage;   // e.g. "analyze [--json] FILE..."
    std::string_view summary; // one line
    int (*run)(const Args& args);
};

// All registered commands, in registration order.
std::vector<Command>& Commands();

struct CommandRegistration {
    explicit CommandRegistration(const Command& command) { Commands().push_back(command); }
};

// In the front program that holds only the file commands: hands the whole command line to the
// full program beside it (which replaces this process). False where there is none to hand to.
bool HandToFullProgram();

// "tavo-cli: <what>" on stderr, one line.
void PrintError(std::string_view what);
// The usage line of `command` on stderr, as the answer to missing or bad arguments.
int UsageError(std::string_view command);

// The options every device command takes: --port PATH (a serial port; a name with ':' is
// refused) and --verbose|-v (the link's log on stderr).
inline void DeclarePortOptions(cmdline::OptionParser& parser, std::string& port, bool& verbose) {
    parser
        .Value("--port", "needs a path",
               [&port](const std::string& value) -> std::string {
                   if (value.find(':') != std::string::npos) return "is not a serial port";
                   port = value;
                   return {};
               })
        .Flag("--verbose|-v", [&verbose] { verbose = true; });
}

} // namespace tavo::cli
