// check [--json] FILE...: whether each EDID is sound, as findings an installer can read.
#include <algorithm>
#include <iostream>
#include <span>
#include <string>

#include "Command.h"
#include "FileIo.h"
#include "edid/Check.h"
#include "edid/EdidSource.h"

namespace tavo::cli {
namespace {

// The findings for the image ReadEdidFile gave: its own `size` bytes (0: as a slot holds it). A
// file of more blocks never comes here: ReadLargeEdidFile has read it whole.
std::vector<Finding> CheckRead(const EdidImage& image, std::size_t size) {
    if (size == 0) return CheckImage(image);
    return CheckEdid(std::span<const std::uint8_t>(image.data(), std::min(size, kEdidSize)));
}

void PrintFindings(const std::string& file, const std::vector<Finding>& findings, bool json) {
    if (json) {
        std::cout << CheckJson(file, findings) << '\n';
        return;
    }
    std::cout << file << ": " << VerdictName(VerdictOf(findings)) << " ("
              << CheckSummaryLine(findings) << ")\n";
    for (const Finding& f : findings)
        std::cout << "  " << FindingText(f) << '\n';
}

int Check(const Args& args) {
    const FileArgs in = ParseFileArgs(args);
    if (in.files.empty()) return UsageError("check");
    bool unreadable = false, failed = false;
    for (const std::string& file : in.files) {
        // an EDID of more blocks is checked whole, every block as edid-decode reads it
        std::vector<std::uint8_t> whole;
        EdidImage image;
        std::string error;
        std::size_t size = 0;
        if (!ReadLargeEdidFile(file, whole) && !ReadEdidFile(file, image, error, size)) {
            PrintError(error);
            unreadable = true;
            continue;
        }
        const std::vector<Finding> findings =
            whole.empty() ? CheckRead(image, size) : CheckEdid(whole);
        failed = failed || VerdictOf(findings) == Verdict::Fail;
        PrintFindings(file, findings, in.json);
    }
    return unreadable ? kExitError : failed ? kExitFailed : kExitOk;
}

const CommandRegistration checkCommand{
    {"check", "check [--json] FILE...",
     "check each EDID: a verdict (pass, warn, fail) and one line per finding (--json: one JSON "
     "object per file); exit 1 when any fails",
     &Check}};

} // namespace
} // namespace tavo::cli
