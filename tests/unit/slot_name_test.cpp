#include <gtest/gtest.h>

#include "link/SlotHistory.h"
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

TEST(SlotHistory, IdentityKeysAreFolderNames) {
    EXPECT_EQ(DeviceIdentityKey("5441", "0401", "DevSim 4x1"), "5441-0401-DevSim_4x1");
    EXPECT_EQ(DeviceIdentityKey("", "", ""), "unknown");
    EXPECT_EQ(DeviceIdentityKey("..", "/", "a/../b"), "_.-_-a_.._b");
    EXPECT_EQ(DeviceIdentityKey("x", "y", std::string(300, 'z')).size(), 120u);
    EXPECT_EQ(DeviceIdentityKey("\xE9", "\n", "\t").find_first_not_of("_-"), std::string::npos);
}

TEST(SlotHistory, IndexKeepsWellFormedLinesOnly) {
    const std::string text = "20250102T030405123Z.bin\t2025-01-02T03:04:05.123Z\n"
                             "no tab here\n"
                             "../escape.bin\t2025\n"
                             "sub/dir.bin\t2025\n"
                             "x.txt\t2025\n"
                             ".bin\t2025\n"
                             "empty-time.bin\t\n"
                             "20250102T030406000Z-1.bin\t2025-01-02T03:04:06.000Z\r\n"
                             "last-without-newline.bin\tT";
    const auto entries = ParseHistoryIndex(text);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].file, "20250102T030405123Z.bin");
    EXPECT_EQ(entries[1].time, "2025-01-02T03:04:06.000Z");
    EXPECT_EQ(entries[2].file, "last-without-newline.bin");
    EXPECT_EQ(ParseHistoryIndex(FormatHistoryIndex(entries)), entries);
    EXPECT_EQ(HistoryFileName("2025-01-02T03:04:05.123Z"), "20250102T030405123Z.bin");
    EXPECT_EQ(HistoryFileName("2025-01-02T03:04:05.123Z", 2), "20250102T030405123Z-2.bin");
}

TEST(SlotHistory, AtMostTheLimitTheOldestDropped) {
    std::vector<HistoryIndexEntry> entries;
    for (int i = 0; i < 100; ++i)
        EXPECT_TRUE(AppendHistoryEntry(entries, {std::to_string(i) + ".bin", "t"}).empty());
    const auto dropped = AppendHistoryEntry(entries, {"100.bin", "t"});
    ASSERT_EQ(dropped.size(), 1u);
    EXPECT_EQ(dropped[0].file, "0.bin");
    EXPECT_EQ(entries.size(), kHistoryLimit);
    EXPECT_EQ(entries.front().file, "1.bin");
    EXPECT_EQ(entries.back().file, "100.bin");
    EXPECT_EQ(AppendHistoryEntry(entries, {"x.bin", "t"}, 3).size(), 98u); // a smaller limit

    // an index naming one file on two lines (edited by hand, or two writers before the lock):
    // dropping the older line never deletes the file the kept line still names
    entries = {{"a.bin", "1"}, {"a.bin", "2"}, {"b.bin", "3"}, {"b.bin", "4"}, {"c.bin", "5"}};
    const auto files = AppendHistoryEntry(entries, {"d.bin", "6"}, 3);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].file, "a.bin");
    EXPECT_EQ(entries.front(), (HistoryIndexEntry{"b.bin", "4"}));
    EXPECT_EQ(SlotTitle(SlotSelector::Make(SlotKind::Input, 0)), "Input 1");
    EXPECT_EQ(SlotTitle(SlotSelector::Make(SlotKind::User, 2)), "User 3");
}

} // namespace
} // namespace tavo
