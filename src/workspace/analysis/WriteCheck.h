#pragma once
// The check before a write: an EDID about to be written into a slot or a file is checked
// (edid/Check.h); one that fails it is not written before the operator has been told which rules
// fail and has chosen to write the default repair (edid/Repair.h), to write it as it is, or to
// write nothing. Warnings alone ask nothing.
//
//   const WriteCheck check = CheckBeforeWrite(image);
//   if (check.asks()) ... ask WriteCheckQuestion(check), offering WriteCheckAnswers(check) ...
#include <string>
#include <string_view>
#include <vector>

#include "edid/Check.h"
#include "edid/EdidImage.h"
#include "edid/Repair.h"

namespace tavo {

// The answers, as the question's buttons say them.
inline constexpr std::string_view kAnswerRepairAndWrite = "Repair and write";
inline constexpr std::string_view kAnswerWriteAsItIs = "Write as it is";
inline constexpr std::string_view kAnswerCancel = "Cancel";

struct WriteCheck {
    EdidImage image{};             // the EDID to be written
    std::vector<Finding> findings; // the check's findings for it
    Verdict verdict = Verdict::Pass;
    std::vector<std::string> failing; // the rules that fail, each once, in the findings' order
    EdidImage repaired{};             // the default repair of `image`
    std::vector<std::string> repairChanges; // what the repair changes (RepairChangeTexts)
    std::vector<std::string> mended;        // failing rules the repair clears
    std::vector<std::string> stillFailing;  // rules that fail after the repair too
    bool repairable = false;                // the repair changes something and its result validates
    bool writable = false;                  // the EDID as it is passes the uploads' validation
    bool asks() const { return verdict == Verdict::Fail; }
};

// The check of `image` and of its default repair.
WriteCheck CheckBeforeWrite(const EdidImage& image);

// The rules among `findings` that fail, each once, in the findings' order.
std::vector<std::string> FailingRules(const std::vector<Finding>& findings);

// "This EDID fails the check:" and one line per failing rule with its first sentence, then what
// the repair mends and what it leaves failing (or that nothing mends it without changing what
// the display claims).
std::string WriteCheckQuestion(const WriteCheck& check);

// The answers offered: "Repair and write" when the repair helps, "Write as it is" when the EDID
// passes the uploads' validation, and always "Cancel", last.
std::vector<std::string_view> WriteCheckAnswers(const WriteCheck& check);

} // namespace tavo
