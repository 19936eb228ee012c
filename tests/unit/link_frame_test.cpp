// Frames, CRC and the waits after a send, checked byte for byte without a clock.
#include <gtest/gtest.h>

#include "link/Crc16.h"
#include "link/Frame.h"

using namespace tavo;

namespace {

std::string Hex(const std::string& s) {
    std::string out;
    char buf[4];
    for (unsigned char c : s) {
        std::snprintf(buf, sizeof buf, "%02X ", c);
        out += buf;
    }
    if (!out.empty()) out.pop_back();
    return out;
}

// The writes of a command as hex bytes, one string per write ("|" between writes in the docs).
std::vector<std::string> HexWrites(std::uint8_t mode, std::uint16_t cmd,
                                   std::vector<std::uint8_t> payload) {
    std::vector<std::string> out;
    for (const auto& step :
         Uart_FrameWrites(mode, cmd, static_cast<std::uint16_t>(payload.size()), payload.data()))
        out.push_back(step.isPause() ? "pause " + std::to_string(step.pauseMs) : Hex(step.bytes));
    return out;
}

} // namespace

TEST(Crc16, CheckValueAndKnownPayloads) {
    EXPECT_EQ(Uart_Crc16("123456789"), 0x6F91);
    EXPECT_EQ(Uart_Crc16(""), 0xFFFF);
    EXPECT_EQ(Uart_Crc16("0000"), 0x4E5C);
    EXPECT_EQ(Uart_Crc16("2000"), 0x772A);
    EXPECT_EQ(Uart_Crc16("03"), 0x4502);
    // the initial value is the caller's: chaining two halves gives the CRC of the whole
    const std::uint8_t a[] = {'1', '2', '3', '4'}, b[] = {'5', '6', '7', '8', '9'};
    EXPECT_EQ(Uart_Crc16(Uart_Crc16(0xFFFF, a, 4), b, 5), 0x6F91);
}

TEST(Crc16, HexLettersAreUpperCase) {
    const struct {
        std::uint8_t byte;
        const char* hex;
    } cases[] = {{0xAB, "AB"}, {0x0F, "0F"}, {0x00, "00"}, {0xFF, "FF"}, {0x9A, "9A"}};
    for (const auto& c : cases) {
        const auto h = Uart_ByteToHex(c.byte);
        EXPECT_EQ(std::string(h.begin(), h.end()), c.hex);
    }
    EXPECT_EQ(CrcText(0x4e5c), "4E5C");
    EXPECT_EQ(CrcText(0x000a), "000A");
}

TEST(Crc16, HexToNibble) {
    EXPECT_EQ(Uart_HexToNibble('0'), 0);
    EXPECT_EQ(Uart_HexToNibble('9'), 9);
    EXPECT_EQ(Uart_HexToNibble('A'), 10);
    EXPECT_EQ(Uart_HexToNibble('F'), 15);
    EXPECT_EQ(Uart_HexToNibble('a'), 'a'); // lower case is not a digit here
    EXPECT_EQ(Uart_HexToNibble('G'), 'G');
}

TEST(Frame, WorkedExamplesByteForByte) {
    EXPECT_EQ(HexWrites(kModeGet, SYS_DSCPT, {}),
              (std::vector<std::string>{"24 47 45 54 20 53 59 53 5F 44 53 43 50 54 20",
                                        "46 46 46 46 0D 0A"}));
    EXPECT_EQ(HexWrites(kModeSet, ND_SEL, {0x00, 0x00}),
              (std::vector<std::string>{"24 53 45 54 20 4E 44 5F 53 45 4C 20", "30 30", "30 30",
                                        "34 45 35 43 0D 0A"}));
    EXPECT_EQ(HexWrites(kModeSet, ND_SEL, {0x20, 0x00}),
              (std::vector<std::string>{"24 53 45 54 20 4E 44 5F 53 45 4C 20", "32 30", "30 30",
                                        "37 37 32 41 0D 0A"}));
    EXPECT_EQ(HexWrites(kModeSet, RXEDMD, {0x03}),
              (std::vector<std::string>{"24 53 45 54 20 52 58 45 44 4D 44 20", "30 33",
                                        "34 35 30 32 0D 0A"}));
}

TEST(Frame, GetNeverCarriesPayload) {
    const std::uint8_t data[64] = {0x12, 0x34};
    for (std::uint8_t mode : {0, 2, 7, 255}) {
        const auto steps = Uart_FrameWrites(mode, ND_ED0A, 64, data);
        ASSERT_EQ(steps.size(), 2u) << int(mode);
        EXPECT_EQ(steps[0].bytes, "$GET ND_ED0A ");
        EXPECT_EQ(steps[1].bytes, "FFFF\r\n");
    }
}

TEST(Frame, SetWithoutPayloadAndEntrance) {
    EXPECT_EQ(FrameBytes(Uart_FrameWrites(kModeSet, SYS_STM, 0, nullptr)), "$SET SYS_STM FFFF\r\n");
    const auto e = Uart_FrameWrites(kModeGet, ENTRANCE, 0, nullptr);
    ASSERT_EQ(e.size(), 4u);
    EXPECT_EQ(e[0].bytes, " \r");
    EXPECT_TRUE(e[1].isPause());
    EXPECT_EQ(e[1].pauseMs, 160u);
    EXPECT_EQ(e[2].bytes, "$ENTRANCE "); // no verb
    EXPECT_EQ(e[3].bytes, "FFFF\r\n");
}

