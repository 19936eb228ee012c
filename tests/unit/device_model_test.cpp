// Slot lists, selector mapping and the Mode Select numbering.
#include <gtest/gtest.h>

#include "link/DeviceModel.h"

using namespace tavo;

TEST(SlotLists, TwoOneTwoThree) {
    const auto all = SlotListItems(SlotList::All, 2, 1, 2, 3);
    EXPECT_EQ(all,
              (std::vector<std::string>{"Input 1", "Input 2", "----------------", "Output 1",
                                        "----------------", "User 1", "User 2", "----------------",
                                        "Internal 1", "Internal 2", "Internal 3"}));
    EXPECT_EQ(SlotListItems(SlotList::Src, 2, 1, 2, 3), all);
    EXPECT_EQ(
        SlotListItems(SlotList::Dest, 2, 1, 2, 3),
        (std::vector<std::string>{"Input 1", "Input 2", "----------------", "User 1", "User 2"}));
    EXPECT_EQ(SlotListItems(SlotList::Upload, 2, 1, 2, 3).size(), 5u);
    EXPECT_EQ(SlotListInitialPosition(SlotList::Src, 2), 3);
    EXPECT_EQ(SlotListInitialPosition(SlotList::All, 2), 0);
    EXPECT_EQ(SlotListInitialPosition(SlotList::Upload, 2), 0);
}

TEST(SlotLists, PositionToSelector) {
    // I=2, O=1, U=2, N=3; -1 marks a separator or a position past the list
    const int expectedAll[] = {0x0000, 0x0001, -1,     0x1000, -1, 0x2000, 0x2001,
                               -1,     0x3000, 0x3001, 0x3002, -1, -1};
    for (int p = 0; p < 13; ++p) {
        const auto s = SlotAtPosition(SlotList::All, p, 2, 1, 2, 3);
        EXPECT_EQ(s ? int(s->value) : -1, expectedAll[p]) << "All position " << p;
        const auto t = SlotAtPosition(SlotList::Src, p, 2, 1, 2, 3);
        EXPECT_EQ(t ? int(t->value) : -1, expectedAll[p]) << "Src position " << p;
    }
    const int expectedDest[] = {0x0000, 0x0001, -1, 0x2000, 0x2001, -1};
    for (int p = 0; p < 6; ++p) {
        for (SlotList l : {SlotList::Dest, SlotList::Upload}) {
            const auto s = SlotAtPosition(l, p, 2, 1, 2, 3);
            EXPECT_EQ(s ? int(s->value) : -1, expectedDest[p]) << "position " << p;
        }
    }
    EXPECT_FALSE(SlotAtPosition(SlotList::All, -1, 2, 1, 2, 3));
    EXPECT_TRUE(IsSeparatorPosition(SlotList::All, 2, 2, 1, 2, 3));
    EXPECT_FALSE(IsSeparatorPosition(SlotList::All, 3, 2, 1, 2, 3));
    EXPECT_FALSE(IsSeparatorPosition(SlotList::All, 40, 2, 1, 2, 3));
}

TEST(SlotLists, EmptyCounts) {
    EXPECT_EQ(SlotListItems(SlotList::All, 0, 0, 0, 0).size(), 3u);
    EXPECT_FALSE(SlotAtPosition(SlotList::All, 0, 0, 0, 0, 0));
    EXPECT_EQ(SlotListItems(SlotList::Dest, 0, 0, 0, 0),
              (std::vector<std::string>{"----------------"}));
}

