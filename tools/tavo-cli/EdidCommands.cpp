// EDID file subcommands: analyze, validate, new.
#include <iostream>
#include <string>
#include <vector>

#include "Command.h"
#include "FileIo.h"
#include "edid/NewEdidTemplate.h"
#include "workspace/analysis/AnalyzerSummary.h"

namespace tavo::cli {
namespace {

int Analyze(const Args& args) {
    const FileArgs in = ParseFileArgs(args);
    if (in.files.empty()) return UsageError("analyze");
    bool first = true;
    const auto show = [&](const std::string& file, const EdidImage& image,
                          const std::string& further) {
        EdidRecord record;
        record.image = image;
        const AnalyzerSummary summary = AnalyseEdid(record);
        if (in.json) {
            std::cout << SummaryJson(file, summary, further) << '\n';
        } else {
            if (!first) std::cout << '\n';
            PrintAnalysis(std::cout, file, summary);
            if (!further.empty())
                std::cout << AnalysisCaption(kFurtherBlocksLabel) << ' ' << further << '\n';
        }
        first = false;
    };
    int rc = kExitOk;
    for (const std::string& file : in.files) {
        // an EDID of more blocks: its base block and first CTA-861 extension, and what follows
        std::vector<std::uint8_t> whole;
        EdidImage image{};
        std::string further;
        if (ReadLargeEdidFile(file, whole) && AnalysisOfWholeEdid(whole, image, further)) {
            show(file, image, further);
            continue;
        }
        if (ForEachEdidFile({file}, [&](const std::string& f, const EdidImage& i) {
                show(f, i, {});
            }) != kExitOk)
            rc = kExitError;
    }
    return rc;
}

int Validate(const Args& args) {
    if (args.empty()) return UsageError("validate");
    std::vector<std::string> files(args.begin(), args.end());
    bool failed = false;
    const int rc = ForEachEdidFile(files, [&](const std::string& file, const EdidImage& image) {
        std::uint16_t status = 0;
        if (ValidateImage(image, status)) {
            std::cout << file << ": Ok.\n";
        } else {
            std::cout << file << ": " << ValidationMessage(status) << '\n';
            failed = true;
        }
    });
    // an unreadable file (exit 2) counts before a failed validation (exit 1)
    return rc != kExitOk ? rc : failed ? kExitFailed : kExitOk;
}

int New(const Args& args) {
    const bool force = !args.empty() && args[0] == "--force";
    if (args.size() != (force ? 2u : 1u)) return UsageError("new");
    const EdidImage& image = NewEdidTemplate();
    std::string error;
    if (!WriteFileAtomically(std::string(args.back()), image.data(), EdidLength(image), error,
                             force)) {
        PrintError(error);
        return kExitError;
    }
    return kExitOk;
}

const CommandRegistration analyzeCommand{
    {"analyze", "analyze [--json] FILE...",
     "print the EDID analysis of each file (--json: one JSON object per line)", &Analyze}};
const CommandRegistration validateCommand{
    {"validate", "validate FILE...",
     "check header and checksums of each file: \"Ok.\" or the error; exit 1 if any fails",
     &Validate}};
const CommandRegistration newCommand{
    {"new", "new [--force] OUT",
     "write the built-in new EDID to OUT (--force: also over a read-only file)", &New}};

} // namespace
} // namespace tavo::cli
