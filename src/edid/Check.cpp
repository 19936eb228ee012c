#include "edid/Check.h"

// A placeholder that finds nothing; the rules follow.
namespace tavo {

std::string_view SeverityName(Severity severity) {
    return severity == Severity::Failure ? "failure" : "warning";
}
std::span<const CheckRule> CheckRules() {
    return {};
}
const CheckRule* FindCheckRule(std::string_view) {
    return nullptr;
}
std::vector<Finding> CheckEdid(std::span<const std::uint8_t>) {
    return {};
}
std::vector<Finding> CheckImage(const EdidImage&) {
    return {};
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
std::string CheckSummaryLine(const std::vector<Finding>&) {
    return "Check: no finding";
}
std::string FindingText(const Finding& f) {
    return f.text;
}
std::string CheckJson(std::string_view, const std::vector<Finding>&) {
    return "{}";
}

} // namespace tavo
