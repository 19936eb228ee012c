// rebuild IN OUT: the EDID of IN loaded into the creator as its Open button loads a file, built
// without any edit and written to OUT.
#include <string>

#include "Command.h"
#include "FileIo.h"
#include "workspace/CreatorRebuild.h"

namespace tavo::cli {
namespace {

int Rebuild(const Args& args) {
    if (args.size() != 2) return UsageError("rebuild");
    const std::string in(args[0]);
    const std::string out(args[1]);
    EdidImage image;
    std::string error;
    if (!ReadEdidFile(in, image, error)) {
        PrintError(error);
        return kExitError;
    }
    EdidImage built;
    if (const auto result = creator::Rebuild(image, creator::Today(), built); !result) {
        PrintError(in + ": " + result.message);
        return kExitFailed;
    }
    if (!WriteFileAtomically(out, built.data(), built.size(), error)) {
        PrintError(error);
        return kExitError;
    }
    return kExitOk;
}

const CommandRegistration rebuildCommand{
    {"rebuild", "rebuild IN OUT",
     "load IN into the creator, build it without an edit and write it to OUT; exit 1 with the "
     "message when IN is invalid or the build fails",
     &Rebuild}};

} // namespace
} // namespace tavo::cli
