#include <gtest/gtest.h>

#include "link/SlotName.h"

namespace tavo {
namespace {

TEST(SlotName, NamesAndSelectorsBothWays) {
    const struct {
        const char* name;
        std::uint16_t selector;
        const char* file;
        bool writable;
    } cases[] = {
        {"input1", 0x0000, "Input1 EDID.bin", true},
        {"input4", 0x0003, "Input4 EDID.bin", true},
        {"output1", 0x1000, "Output1 EDID.bin", false},
        {"user3", 0x2002, "User3 EDID.bin", true},
        {"user8", 0x2007, "User8 EDID.bin", true},
        {"internal2", 0x3001, "Internal2 EDID.bin", false},
        {"internal12", 0x300B, "Internal12 EDID.bin", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto slot = ParseSlotName(c.name);
        ASSERT_TRUE(slot);
        EXPECT_EQ(slot->value, c.selector);
        EXPECT_EQ(SlotName(*slot), c.name);
        EXPECT_EQ(ProposedEdidFileName(*slot), c.file);
        EXPECT_EQ(IsWritableSlot(*slot), c.writable);
    }
}

TEST(SlotName, RejectsWhatIsNotASlot) {
    for (const char* bad : {"", "input", "input0", "input01", "Input1", "in1", "output-1", "user1x",
                            "internal 2", "user99999", "input4097", "1"})
        EXPECT_FALSE(ParseSlotName(bad)) << bad;
    EXPECT_TRUE(ParseSlotName("input4096"));
}

TEST(SlotName, ExistsOnlyWithinTheDeviceCounts) {
    // I=4 O=1 U=8 N=8
    EXPECT_TRUE(SlotExists(*ParseSlotName("input4"), 4, 1, 8, 8));
    EXPECT_FALSE(SlotExists(*ParseSlotName("input5"), 4, 1, 8, 8));
    EXPECT_FALSE(SlotExists(*ParseSlotName("output2"), 4, 1, 8, 8));
    EXPECT_TRUE(SlotExists(*ParseSlotName("internal8"), 4, 1, 8, 8));
    EXPECT_FALSE(SlotExists(*ParseSlotName("user1"), 4, 1, 0, 8));
}

TEST(SlotName, FloorsAddTheFixedWaits) {
    // ND_SEL 20 (+100 for a user slot), four GETs of 50, four SETs of 20
    EXPECT_EQ(SlotReadFloorMs(*ParseSlotName("input1")), 220u);
    EXPECT_EQ(SlotReadFloorMs(*ParseSlotName("output1")), 220u);
    EXPECT_EQ(SlotReadFloorMs(*ParseSlotName("user2")), 320u);
    EXPECT_EQ(SlotWriteFloorMs(*ParseSlotName("input1")), 100u);
    EXPECT_EQ(SlotWriteFloorMs(*ParseSlotName("user1")), 200u);
}

} // namespace
} // namespace tavo
