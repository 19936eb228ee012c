// Answer lines: CRC verdicts, the field split, every body kind and what handling a line stores.
#include <gtest/gtest.h>

#include "link/Crc16.h"
#include "link/Response.h"

using namespace tavo;

namespace {

std::string Fields(std::initializer_list<const char*> fields) {
    std::string body;
    for (const char* f : fields)
        (body += f) += '\x0C';
    return body;
}

std::string SysBody(const char* i, const char* o, const char* u, const char* n) {
    return Fields({"0x1A2B", "0x0042", "HDMI Matrix", "Room 1", "x", "V1.02", "T", i, o, u, n});
}

struct Fixture {
    UartLink link;
    DeviceTable devices;
    EdidImage transfer{};

    Fixture() { link.receiveMode = kReceiveCommandMode; }
    // What a send and the receive timer leave behind: the line in the buffer, bit 0 set.
    ResponseResult Handle(std::uint8_t mode, std::uint16_t command, const std::string& line) {
        link.ResetForSend(mode, command);
        const std::size_t n = std::min(line.size(), kRxBufferSize);
        std::copy_n(line.data(), n, link.rxBuffer.data());
        link.rxCount = static_cast<std::uint32_t>(n);
        link.flags |= kLinkResponseWaiting;
        return ProcessResponse(link, devices, transfer);
    }
};

} // namespace

TEST(ResponseLine, CrcVerdicts) {
    const std::string good = MakeResponseLine("12\x0C");
    std::string lower = MakeResponseLine("$ACCEPT");
    // lower-case the letters of the CRC (the body "$ACCEPT" has CRC digits with letters)
    bool hasLetter = false;
    for (std::size_t k = lower.size() - 5; k < lower.size() - 1; ++k)
        if (lower[k] >= 'A' && lower[k] <= 'F') {
            lower[k] = static_cast<char>(lower[k] - 'A' + 'a');
            hasLetter = true;
        }
    ASSERT_TRUE(hasLetter) << lower;
    std::string flipped = good;
    flipped[0] = '3';
    const struct {
        std::string line;
        bool ok;
        const char* body;
    } cases[] = {
        {good, true, "12\x0C"},
        {MakeResponseLine(""), true, ""}, // "FFFF\n": an empty body
        {"FFF\n", false, ""},             // shorter than 5
        {"", false, ""},
        {lower, false, ""},
        {flipped, false, ""},
        {good.substr(0, good.size() - 1) + "\r", true, "12\x0C"}, // the end byte is not examined
    };
    for (const auto& c : cases) {
        const auto v = CheckResponseLine(c.line);
        EXPECT_EQ(v.crcOk, c.ok) << c.line;
        if (c.ok) {
            EXPECT_EQ(v.body, c.body);
        }
    }
}

TEST(ResponseLine, FieldSplit) {
    using V = std::vector<std::string>;
    const struct {
        std::string body;
        std::size_t count;
        std::optional<V> fields;
    } cases[] = {
        {"a\fb\fc\f", 3, V{"a", "b", "c"}},
        {"\fb\fc\f", 3, V{"", "b", "c"}},       // only the first field may be empty
        {"a\f\fb\fc\f", 3, V{"a", "\fb", "c"}}, // an empty second field shifts the rest
        {"a\f\f\fc\f", 2, V{"a", "\f"}},        //
        {"a\fb\fc", 3, std::nullopt},           // the last field lacks its separator
        {"a\fb\f", 3, std::nullopt},
        {"", 1, std::nullopt},
        {"a\f", 1, V{"a"}},
        {"a\fb\fc\fd\f", 2, V{"a", "b"}}, // more fields than asked: the rest is not looked at
    };
    for (const auto& c : cases) {
        const auto got = SplitFields(c.body, c.count);
        ASSERT_EQ(got.has_value(), c.fields.has_value()) << c.body;
        if (!got) continue;
        EXPECT_EQ(V(got->begin(), got->end()), *c.fields);
    }
}

