// The verdict of a verified slot write: the comparison of what was sent with what was read back,
// and what the status line and the command line say.
#include <gtest/gtest.h>

#include "link/SlotVerify.h"

using namespace tavo;

namespace {

EdidImage Filled(std::uint8_t v) {
    EdidImage image{};
    image.fill(v);
    return image;
}

SlotRead ReadOf(const EdidImage& image, bool complete = true) {
    SlotRead r;
    r.arrived = {true, true, true, complete};
    r.image = image;
    return r;
}

} // namespace

TEST(SlotVerify, CountsDifferencesAndNamesTheFirst) {
    const EdidImage a = Filled(0x11);
    const struct {
        std::vector<int> changed; // offsets whose byte the read-back has otherwise
        unsigned count;
        int first;
        const char* text;
    } cases[] = {
        {{}, 0, -1, "all 256 bytes match"},
        {{64, 128, 255}, 3, 64, "3 of 256 bytes differ, the first at offset 64 (0x40)"},
        {{0}, 1, 0, "1 of 256 bytes differ, the first at offset 0 (0x00)"},
        {{255, 200}, 2, 200, "2 of 256 bytes differ, the first at offset 200 (0xC8)"},
    };
    for (const auto& c : cases) {
        EdidImage b = a;
        for (int at : c.changed)
            b[at] ^= 0xFF; // as a device that inverts a byte stores it
        const ImageDifference d = CompareImages(a, b);
        EXPECT_EQ(d.count, c.count) << c.text;
        EXPECT_EQ(d.firstOffset, c.first) << c.text;
        EXPECT_EQ(d.equal(), c.changed.empty()) << c.text;
        EXPECT_EQ(DifferenceText(d), c.text);
    }
}

// Every way a verified write ends, with what the status line and the failure line say.
TEST(SlotVerify, VerdictsAndTheirWords) {
    const EdidImage sent = Filled(0x22);
    EdidImage corrupted = sent;
    corrupted[64] ^= 0xFF;
    corrupted[128] ^= 0xFF;

    VerifiedWrite verified;
    JudgeReadBack(verified, sent, ReadOf(sent));
    VerifiedWrite differs;
    JudgeReadBack(differs, sent, ReadOf(corrupted));
    VerifiedWrite differsTwice = differs;
    differsTwice.secondRead = true;
    VerifiedWrite partial;
    JudgeReadBack(partial, sent, ReadOf(sent, false));
    VerifiedWrite interrupted;
    SlotRead mixed = ReadOf(sent);
    mixed.interrupted = true; // the chunks may come from two slots
    JudgeReadBack(interrupted, sent, mixed);
    VerifiedWrite lost = verified;
    lost.lost = true;
    VerifiedWrite unverifiedOk; // --no-verify, every chunk acknowledged
    VerifiedWrite refused;
    refused.write.refused = true;
    VerifiedWrite refusedButHeld = verified; // the read-back decides, not the answers
    refusedButHeld.write.refused = true;

    const struct {
        const char* what;
        const VerifiedWrite& v;
        bool ok;
        const char* failure;
    } cases[] = {
        {"verified", verified, true, ""},
        {"differs", differs, false,
         "Upload Edid Failed. user2: 2 of 256 bytes differ, the first at offset 64 (0x40)."},
        {"differs twice", differsTwice, false,
         "Upload Edid Failed. user2: 2 of 256 bytes differ, the first at offset 64 (0x40) "
         "(read twice)."},
        {"partial read-back", partial, false,
         "Upload Edid Failed. user2 could not be read back to verify the write."},
        {"interrupted read-back", interrupted, false,
         "Upload Edid Failed. user2 could not be read back to verify the write."},
        {"lost", lost, false,
         "Upload Edid Failed. The device was lost during the write into user2."},
        {"unverified", unverifiedOk, true, ""},
        {"refused", refused, false, "Upload Edid Failed. The device refused the write into user2."},
        {"refused but held", refusedButHeld, true, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.v.ok(), c.ok) << c.what;
        EXPECT_EQ(WriteStatusText(c.v), c.ok ? "Ok." : "Upload Edid Failed.") << c.what;
        EXPECT_EQ(WriteFailureText(c.v, "user2"), c.failure) << c.what;
    }
    EXPECT_TRUE(partial.difference.equal()); // nothing compared without a whole read-back
}
