// fit [--json] [--force] IN OUT: an EDID of more than 256 bytes cut to what a slot holds (the
// base block and the first CTA-861 extension), with the blocks it drops named.
#include <filesystem>
#include <iostream>
#include <string>

#include "Command.h"
#include "FileIo.h"
#include "edid/EdidBlocks.h"
#include "edid/Fit.h"
#include "edid/JsonWriter.h"
#include "edid/WholeEdid.h"

namespace tavo::cli {
namespace {

int Fit(const Args& args) {
    bool json = false, force = false;
    std::vector<std::string> files;
    cmdline::OptionParser parser;
    parser.Flag("--json", [&json] { json = true; })
        .Flag("--force", [&force] { force = true; })
        .Arguments([&files](const std::string& a) {
            files.push_back(a);
            return true;
        });
    if (const auto failure = parser.Parse(args)) {
        if (!failure->IsUsage()) PrintError(failure->Text());
        return UsageError("fit");
    }
    if (files.size() != 2) return UsageError("fit");
    const std::string& in = files[0];
    const std::string& out = files[1];
    std::vector<std::uint8_t> bytes;
    std::string error;
    if (!ReadWholeEdidFile(in, bytes, error)) {
        PrintError(error);
        return kExitError;
    }
    const FitOutcome fit = FitEdid(bytes);
    switch (fit.result) {
    case FitResult::NoBase:
        PrintError(in + ": no EDID base block (header and 128 bytes) to keep");
        return kExitError;
    case FitResult::NoCta:
        PrintError(in + ": no CTA-861 extension to keep; nothing fits a slot as it is");
        return kExitError;
    case FitResult::AlreadyFits:
        if (json) {
            JsonWriter json(JsonSpacing::Spaced);
            json.BeginObject().Member("in", in).Key("fitted").Bool(false);
            std::cout << json.Key("dropped").BeginArray().EndArray().EndObject().Text() << '\n';
        } else {
            std::cout << in << ": " << bytes.size() << " bytes, fits a slot as it is\n";
        }
        return kExitFailed;
    case FitResult::Fitted:
        break;
    }
    std::error_code ec;
    if (!force && std::filesystem::equivalent(in, out, ec)) {
        PrintError(out + ": is the input; give --force to overwrite it");
        return kExitError;
    }
    if (!WriteFileAtomically(out, fit.image.data(), fit.image.size(), error, force)) {
        PrintError(error);
        return kExitError;
    }
    const int kept = ReadEdidBlocks(bytes).FirstCta()->index;
    if (json) {
        JsonWriter json(JsonSpacing::Spaced);
        json.BeginObject().Member("in", in).Member("out", out).Key("fitted").Bool(true);
        json.Key("kept").BeginArray().Number(0).Number(kept).EndArray();
        json.Key("dropped").BeginArray();
        for (const auto& dropped : fit.dropped)
            json.String(dropped);
        std::cout << json.EndArray().EndObject().Text() << '\n';
    } else {
        std::cout << in << ": kept the base block and CTA-861 block " << kept << ", wrote " << out
                  << "; dropped:\n";
        for (const auto& d : fit.dropped)
            std::cout << "  " << d << '\n';
    }
    return kExitOk;
}

const CommandRegistration fitCommand{
    {"fit", "fit [--json] [--force] IN OUT",
     "write the base block and the first CTA-861 extension of a larger EDID to OUT, naming "
     "each dropped block; exit 0 fitted, 1 nothing to fit, 2 bad input (--force: also over "
     "IN or a read-only file)",
     &Fit}};

} // namespace
} // namespace tavo::cli
