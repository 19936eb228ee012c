#include "edid/Check.h"

#include <algorithm>

#include "edid/BlockMap.h"
#include "edid/CheckModel.h"
#include "edid/JsonWriter.h"

namespace tavo {
namespace {

constexpr Severity kFail = Severity::Failure;
constexpr Severity kWarn = Severity::Warning;
constexpr RepairKind kDefault = RepairKind::Default;
constexpr RepairKind kNamed = RepairKind::Named;
constexpr RepairKind kNone = RepairKind::None;

constexpr CheckRule kRules[] = {
    {"checksum", kFail, "A block's checksum is wrong.", kDefault},
    {"header", kFail, "The EDID does not start with the EDID header.", kNone},
    {"extension-count", kFail,
     "The base block announces another number of extensions than the "
     "EDID holds.",
     kDefault},
    {"range-limits", kFail, "A listed timing lies outside the range limits.", kNamed},
    {"missing-range-limits", kFail, "The range limits descriptor is missing.", kNone},
    {"missing-name", kFail, "The display product name is missing.", kNone},
    {"serial-number", kWarn,
     "A serial number descriptor is given and the base block's serial "
     "number is not 0.",
     kNamed},
    {"image-size", kFail, "A detailed timing's image size does not match the display size.",
     kNamed},
    {"srgb", kFail, "The sRGB flag does not agree with the chromaticities.", kNone},
    {"native-timings", kFail,
     "Several native timings, or native timings of several "
     "resolutions.",
     kNamed},
    {"missing-vcdb", kFail, "The video capability data block is missing.", kNamed},
    {"vcdb-quantization", kFail,
     "The video capability data block does not offer a selectable "
     "quantization range.",
     kNone},
    {"it-overscan", kWarn, "IT video formats are overscanned by default.", kNone},
    {"dtd-vs-vic", kWarn,
     "A detailed timing is close to but not the same as a video code or DMT "
     "timing.",
     kNone},
    {"gtf", kWarn,
     "The range limits offer GTF: deprecated in EDID 1.4, and wrong without "
     "continuous frequencies.",
     kNone},
    {"hdmi-version", kFail, "An HDMI block in an EDID that is not version 1.3.", kNamed},
    {"colorimetry-reserved", kFail, "The colorimetry data block sets reserved bits.", kDefault},
    {"duplicate-vic", kFail, "A video code is listed twice.", kDefault},
    {"descriptor-text", kFail,
     "A descriptor's text has characters that cannot be shown, trailing "
     "spaces, text after the line feed or is empty.",
     kDefault},
    {"hdmi-tmds", kFail, "The HDMI block claims a TMDS clock over 340 MHz.", kDefault},
    {"hf-tmds", kFail, "The HDMI Forum block's TMDS character rate cannot be.", kDefault},
    {"empty-descriptor", kFail, "A descriptor is all zeroes instead of a dummy descriptor.",
     kDefault},
    {"padding", kFail, "The extension's padding after its detailed timings is not zero.", kDefault},
    {"hdmi-vic-equivalent", kFail, "An HDMI VIC lacks its equivalent video code.", kNone},
    {"dtd-order", kFail, "EDID 1.3 without the first detailed timing as preferred timing.", kNone},
    {"required-timings", kFail, "640x480 at 60 Hz is not listed.", kNone},
    {"video-interface", kFail, "The video input definition holds a reserved value.", kDefault},
};

std::span<const CheckRule> Rules() {
    return kRules;
}

void AppendCount(std::string& out, std::size_t n, const char* word) {
    out += std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

} // namespace

std::string_view SeverityName(Severity severity) {
    return severity == Severity::Failure ? "failure" : "warning";
}

std::span<const CheckRule> CheckRules() {
    return Rules();
}

const CheckRule* FindCheckRule(std::string_view id) {
    for (const CheckRule& r : Rules())
        if (r.id == id) return &r;
    return nullptr;
}

std::vector<Finding> CheckEdid(std::span<const std::uint8_t> bytes) {
    std::vector<Finding> out;
    if (bytes.size() < 128) return out;
    const check::Model m = check::BuildModel(bytes);
    check::CheckBlocks(m, out);
    check::CheckBase(m, out);
    check::CheckDescriptors(m, out);
    check::CheckTimings(m, out);
    check::CheckCta(m, out);
    check::CheckHdmi(m, out);
    std::stable_sort(out.begin(), out.end(), [](const Finding& a, const Finding& b) {
        return a.offset != b.offset ? a.offset < b.offset : a.rule < b.rule;
    });
    return out;
}

std::vector<Finding> CheckImage(const EdidImage& image) {
    const auto tail = std::span<const std::uint8_t>(image).subspan(128);
    const bool erased = std::all_of(tail.begin(), tail.end(), [](auto v) { return v == 0xFF; }) ||
                        std::all_of(tail.begin(), tail.end(), [](auto v) { return v == 0; });
    const std::size_t size = image[126] == 0 && erased ? 128 : kEdidSize;
    return CheckEdid(std::span<const std::uint8_t>(image.data(), size));
}

Verdict VerdictOf(const std::vector<Finding>& findings) {
    Verdict v = Verdict::Pass;
    for (const auto& f : findings) {
        if (f.severity == Severity::Failure) return Verdict::Fail;
        v = Verdict::Warn;
    }
    return v;
}

std::string_view VerdictName(Verdict verdict) {
    return verdict == Verdict::Pass ? "pass" : verdict == Verdict::Warn ? "warn" : "fail";
}

std::string CheckSummaryLine(const std::vector<Finding>& findings) {
    const auto failures = static_cast<std::size_t>(
        std::count_if(findings.begin(), findings.end(),
                      [](const Finding& f) { return f.severity == Severity::Failure; }));
    const std::size_t warnings = findings.size() - failures;
    if (findings.empty()) return "Check: no finding";
    std::string out = "Check: ";
    if (failures) AppendCount(out, failures, "failure");
    if (failures && warnings) out += ", ";
    if (warnings) AppendCount(out, warnings, "warning");
    return out;
}

std::string FindingText(const Finding& f) {
    std::string out(SeverityName(f.severity));
    out += "  " + f.rule + "  " + f.part;
    if (f.length)
        out += " (offset " + std::to_string(f.offset) + ", " + std::to_string(f.length) +
               (f.length == 1 ? " byte)" : " bytes)");
    return out + ": " + f.text;
}

void WriteFindings(JsonWriter& json, const std::vector<Finding>& findings) {
    json.BeginArray();
    for (const Finding& f : findings)
        json.BeginObject()
            .Member("rule", f.rule)
            .Member("severity", SeverityName(f.severity))
            .Member("part", f.part)
            .MemberNumber("offset", f.offset)
            .MemberNumber("length", f.length)
            .Member("text", f.text)
            .EndObject();
    json.EndArray();
}

std::string CheckJson(std::string_view file, const std::vector<Finding>& findings,
                      std::string_view nameKey) {
    JsonWriter json(JsonSpacing::Spaced);
    json.BeginObject().Member(nameKey, file).Member("verdict", VerdictName(VerdictOf(findings)));
    WriteFindings(json.Key("findings"), findings);
    return json.EndObject().Text();
}

} // namespace tavo
