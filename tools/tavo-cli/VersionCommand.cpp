// version (and --version): the version this program was built as.
#include <iostream>

#include "Command.h"
#include "TavoVersion.h"

namespace {

int Run(const tavo::cli::Args& args) {
    if (!args.empty()) return tavo::cli::UsageError("version");
    std::cout << "tavo-cli " << tavo::kVersionText << '\n';
    return tavo::cli::kExitOk;
}

const tavo::cli::CommandRegistration reg{
    {"version", "version", "print the version (the same as tavo-cli --version)", &Run}};

} // namespace
