// blocks [--json] FILE...: the block map of each file, one part per line, over every block of
// the EDID however many it has.
#include <cstdio>
#include <iostream>
#include <string>

#include "Command.h"
#include "FileIo.h"
#include "edid/BlockMap.h"

namespace tavo::cli {
namespace {

int Blocks(const Args& args) {
    const FileArgs in = ParseFileArgs(args);
    if (in.files.empty()) return UsageError("blocks");
    bool first = true;
    int rc = kExitOk;
    for (const auto& file : in.files) {
        std::vector<std::uint8_t> bytes;
        std::string error;
        if (!ReadWholeEdidFile(file, bytes, error)) {
            PrintError(error);
            rc = kExitError;
            continue;
        }
        const BlockMap map = MapEdid(bytes);
        if (in.json) {
            std::cout << BlockMapJson(file, map) << '\n';
            continue;
        }
        if (!first) std::cout << '\n';
        first = false;
        std::cout << file << '\n';
        char line[32];
        for (const auto& part : map) {
            std::snprintf(line, sizeof line, "%3d %3d  ", part.offset, part.length);
            std::cout << line << part.name << '\n';
        }
    }
    return rc;
}

const CommandRegistration blocksCommand{
    {"blocks", "blocks [--json] FILE...",
     "print the parts of each EDID: offset, length, name (--json: one JSON object per file)",
     &Blocks}};

} // namespace
} // namespace tavo::cli
