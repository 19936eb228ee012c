// rebuild [--refuse-loss] [--force] IN OUT: the EDID of IN loaded into the creator as its Open
// button loads a file, built without any edit and written to OUT. What the build loses of IN
// (the parts the creator does not model) and what it adds are listed on stderr.
#include <filesystem>
#include <iostream>
#include <string>

#include "Command.h"
#include "FileIo.h"
#include "workspace/creator/CreatorLoss.h"
#include "workspace/creator/CreatorRebuild.h"

namespace tavo::cli {
namespace {

int Rebuild(const Args& args) {
    bool refuseLoss = false, force = false;
    std::vector<std::string> files;
    for (std::string_view a : args) {
        if (a == "--refuse-loss")
            refuseLoss = true;
        else if (a == "--force")
            force = true;
        else
            files.emplace_back(a);
    }
    if (files.size() != 2) return UsageError("rebuild");
    const std::string& in = files[0];
    const std::string& out = files[1];
    std::error_code ec;
    if (!force && !refuseLoss && std::filesystem::equivalent(in, out, ec)) {
        PrintError(out + ": is the input file; give --force (or --refuse-loss) to overwrite it");
        return kExitError;
    }
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
    const auto changes = creator::BuildChanges(image, built, built);
    if (!changes.empty()) {
        // the losses, the additions, then what is neither (an order): each in the creator's
        // words, the byte detail after
        enum { kLost, kGained, kChanged };
        const char* const headings[] = {
            ": This EDID will lose:", ": This EDID will gain:", ": This EDID will change:"};
        for (const int kind : {kLost, kGained, kChanged}) {
            bool first = true;
            for (const auto& change : changes) {
                const int own = change.changed ? kChanged : change.added ? kGained : kLost;
                if (own != kind) continue;
                if (first) PrintError(in + headings[kind]);
                first = false;
                std::cerr << "  " << change.Line() << '\n';
            }
        }
        if (refuseLoss) {
            PrintError(out + ": not written (--refuse-loss)");
            return kExitFailed;
        }
    }
    if (!WriteFileAtomically(out, built.data(), EdidLength(built), error, force)) {
        PrintError(error);
        return kExitError;
    }
    return kExitOk;
}

const CommandRegistration rebuildCommand{
    {"rebuild", "rebuild [--refuse-loss] [--force] IN OUT",
     "load IN into the creator, build it without an edit and write it to OUT; list on stderr "
     "what the build loses of IN and what it adds; exit 1 with the message when IN is invalid or "
     "the build fails, or (--refuse-loss, nothing written) when anything would be lost or added; "
     "OUT the same file as IN needs --force or --refuse-loss; a read-only OUT needs --force",
     &Rebuild}};

} // namespace
} // namespace tavo::cli
