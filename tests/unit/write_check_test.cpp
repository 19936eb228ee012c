// The check before a write: what is asked about an EDID that fails the check, which answers are
// offered, and what "Repair and write" would write.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "edid_builders.h"
#include "workspace/analysis/WriteCheck.h"
#include "workspace/sources/Presets.h"

using namespace tavo;

namespace {

void MendChecksum(EdidImage& image, int block) {
    std::uint8_t sum = 0;
    for (int i = block * 128; i < block * 128 + 127; ++i)
        sum = static_cast<std::uint8_t>(sum + image[static_cast<std::size_t>(i)]);
    image[static_cast<std::size_t>(block * 128 + 127)] = static_cast<std::uint8_t>(0x100 - sum);
}

EdidImage Clean() {
    return BuildPreset("1080p60-stereo").image;
}

// The first video code written over the second, the checksum mended.
EdidImage DuplicateVic() {
    EdidImage image = Clean();
    const auto video = test::DataBlocksTagged(image, kTagVideo);
    EXPECT_FALSE(video.empty());
    const int at = video.empty() ? 132 : video[0];
    image[static_cast<std::size_t>(at + 2)] = image[static_cast<std::size_t>(at + 1)];
    MendChecksum(image, 1);
    return image;
}

EdidImage BadChecksum() {
    EdidImage image = Clean();
    image[255] = static_cast<std::uint8_t>(image[255] + 1);
    return image;
}

// A broken header (the checksum mended): no repair mends it, and the uploads refuse it.
EdidImage BadHeader() {
    EdidImage image = Clean();
    image[1] = 0x12;
    MendChecksum(image, 0);
    return image;
}

bool Has(const std::vector<std::string>& list, std::string_view item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

} // namespace

TEST(WriteCheck, FailingRulesAreEachNamedOnceInTheirOrder) {
    const std::vector<Finding> findings = {
        {"range-limits", Severity::Failure, "Display Range Limits", 108, 18, "a"},
        {"missing-name", Severity::Warning, "", 0, 0, "b"},
        {"checksum", Severity::Failure, "Checksum", 127, 1, "c"},
        {"range-limits", Severity::Failure, "Display Range Limits", 108, 18, "d"},
    };
    EXPECT_EQ(FailingRules(findings), (std::vector<std::string>{"range-limits", "checksum"}));
    EXPECT_TRUE(FailingRules({findings[1]}).empty());
}

TEST(WriteCheck, WhatIsAskedAndOffered) {
    using Answers = std::vector<std::string_view>;
    const struct {
        const char* name;
        EdidImage image;
        bool asks;
        std::string_view rule; // a rule the question names
        Answers answers;
        bool repairGivesClean; // the repair is the clean EDID again
    } rows[] = {
        {"clean", Clean(), false, "", {}, false},
        {"duplicate-vic",
         DuplicateVic(),
         true,
         "duplicate-vic",
         {kAnswerRepairAndWrite, kAnswerWriteAsItIs, kAnswerCancel},
         false},
        {"checksum", BadChecksum(), true, "checksum", {kAnswerRepairAndWrite, kAnswerCancel}, true},
        {"header", BadHeader(), true, "header", {kAnswerCancel}, false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        const WriteCheck check = CheckBeforeWrite(r.image);
        EXPECT_EQ(check.asks(), r.asks);
        if (!r.asks) {
            EXPECT_NE(check.verdict, Verdict::Fail);
            continue;
        }
        EXPECT_TRUE(Has(check.failing, r.rule));
        const std::string question = WriteCheckQuestion(check);
        EXPECT_EQ(question.rfind("This EDID fails the check:\n  ", 0), 0u) << question;
        EXPECT_NE(question.find(std::string(r.rule)), std::string::npos) << question;
        EXPECT_EQ(WriteCheckAnswers(check), r.answers);
        if (check.repairable) {
            EXPECT_TRUE(Has(check.mended, r.rule));
            EXPECT_FALSE(Has(check.stillFailing, r.rule));
            EXPECT_FALSE(check.repairChanges.empty());
            EXPECT_NE(VerdictOf(CheckImage(check.repaired)), Verdict::Fail);
            EXPECT_NE(question.find("The repair mends"), std::string::npos) << question;
        } else {
            EXPECT_NE(question.find("No repair mends this"), std::string::npos) << question;
        }
        if (r.repairGivesClean) {
            EXPECT_EQ(check.repaired, Clean());
        }
    }
}
