#include "workspace/analysis/WriteCheck.h"

#include <algorithm>

namespace tavo {

namespace {

bool Contains(const std::vector<std::string>& list, const std::string& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

std::string Joined(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& item : items) {
        if (!out.empty()) out += ", ";
        out += item;
    }
    return out;
}

} // namespace

std::vector<std::string> FailingRules(const std::vector<Finding>& findings) {
    std::vector<std::string> rules;
    for (const Finding& f : findings)
        if (f.severity == Severity::Failure && !Contains(rules, f.rule)) rules.push_back(f.rule);
    return rules;
}

WriteCheck CheckBeforeWrite(const EdidImage& image) {
    WriteCheck check;
    check.image = image;
    check.findings = CheckImage(image);
    check.verdict = VerdictOf(check.findings);
    check.failing = FailingRules(check.findings);
    std::uint16_t status = 0;
    check.writable = ValidateImage(image, status);
    if (!check.asks()) return check;

    const RepairResult repair = RepairImage(image);
    check.repaired = image;
    if (repair.bytes.size() == kEdidSize)
        std::copy(repair.bytes.begin(), repair.bytes.end(), check.repaired.begin());
    check.repairChanges = RepairChangeTexts(repair);
    // judged as the write will judge it: the repaired image checked again
    const std::vector<std::string> after = FailingRules(CheckImage(check.repaired));
    for (const std::string& rule : check.failing)
        (Contains(after, rule) ? check.stillFailing : check.mended).push_back(rule);
    for (const std::string& rule : after)
        if (!Contains(check.stillFailing, rule)) check.stillFailing.push_back(rule);
    std::uint16_t repairedStatus = 0;
    check.repairable = repair.changed() && check.repaired != image && !check.mended.empty() &&
                       ValidateImage(check.repaired, repairedStatus);
    return check;
}

std::string WriteCheckQuestion(const WriteCheck& check) {
    std::string text = "This EDID fails the check:\n";
    for (const std::string& rule : check.failing) {
        const auto f = std::find_if(check.findings.begin(), check.findings.end(),
                                    [&](const Finding& x) { return x.rule == rule; });
        text += "  " + rule;
        if (f != check.findings.end() && !f->text.empty()) text += ": " + f->text;
        text += "\n";
    }
    if (check.repairable) {
        text += "The repair mends " + Joined(check.mended) +
                " without changing what the display claims";
        text += check.stillFailing.empty()
                    ? "."
                    : "; " + Joined(check.stillFailing) + " would still fail.";
        text += "\n";
    } else {
        text += "No repair mends this without changing what the display claims.\n";
    }
    if (!check.writable) text += "As it is, the EDID cannot be written.\n";
    text += check.repairable
                ? (check.writable ? "Repair and write, write it as it is, or cancel?"
                                  : "Repair and write, or cancel?")
                : (check.writable ? "Write it as it is, or cancel?" : "Nothing can be written.");
    return text;
}

std::vector<std::string_view> WriteCheckAnswers(const WriteCheck& check) {
    std::vector<std::string_view> answers;
    if (check.repairable) answers.push_back(kAnswerRepairAndWrite);
    if (check.writable) answers.push_back(kAnswerWriteAsItIs);
    answers.push_back(kAnswerCancel);
    return answers;
}

} // namespace tavo
