// The receive tick: assembling bytes over ticks, the LF rule, command mode, flood and overflow;
// and the path rule for port names.
#include <gtest/gtest.h>

#include "link/Receive.h"

using namespace tavo;

namespace {

struct Tick {
    std::size_t queued;  // what the port reports
    std::string bytes;   // what is read
    bool flagged;        // link flag bit 0 after the tick
    std::uint32_t count; // received count after the tick
};

// Runs the ticks the way the receive timer does and checks each.
void RunTicks(UartLink& link, const std::vector<Tick>& ticks) {
    for (std::size_t i = 0; i < ticks.size(); ++i) {
        const auto plan = PlanReceiveTick(ticks[i].queued);
        const auto r =
            ApplyReceived(link, ticks[i].bytes.substr(0, plan.readCount), plan.flood);
        EXPECT_EQ((link.flags & kLinkResponseWaiting) != 0, ticks[i].flagged) << "tick " << i;
        EXPECT_EQ(link.rxCount, ticks[i].count) << "tick " << i;
        EXPECT_LE(link.rxCount, kRxBufferSize);
        (void)r;
    }
}

} // namespace

TEST(ReceiveTick, AnswerSplitOverTicksIsFlaggedAtItsFinalLf) {
    UartLink link;
    link.receiveMode = kReceiveCommandMode;
    RunTicks(link, {{0, "", false, 0},
                    {3, "12\f", false, 3},
                    {2, "AB", false, 5},
                    {0, "", false, 5},
                    {3, "CD\n", true, 8}});
    EXPECT_EQ(link.Text(), "12\fABCD\n");
}

TEST(ReceiveTick, LfInTheMiddleDoesNotCount) {
    UartLink link;
    link.receiveMode = kReceiveCommandMode;
    RunTicks(link, {{4, "ab\ncd", false, 4}}); // only the queued four are read
    EXPECT_EQ(link.Text(), "ab\nc");
    // the flag is set again on every tick while the buffer ends with LF
    UartLink l2;
    l2.receiveMode = kReceiveCommandMode;
    RunTicks(l2, {{2, "x\n", true, 2}});
    l2.flags = 0;
    RunTicks(l2, {{0, "", true, 2}});
}

TEST(ReceiveTick, OtherReceiveModesNeverFlag) {
    for (std::uint8_t mode : {0, 1, 7, 9}) {
        UartLink link;
        link.receiveMode = mode;
        const auto r = ApplyReceived(link, "OK\n", false);
        EXPECT_EQ(r.stored, 3u);
        EXPECT_FALSE(r.lineFlagged);
        EXPECT_EQ(link.flags, 0) << int(mode);
        EXPECT_EQ(link.Text(), "OK\n");
    }
}

TEST(ReceiveTick, FloodReadsSixteenOverTheStartAndKeepsTheCount) {
    UartLink link;
    link.receiveMode = kReceiveCommandMode;
    ApplyReceived(link, "0123456789abcdefghij", false);
    ASSERT_EQ(link.rxCount, 20u);
    const auto plan = PlanReceiveTick(1025);
    EXPECT_TRUE(plan.flood);
    EXPECT_EQ(plan.readCount, 16u);
    EXPECT_FALSE(PlanReceiveTick(1024).flood);
    EXPECT_EQ(PlanReceiveTick(1024).readCount, 1024u);
    const auto r = ApplyReceived(link, std::string(16, 'Z') + "\n", true);
    EXPECT_TRUE(r.flood);
    EXPECT_EQ(r.stored, 16u);
    EXPECT_EQ(link.rxCount, 20u);
    EXPECT_EQ(link.Text(), std::string(16, 'Z') + "ghij");
    EXPECT_EQ(link.flags, 0);
}

TEST(ReceiveTick, BytesPastTheBufferAreDroppedNeverWritten) {
    UartLink link;
    link.receiveMode = kReceiveCommandMode;
    link.rxBuffer[kRxBufferSize] = 0;
    const struct {
        std::size_t before, incoming, stored, dropped;
    } cases[] = {{0, 1024, 1024, 0}, {1000, 24, 24, 0}, {1000, 100, 24, 76}, {1024, 5, 0, 5}};
    for (const auto& c : cases) {
        link.ResetForSend(0, 1);
        if (c.before) ApplyReceived(link, std::string(c.before, 'a'), false);
        const auto r = ApplyReceived(link, std::string(c.incoming - 1, 'b') + "\n", false);
        EXPECT_EQ(r.stored, c.stored);
        EXPECT_EQ(r.dropped, c.dropped);
        EXPECT_EQ(link.rxCount, std::min<std::size_t>(c.before + c.incoming, kRxBufferSize));
        EXPECT_EQ(link.rxBuffer[kRxBufferSize], 0); // the terminator byte past the buffer stays
        // the line is flagged only when its LF made it into the buffer
        EXPECT_EQ(r.lineFlagged, c.dropped == 0);
    }
    EXPECT_EQ(DroppedBytesMessage(76), "Receive buffer full, 76 bytes dropped.\r\n");
}

TEST(SerialPortPath, ComNamesAndOtherNames) {
    const struct {
        const char* name;
        const char* path; // nullptr: skipped
    } cases[] = {
        {"COM1", "COM1"},
        {"COM9", "COM9"},
        {"COM10", "\\\\.\\COM10"},
        {"COM99", "\\\\.\\COM99"},
        {"COM123", "\\\\.\\COM123"},
        {"COM09", "COM09"},
        {"COM", nullptr},
        {"COMx", nullptr},
        {"COM1x", nullptr},
        {"/dev/pts/4", "/dev/pts/4"},
        {"ttyUSB0", "ttyUSB0"},
    };
    for (const auto& c : cases) {
        const auto p = SerialPortPath(c.name);
        EXPECT_EQ(p.value_or("<skipped>"), c.path ? c.path : "<skipped>") << c.name;
    }
    EXPECT_EQ(std::string(SerialPortPath("COM10").value()).substr(0, 4), std::string("\\\\.\\"));
}
