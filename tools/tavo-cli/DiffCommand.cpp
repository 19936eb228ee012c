// diff [--json] A B: what differs between two EDIDs, part by part, in the block map's terms.
#include <iostream>
#include <string>

#include "Command.h"
#include "FileIo.h"
#include "edid/EdidDiff.h"

namespace tavo::cli {
namespace {

int Diff(const Args& args) {
    const FileArgs in = ParseFileArgs(args);
    const std::vector<std::string>& files = in.files;
    const bool json = in.json;
    if (files.size() != 2) return UsageError("diff");
    EdidImage a, b;
    std::string error;
    if (!ReadEdidFile(files[0], a, error) || !ReadEdidFile(files[1], b, error)) {
        PrintError(error);
        return kExitError;
    }
    const auto texts = DifferenceTexts(DiffImages(a, b));
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
