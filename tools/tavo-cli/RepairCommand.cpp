// repair [--rule ID]... [--json] [--force] IN OUT: the EDID of IN mended by every default repair
// and the named ones, written to OUT (as many bytes as IN holds), each change listed by rule.
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "Command.h"
#include "FileIo.h"
#include "edid/BlockMap.h"
#include "edid/JsonWriter.h"
#include "edid/Repair.h"

namespace tavo::cli {
namespace {

struct RepairArgs {
    std::vector<std::string> rules, files;
    bool json = false, force = false;
    std::string problem; // an unknown rule, a missing value
};

std::string RuleIds() {
    std::string ids;
    for (const auto& r : RepairRuleList())
        ids += (ids.empty() ? "" : ", ") + std::string(r.id) + (r.byDefault ? "" : " (named)");
    return ids;
}

RepairArgs ParseRepairArgs(const Args& args) {
    RepairArgs in;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view a = args[i];
        if (a == "--json") {
            in.json = true;
        } else if (a == "--force") {
            in.force = true;
        } else if (a == "--rule" || a.rfind("--rule=", 0) == 0) {
            std::string id;
            if (a == "--rule") {
                if (i + 1 == args.size()) return in.problem = "--rule needs a rule id", in;
                id = args[++i];
            } else {
                id = a.substr(7);
            }
            if (!IsRepairRule(id))
                return in.problem = "no repair for rule '" + id + "'; rules: " + RuleIds(), in;
            in.rules.push_back(id);
        } else {
            in.files.emplace_back(a);
        }
    }
    return in;
}

std::string RepairJson(const RepairArgs& in, const RepairResult& r) {
    JsonWriter json(JsonSpacing::Tight);
    json.BeginObject().Member("in", in.files[0]).Member("out", in.files[1]);
    json.Key("changes").BeginArray();
    for (const RepairChange& change : r.changes) {
        json.BeginObject().Member("rule", change.rule).Key("differences").BeginArray();
        for (const std::string& text : DifferenceTexts(change.differences))
            json.String(text);
        json.EndArray().EndObject();
    }
    json.EndArray();
    // the findings left, as the check writes them
    WriteFindings(json.Key("remaining"), r.after);
    return json.EndObject().Text();
}

int Repair(const Args& args) {
    const RepairArgs in = ParseRepairArgs(args);
    if (!in.problem.empty()) {
        PrintError("repair: " + in.problem);
        return kExitError;
    }
    if (in.files.size() != 2) return UsageError("repair");
    std::error_code ec;
    if (!in.force && std::filesystem::equivalent(in.files[0], in.files[1], ec)) {
        PrintError(in.files[1] + ": is the input file; give --force to overwrite it");
        return kExitError;
    }
    EdidImage image;
    std::size_t size = 0;
    std::string error;
    // an EDID of more than two blocks is repaired whole: its CTA-861 blocks as the first, every
    // other block kept (bar its checksum, where that is wrong)
    std::vector<std::uint8_t> whole;
    if (ReadLargeEdidFile(in.files[0], whole)) {
        std::copy_n(whole.begin(), kEdidSize, image.begin());
        size = whole.size();
    } else if (!ReadEdidFile(in.files[0], image, error, size)) {
        PrintError(error);
        return kExitError;
    }
    if (image[0] != 0 || image[7] != 0 ||
        !std::all_of(image.begin() + 1, image.begin() + 7, [](auto b) { return b == 0xFF; })) {
        PrintError(in.files[0] + ": not an EDID (it does not start with the EDID header)");
        return kExitError;
    }
    RepairResult r;
    if (!whole.empty()) {
        // whole blocks only: a block the file ends inside stays as it is
        r = RepairEdid(whole, in.rules);
    } else {
        // a preset (size 0) as `preset` writes it: 128 bytes without an extension
        if (size == 0) size = image[126] == 0 ? kEdidSize / 2 : kEdidSize;
        // one block stays one block; 256 bytes are read as a slot holds them (an erased
        // extension area stays as it is)
        size = size <= kEdidSize / 2 ? kEdidSize / 2 : kEdidSize;
        r = size == kEdidSize ? RepairImage(image, in.rules)
                              : RepairEdid(std::span(image.data(), size), in.rules);
    }
    if (in.json) {
        std::cout << RepairJson(in, r) << '\n';
    } else {
        for (const auto& line : RepairChangeTexts(r))
            std::cout << line << '\n';
        if (!r.changed()) std::cout << in.files[0] << ": nothing to repair\n";
        for (const auto& f : r.after)
            std::cout << "remaining: " << FindingText(f) << '\n';
    }
    if (!r.changed()) return kExitFailed;
    if (!WriteFileAtomically(in.files[1], r.bytes.data(), r.bytes.size(), error, in.force)) {
        PrintError(error);
        return kExitError;
    }
    return kExitOk;
}

const CommandRegistration repairCommand{
    {"repair", "repair [--rule ID]... [--json] [--force] IN OUT",
     "mend the EDID of IN and write it to OUT (as many bytes as IN): every default repair "
     "(changes nothing a display claims) and the repairs of the rules named with --rule "
     "(they change a claim); list each change by rule and the check's findings left; --json one "
     "object {in, out, changes, remaining}; exit 1 when there is nothing to repair (nothing "
     "written), 2 for an unreadable IN or one without the EDID header, an unknown rule or an "
     "unwritable OUT",
     &Repair}};

} // namespace
} // namespace tavo::cli