TEST(ModeNumbering, ButtonsForModes) {
    struct Case {
        unsigned mode, n, o, u;
        std::string button; // "" = none
    } cases[] = {
        {0, 3, 1, 5, "RadioButton_Set_IntEdid1"},
        {2, 3, 1, 5, "RadioButton_Set_IntEdid3"},
        {3, 3, 1, 5, "RadioButton_Set_ExtEdid1"},
        {4, 3, 1, 5, "RadioButton_Set_UserEdid1"},
        {8, 3, 1, 5, "RadioButton_Set_UserEdid5"},
        {9, 3, 1, 5, ""},
        {8, 8, 1, 8, "RadioButton_Set_ExtEdid1"},
        {9, 8, 1, 8, "RadioButton_Set_UserEdid1"},
        {16, 8, 1, 8, "RadioButton_Set_UserEdid8"},
        {17, 8, 1, 8, ""},
        {0xFE, 8, 1, 8, ""},
        // counts past the buttons that exist never name a button that is not there
        {9, 10, 1, 8, ""},
        {10, 10, 2, 8, "RadioButton_Set_ExtEdid1"},
        {11, 10, 2, 8, ""},
        {12, 10, 2, 9, "RadioButton_Set_UserEdid1"},
        {20, 10, 2, 9, ""},
    };
    for (const auto& c : cases) {
        const auto b = ModeToButton(c.mode, c.n, c.o, c.u);
        EXPECT_EQ(b ? ModeButtonName(*b) : std::string(), c.button) << "mode " << c.mode;
        if (b) {
            EXPECT_EQ(ButtonToMode(*b, c.n, c.o), c.mode);
        }
    }
    EXPECT_EQ(ModeButtonsInUse(3, 1, 5).size(), 9u);
    EXPECT_EQ(ModeButtonsInUse(200, 200, 200).size(), 17u);
}

namespace {
DeviceRecord Device(unsigned n, unsigned o, unsigned u, bool selectable, std::uint8_t current) {
    DeviceRecord r;
    r.internalCount = static_cast<std::uint8_t>(n);
    r.outputCount = static_cast<std::uint8_t>(o);
    r.userCount = static_cast<std::uint8_t>(u);
    r.inputs[0].modesSelectable = selectable ? 1 : 0;
    r.inputs[0].currentMode = current;
    return r;
}
} // namespace

TEST(ShowEdidMode, Cases) {
    // first mode after the search (0xFF): always shown, nothing disabled (0xFF is no valid mode)
    auto a = ComputeShowEdidMode(Device(3, 1, 5, false, kModeUnknown), 2);
    EXPECT_TRUE(a.changed);
    EXPECT_FALSE(a.disable);
    ASSERT_TRUE(a.enableAndCheck);
    EXPECT_EQ(ModeButtonName(*a.enableAndCheck), "RadioButton_Set_IntEdid3");

    // the same mode twice: nothing
    a = ComputeShowEdidMode(Device(3, 1, 5, false, 2), 2);
    EXPECT_FALSE(a.changed);
    EXPECT_FALSE(a.disable);
    EXPECT_FALSE(a.enableAndCheck);

    // not selectable: the old button is disabled, the new one enabled and checked
    a = ComputeShowEdidMode(Device(3, 1, 5, false, 2), 4);
    ASSERT_TRUE(a.disable);
    EXPECT_EQ(ModeButtonName(*a.disable), "RadioButton_Set_IntEdid3");
    EXPECT_EQ(ModeButtonName(*a.enableAndCheck), "RadioButton_Set_UserEdid1");

    // selectable: nothing is disabled
    a = ComputeShowEdidMode(Device(3, 1, 5, true, 2), 4);
    EXPECT_FALSE(a.disable);
    EXPECT_TRUE(a.enableAndCheck);

    // 0xFE: disables the old button and checks none; 0xFE twice still acts
    a = ComputeShowEdidMode(Device(3, 1, 5, false, 2), kModeNone);
    EXPECT_TRUE(a.disable);
    EXPECT_FALSE(a.enableAndCheck);
    a = ComputeShowEdidMode(Device(3, 1, 5, false, kModeNone), kModeNone);
    EXPECT_TRUE(a.changed);
    EXPECT_FALSE(a.disable);

    // out of range: no button, but stored
    DeviceRecord r = Device(3, 1, 5, true, 1);
    a = ComputeShowEdidMode(r, 9);
    EXPECT_TRUE(a.changed);
    EXPECT_FALSE(a.enableAndCheck);
    StoreShownMode(r, a);
    EXPECT_EQ(r.inputs[0].currentMode, 9);
}

TEST(DeviceTable, CurrentNeverPastTheTable) {
    DeviceTable t;
    t.current = 25;
    t.Current().product = "x";
    EXPECT_EQ(t.records[19].product, "x");
    t.current = -3;
    EXPECT_EQ(&t.Current(), &t.records[0]);
}
