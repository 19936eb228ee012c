// presets: the ready-made EDIDs; preset: one of them written to a file.
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "Command.h"
#include "FileIo.h"
#include "workspace/sources/Presets.h"

namespace tavo::cli {
namespace {

int ListPresets(const Args& args) {
    bool json = false;
    for (std::string_view a : args) {
        if (a != "--json") return UsageError("presets");
        json = true;
    }
    std::cout << PresetList(json);
    return kExitOk;
}

int WritePreset(const Args& args) {
    // "--force" (anywhere) also replaces a read-only OUT
    bool force = false;
    std::vector<std::string> operands;
    for (std::string_view a : args) {
        if (a == "--force")
            force = true;
        else
            operands.emplace_back(a);
    }
    if (operands.size() != 2) return UsageError("preset");
    const std::string name(operands[0]), out(operands[1]);
    const PresetBuild built = BuildPreset(name);
    if (!built) {
        PrintError(built.message + " (see 'tavo-cli presets')");
        return kExitError;
    }
    const std::size_t size = EdidLength(built.image); // the base block alone without extension
    std::string error;
    if (!WriteFileAtomically(out, built.image.data(), size, error, force)) {
        PrintError(error);
        return kExitError;
    }
    return kExitOk;
}

const CommandRegistration presetsCommand{
    {"presets", "presets [--json]",
     "list the ready-made EDIDs by name and description (--json: one JSON object per line); "
     "preset:NAME reads one wherever a FILE is taken",
     &ListPresets}};
const CommandRegistration presetCommand{
    {"preset", "preset [--force] NAME OUT",
     "write the ready-made EDID NAME (see 'presets') to OUT: 256 bytes, 128 for one without an "
     "extension (--force: also over a read-only file)",
     &WritePreset}};

} // namespace
} // namespace tavo::cli
