// blocks [--json] FILE...: the block map of each file, one part per line.
#include <cstdio>
#include <iostream>
#include <string>

#include "Command.h"
#include "FileIo.h"
#include "edid/BlockMap.h"

namespace tavo::cli {
namespace {

int Blocks(const Args& args) {
    bool json = false;
    std::vector<std::string> files;
    for (std::string_view a : args) {
        if (a == "--json")
            json = true;
        else
            files.emplace_back(a);
    }
    if (files.empty()) return UsageError("blocks");
    int rc = kExitOk;
    bool first = true;
    for (const auto& file : files) {
        EdidImage image;
        std::string error;
        if (!ReadEdidFile(file, image, error)) {
            PrintError(error);
            rc = kExitError;
            continue;
        }
        const BlockMap map = MapBlocks(image);
        if (json) {
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
