// compose [--audio-from N] [--name TEXT] [--json] [--force] [--port PATH] OUT SOURCE...: the EDID
// every source can take, what it leaves out (stderr, or the JSON line) and its analysis.
#include <filesystem>
#include <iostream>
#include <string>

#include "Command.h"
#include "ComposeSlots.h"
#include "FileIo.h"
#include "edid/JsonWriter.h"
#include "workspace/analysis/AnalyzerSummary.h"
#include "workspace/compose/Compose.h"

namespace tavo::cli {

SlotReader& ComposeSlotReader() {
    static SlotReader reader = nullptr;
    return reader;
}

namespace {

struct ComposeArgs {
    ComposeOptions options;
    bool json = false, force = false, verbose = false;
    std::string port;
    std::vector<std::string> files; // OUT, then the sources
};

// False (with the reason on stderr when it is a bad value) when the command line is refused.
bool Parse(const Args& args, ComposeArgs& c) {
    cmdline::OptionParser parser;
    DeclarePortOptions(parser, c.port, c.verbose);
    parser
        .Value("--audio-from", "needs a source number",
               [&c](const std::string& v) -> std::string {
                   const auto n = cmdline::ParseInteger(v, 1, kComposeMaxSources);
                   if (!n) return cmdline::ExpectsNumber(1, kComposeMaxSources);
                   c.options.audioFrom = static_cast<int>(*n);
                   return {};
               })
        .Value("--name", "needs a text",
               [&c](const std::string& v) -> std::string {
                   c.options.name = v;
                   return {};
               })
        .Flag("--json", [&c] { c.json = true; })
        .Flag("--force", [&c] { c.force = true; })
        .Arguments([&c](const std::string& a) {
            c.files.push_back(a);
            return true;
        });
    if (const auto failure = parser.Parse(args)) {
        if (!failure->IsUsage()) PrintError(failure->Text());
        return false;
    }
    return c.files.size() >= 2;
}

int Compose(const Args& args) {
    ComposeArgs c;
    if (!Parse(args, c)) return UsageError("compose");
    const std::string& out = c.files[0];
    std::vector<ComposeSource> sources;
    std::vector<std::string> slots;
    for (std::size_t i = 1; i < c.files.size(); ++i) {
        const std::string& file = c.files[i];
        std::error_code ec;
        if (!c.force && std::filesystem::equivalent(file, out, ec)) {
            PrintError(out + ": is a source; give --force to overwrite it");
            return kExitError;
        }
        ComposeSource s;
        s.label = file;
        if (file.rfind(kSlotPrefix, 0) == 0) {
            s.label = file.substr(kSlotPrefix.size());
            slots.push_back(s.label);
        } else {
            std::string error;
            std::vector<std::uint8_t> whole;
            if (!ReadWholeEdidFile(file, whole, error)) {
                PrintError(error);
                return kExitError;
            }
            // an EDID of more blocks: its DisplayID timings count as the source's own
            s.image = ImageFromBytes(whole.data(), whole.size());
            if (whole.size() > kEdidSize) s.bytes = std::move(whole);
            const auto slash = file.find_last_of('/');
            if (slash != std::string::npos && file.rfind("display:", 0) != 0)
                s.label = file.substr(slash + 1);
        }
        sources.push_back(std::move(s));
    }
    if (!slots.empty()) {
        if (!ComposeSlotReader()) {
            if (HandToFullProgram()) return kExitError; // not reached: the full program runs
            PrintError("slot: sources need the device commands, which this tavo-cli lacks");
            return kExitError;
        }
        std::vector<EdidImage> images;
        if (!ComposeSlotReader()(c.port, c.verbose, slots, images)) return kExitError;
        std::size_t next = 0;
        for (std::size_t i = 1; i < c.files.size(); ++i)
            if (c.files[i].rfind(kSlotPrefix, 0) == 0) sources[i - 1].image = images[next++];
    }

    const ComposeResult result = tavo::Compose(sources, c.options);
    if (result.outcome != ComposeOutcome::Built) {
        if (c.json) std::cout << ComposeJson(result) << '\n';
        PrintError(result.message);
        return result.outcome == ComposeOutcome::NothingShared ? kExitFailed : kExitError;
    }
    std::string error;
    const std::size_t size = result.image[126] ? kEdidSize : kEdidSize / 2;
    if (!WriteFileAtomically(out, result.image.data(), size, error, c.force)) {
        PrintError(error);
        return kExitError;
    }
    EdidRecord record;
    record.image = result.image;
    const AnalyzerSummary summary = AnalyseEdid(record);
    if (c.json) {
        // the analysis as `analyze --json` writes it
        JsonWriter json(JsonSpacing::Spaced);
        json.BeginObject();
        WriteComposeMembers(json, result);
        WriteSummary(json.Key("analysis"), out, summary);
        std::cout << json.EndObject().Text() << '\n';
        return kExitOk;
    }
    if (!result.omissions.empty()) {
        std::cerr << out << ": left out of the composed EDID:\n";
        for (const ComposeOmission& o : result.omissions)
            std::cerr << "  " << o.text << '\n';
    }
    PrintAnalysis(std::cout, out, summary);
    return kExitOk;
}

const CommandRegistration composeCommand{
    {"compose",
     "compose [--audio-from N] [--name TEXT] [--json] [--force] [--port PATH] OUT SOURCE...",
     "write to OUT the EDID that every SOURCE (2 to 8: files, display:CONNECTOR, slot:NAME of "
     "the connected device) can take: the timings, colour, HDMI features and audio they all "
     "share (--audio-from N: the audio of source N); list on stderr what it leaves out (--json: "
     "one JSON line with the list and the analysis), then print its analysis; exit 1 when the "
     "sources share no timing (or their range limits share no rate), 2 for a source that is "
     "unreadable or invalid",
     &Compose}};

} // namespace
} // namespace tavo::cli