TEST(ResponseLine, NumberAndFlagFields) {
    const struct {
        const char* text;
        int value; // -1: not a number
    } cases[] = {{"0", 0},
                 {"12", 12},
                 {"255", 255},
                 {"256", 0},
                 {"300", 44},
                 {"007", 7},
                 {"", -1},
                 {"1a", -1},
                 {" 1", -1},
                 {"+1", -1},
                 {"-1", -1},
                 {"\f2", -1},
                 {"99999999999999999999", 255}};
    for (const auto& c : cases) {
        const auto v = ParseNumberField(c.text);
        EXPECT_EQ(v ? int(*v) : -1, c.value) << c.text;
    }
    EXPECT_TRUE(ParseFlagField("T"));
    for (const char* f : {"t", "TT", "", "1", "F", "T "})
        EXPECT_FALSE(ParseFlagField(f)) << f;
}

TEST(ResponseLine, EdidChunkDecode) {
    std::string body;
    for (int i = 0; i < 64; ++i) {
        const auto h = Uart_ByteToHex(static_cast<std::uint8_t>(i * 4 + 3));
        body.append(h.begin(), h.end());
    }
    auto chunk = DecodeEdidChunk(body);
    ASSERT_TRUE(chunk);
    for (int i = 0; i < 64; ++i)
        EXPECT_EQ((*chunk)[i], (i * 4 + 3) & 0xFF);
    // lower-case letters count as their character code: 'a' = 0x61 -> 0x61 * 16 mod 256 = 0x10,
    // low letter 'b' = 0x62 & 0x0F = 2
    body[0] = 'a';
    body[1] = 'b';
    chunk = DecodeEdidChunk(body);
    ASSERT_TRUE(chunk);
    EXPECT_EQ((*chunk)[0], 0x12);
    EXPECT_FALSE(DecodeEdidChunk(body.substr(0, 127)));
    EXPECT_EQ(EdidChunkOffset(ND_ED0A), 0);
    EXPECT_EQ(EdidChunkOffset(ND_ED1B), 192);
    EXPECT_EQ(EdidChunkOffset(RXEDMD), -1);
}

TEST(ResponseHandler, SystemDescriptorTwoOneTwoThree) {
    Fixture f;
    const auto r = f.Handle(kModeGet, SYS_DSCPT, MakeResponseLine(SysBody("2", "1", "2", "3")));
    EXPECT_EQ(r.outcome, ResponseOutcome::Handled);
    EXPECT_TRUE(r.slotListsChanged);
    EXPECT_TRUE(r.pollOn());
    const DeviceRecord& d = f.devices.Current();
    EXPECT_EQ(d.vid, "0x1A2B");
    EXPECT_EQ(d.pid, "0x0042");
    EXPECT_EQ(d.product, "HDMI Matrix");
    EXPECT_EQ(d.description, "Room 1");
    EXPECT_EQ(d.firmwareVersion, "V1.02");
    EXPECT_EQ(d.descriptorFlag, 1);
    EXPECT_EQ(int(d.inputCount), 2);
    EXPECT_EQ(int(d.outputCount), 1);
    EXPECT_EQ(int(d.userCount), 2);
    EXPECT_EQ(int(d.internalCount), 3);
    EXPECT_EQ(
        SlotListItems(SlotList::All, d.inputCount, d.outputCount, d.userCount, d.internalCount)
            .size(),
        11u);
    EXPECT_EQ(f.link.expectedCommand, ENTRANCE);
    EXPECT_EQ(f.link.rxCount, 0u);
    EXPECT_EQ(f.link.flags & kLinkResponseWaiting, 0);
    // the text stays in the buffer until the next send
    EXPECT_EQ(f.link.Text(), r.line);
}

