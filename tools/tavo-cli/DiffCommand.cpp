// diff [--json] A B: what differs between two EDIDs, part by part, in the block map's terms, over
// every block of either.
#include <iostream>
#include <string>

#include "Command.h"
#include "FileIo.h"
#include "edid/EdidDiff.h"
#include "edid/WholeDiff.h"

namespace tavo::cli {
namespace {

int Diff(const Args& args) {
    const FileArgs in = ParseFileArgs(args);
    const std::vector<std::string>& files = in.files;
    const bool json = in.json;
    if (files.size() != 2) return UsageError("diff");
    std::vector<std::uint8_t> a, b;
    std::string error;
    if (!ReadWholeEdidFile(files[0], a, error) || !ReadWholeEdidFile(files[1], b, error)) {
        PrintError(error);
        return kExitError;
    }
    const auto texts = DifferenceTexts(DiffEdids(a, b));
    if (json) {
        std::cout << DiffJson(files[0], files[1], texts) << '\n';
    } else {
        for (const auto& t : texts)
            std::cout << t << '\n';
    }
    return texts.empty() ? kExitOk : kExitFailed;
}

const CommandRegistration diffCommand{
    {"diff", "diff [--json] A B",
     "name what differs from EDID A to EDID B, one difference a line (--json: one object); "
     "exit 0 identical, 1 different",
     &Diff}};

} // namespace
} // namespace tavo::cli