TEST(Frame, SixtyFourBytePayloadIsSixtyFourWrites) {
    std::vector<std::uint8_t> data(64);
    for (int i = 0; i < 64; ++i)
        data[i] = static_cast<std::uint8_t>(i * 5);
    const auto steps = Uart_FrameWrites(kModeSet, ND_ED1B, 64, data.data());
    ASSERT_EQ(steps.size(), 66u);
    std::string letters;
    for (int i = 1; i <= 64; ++i) {
        EXPECT_EQ(steps[i].bytes.size(), 2u);
        letters += steps[i].bytes;
    }
    EXPECT_EQ(steps.back().bytes, CrcText(Uart_Crc16(letters)) + "\r\n");
    EXPECT_EQ(letters.substr(0, 6), "00050A");
}

TEST(Frame, WaitSchedule) {
    const SlotSelector input1 = SlotSelector::Make(SlotKind::Input, 0);
    const SlotSelector user1 = SlotSelector::Make(SlotKind::User, 0);
    const struct {
        std::uint8_t mode;
        DeviceCommand cmd;
        SlotSelector sel;
        unsigned total;
        bool pollOn;
    } cases[] = {
        {kModeGet, SYS_DSCPT, input1, 50, false},
        {kModeGet, ND_SEL, user1, 50, false},
        {kModeSet, ND_SEL, input1, 20, true},
        {kModeSet, ND_SEL, user1, 120, true},
        {kModeSet, ND_SEL, SlotSelector::Make(SlotKind::Internal, 2), 20, true},
        {kModeSet, FW_DATA, input1, 110, true},
        {kModeSet, SYS_DEF, input1, 520, true},
        {kModeSet, ND_ED0A, user1, 20, true},
        {kModeGet, ENTRANCE, input1, 50, false},
    };
    for (const auto& c : cases) {
        const auto s = Uart_PostSendWaits(c.mode, c.cmd, c.sel);
        EXPECT_EQ(s.totalMs(), c.total) << CommandName(c.cmd);
        EXPECT_EQ(s.pollOnAfter, c.pollOn) << CommandName(c.cmd);
    }
}

// Which commands are waited for beyond the fixed waits, and how long: a device as fast as the
// waits assume keeps them; a slow one gets half its lateness again plus the margin, up to the cap.
TEST(Frame, AnswerWaitFollowsTheMeasuredLateness) {
    EXPECT_TRUE(ExpectsAnswer(kModeSet, ND_ED0A));
    EXPECT_TRUE(ExpectsAnswer(kModeGet, ND_ED1B));
    EXPECT_TRUE(ExpectsAnswer(kModeGet, ENTRANCE));
    EXPECT_FALSE(ExpectsAnswer(kModeGet, SYS_STR)); // no GET form: silence
    EXPECT_FALSE(ExpectsAnswer(kModeGet, ND_SEL));
    for (DeviceCommand fw : {FW_ADDR, FW_DATA, FW_END}) // drained, never waited for
        EXPECT_FALSE(ExpectsAnswer(kModeSet, fw)) << CommandName(fw);

    const struct {
        const char* name;
        std::vector<unsigned> observed;
        unsigned late;
        unsigned fixed;
        unsigned limit;
    } cases[] = {
        {"nothing measured yet", {}, 0, 50, kAnswerMarginMs},
        {"a long fixed wait stays", {}, 0, 520, 520},
        {"a fast device", {3, 20, 8}, 17, 20, 17 + 8 + kAnswerMarginMs},
        {"150 ms late", {160, 175, 170}, 174, 50, 174 + 87 + kAnswerMarginMs},
        {"one quick answer does not undo slow ones", {175, 0}, 132, 20, 132 + 66 + kAnswerMarginMs},
        {"slower at once", {20, 300}, 300, 20, 300 + 150 + kAnswerMarginMs},
        {"capped", {5000}, 5000, 50, kAnswerWaitMaxMs},
    };
    for (const auto& c : cases) {
        AnswerTiming t;
        for (unsigned ms : c.observed)
            t.Observe(ms);
        EXPECT_EQ(t.lateMs(), c.late) << c.name;
        EXPECT_EQ(t.AnswerLimitMs(c.fixed), c.limit) << c.name;
        t.Reset();
        EXPECT_EQ(t.AnswerLimitMs(c.fixed), std::max(c.fixed, kAnswerMarginMs)) << c.name;
    }
}

TEST(Frame, SelectorBytesHighFirst) {
    EXPECT_EQ(SlotSelector::Make(SlotKind::Output, 0).value, 0x1000);
    EXPECT_EQ(SlotSelector::Make(SlotKind::Internal, 0).value, 0x3000);
    const auto b = SlotSelector::Make(SlotKind::User, 0x0A3).bytes();
    EXPECT_EQ(b[0], 0x20);
    EXPECT_EQ(b[1], 0xA3);
    EXPECT_EQ(CommandName(99), "");
}