TEST(ResponseHandler, BadAnswersLeaveTheModelAndExpectedCommand) {
    const std::string good = MakeResponseLine(SysBody("2", "1", "2", "3"));
    std::string badCrc = good;
    badCrc[2] = 'y';
    const struct {
        const char* name;
        std::string line;
        ResponseOutcome outcome;
    } cases[] = {
        {"crc mismatch", badCrc, ResponseOutcome::CrcError},
        {"short line", "AB\n", ResponseOutcome::CrcError},
        {"count not decimal", MakeResponseLine(SysBody("2", "x", "2", "3")),
         ResponseOutcome::Dropped},
        {"empty count", MakeResponseLine(SysBody("2", "1", "2", "")), ResponseOutcome::Dropped},
        {"ten fields", MakeResponseLine(Fields({"a", "b", "c", "d", "e", "f", "T", "1", "1", "1"})),
         ResponseOutcome::Dropped},
    };
    for (const auto& c : cases) {
        Fixture f;
        f.devices.Current().product = "before";
        const auto r = f.Handle(kModeGet, SYS_DSCPT, c.line);
        EXPECT_EQ(r.outcome, c.outcome) << c.name;
        EXPECT_TRUE(r.failed()) << c.name;
        EXPECT_TRUE(r.pollOn()) << c.name;
        EXPECT_FALSE(r.slotListsChanged) << c.name;
        EXPECT_EQ(f.devices.Current().product, "before") << c.name;
        EXPECT_EQ(f.link.expectedCommand, SYS_DSCPT) << c.name;
        EXPECT_EQ(f.link.rxCount, 0u) << c.name;
        // a further complete line is still handled against the same expected command
        const std::size_t n = good.size();
        std::copy_n(good.data(), n, f.link.rxBuffer.data());
        f.link.rxBuffer[n] = 0;
        f.link.rxCount = static_cast<std::uint32_t>(n);
        f.link.flags |= kLinkResponseWaiting;
        EXPECT_EQ(ProcessResponse(f.link, f.devices, f.transfer).outcome,
                  ResponseOutcome::Handled)
            << c.name;
        EXPECT_EQ(f.devices.Current().product, "HDMI Matrix") << c.name;
    }
}

TEST(ResponseHandler, NothingWaitingDoesNothing) {
    Fixture f;
    f.link.ResetForSend(kModeGet, SYS_DSCPT);
    const std::string line = MakeResponseLine(SysBody("2", "1", "2", "3"));
    std::copy(line.begin(), line.end(), f.link.rxBuffer.begin());
    f.link.rxCount = static_cast<std::uint32_t>(line.size());
    const auto r = ProcessResponse(f.link, f.devices, f.transfer);
    EXPECT_EQ(r.outcome, ResponseOutcome::NothingWaiting);
    EXPECT_FALSE(r.pollOn());
    EXPECT_EQ(f.link.rxCount, line.size());
    EXPECT_EQ(f.devices.Current().inputCount, 0);
}

TEST(ResponseHandler, PortDescriptorGoesToTheSelectedPort) {
    const std::string line = MakeResponseLine(Fields({"1", "2", "3", "T", "T", "F", "T", "T"}));
    const struct {
        SlotSelector sel;
        bool stored;
    } cases[] = {
        {SlotSelector::Make(SlotKind::Input, 0), true},
        {SlotSelector::Make(SlotKind::Input, 9), true},
        {SlotSelector::Make(SlotKind::Output, 2), true},
        {SlotSelector::Make(SlotKind::Input, 10), false}, // past the model's ten inputs
        {SlotSelector::Make(SlotKind::User, 0), false},
        {SlotSelector::Make(SlotKind::Internal, 1), false},
    };
    for (const auto& c : cases) {
        Fixture f;
        f.devices.Current().selected = c.sel;
        f.devices.Current().inputs[0].currentMode = 0x42;
        const auto r = f.Handle(kModeGet, ND_DSCPT, line);
        EXPECT_EQ(r.outcome, ResponseOutcome::Handled) << c.sel.value;
        EXPECT_EQ(r.portStored, c.stored) << c.sel.value;
        int storedPorts = 0;
        for (const auto* list : {&f.devices.Current().inputs, &f.devices.Current().outputs})
            for (const PortDescriptor& p : *list)
                if (p.number1 == 1) {
                    ++storedPorts;
                    EXPECT_EQ(p.number2, 2);
                    EXPECT_EQ(p.number3, 3);
                    EXPECT_EQ(p.flag4, 1);
                    EXPECT_EQ(p.modesSelectable, 1);
                    EXPECT_EQ(p.copyPanel, 0);
                    EXPECT_EQ(p.modePoll, 1);
                    EXPECT_EQ(p.flag8, 1);
                }
        EXPECT_EQ(storedPorts, c.stored ? 1 : 0) << c.sel.value;
        if (c.stored && c.sel.kind() == SlotKind::Input) {
            EXPECT_EQ(f.devices.Current().inputs[c.sel.index()].number1, 1);
        }
        if (c.stored && c.sel.kind() == SlotKind::Output) {
            EXPECT_EQ(f.devices.Current().outputs[c.sel.index()].number1, 1);
        }
        EXPECT_EQ(f.devices.Current().inputs[0].currentMode, 0x42); // byte 4 is not in the answer
    }
}

TEST(ResponseHandler, EdidChunksAfterGetOnly) {
    std::string body;
    for (int i = 0; i < 64; ++i)
        body += "A5";
    const std::string line = MakeResponseLine(body);
    const struct {
        std::uint8_t mode;
        DeviceCommand cmd;
        int offset; // -1: the image stays untouched
    } cases[] = {
        {kModeGet, ND_ED0A, 0},   {kModeGet, ND_ED0B, 64}, {kModeGet, ND_ED1A, 128},
        {kModeGet, ND_ED1B, 192}, {kModeSet, ND_ED0A, -1}, {kModeSet, ND_ED1B, -1},
        {kModeGet, SYS_STR, -1},
    };
    for (const auto& c : cases) {
        Fixture f;
        f.transfer.fill(0x11);
        const auto r = f.Handle(c.mode, c.cmd, line);
        EXPECT_EQ(r.outcome, ResponseOutcome::Handled);
        EXPECT_EQ(r.chunkStored, c.offset >= 0);
        for (int k = 0; k < 256; ++k) {
            const bool inChunk = c.offset >= 0 && k >= c.offset && k < c.offset + 64;
            ASSERT_EQ(f.transfer[k], inChunk ? 0xA5 : 0x11) << CommandName(c.cmd) << " byte " << k;
        }
    }
    // a chunk answer too short to hold 64 bytes is dropped, the image kept
    Fixture f;
    f.transfer.fill(0x11);
    EXPECT_EQ(f.Handle(kModeGet, ND_ED0B, MakeResponseLine(body.substr(0, 100))).outcome,
              ResponseOutcome::Dropped);
    EXPECT_EQ(f.transfer[64], 0x11);
}

TEST(ResponseHandler, EdidModeAnswer) {
    const struct {
        std::uint8_t mode;
        std::string body;
        int shown; // -1: no mode to show
        ResponseOutcome outcome;
    } cases[] = {
        {kModeGet, "\x31\x32\x0C", 12, ResponseOutcome::Handled},
        {kModeGet, "254\x0C", 0xFE, ResponseOutcome::Handled},
        {kModeGet, "260\x0C", 4, ResponseOutcome::Handled}, // stored in 8 bits
        {kModeSet, "12\x0C", -1, ResponseOutcome::Handled}, // the answer to a SET is not read
        {kModeGet, "12", -1, ResponseOutcome::Dropped},     // no separator
        {kModeGet, "1 2\x0C", -1, ResponseOutcome::Dropped},
    };
    for (const auto& c : cases) {
        Fixture f;
        const auto r = f.Handle(c.mode, RXEDMD, MakeResponseLine(c.body));
        EXPECT_EQ(r.outcome, c.outcome) << c.body;
        EXPECT_EQ(r.showMode ? int(*r.showMode) : -1, c.shown) << c.body;
    }
}
