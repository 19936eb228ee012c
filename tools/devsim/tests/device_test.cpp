// Every command's answer, byte for byte, for requests framed exactly as the tool frames them.
#include <gtest/gtest.h>

#include "BuiltinEdid.h"
#include "Device.h"
#include "StateDir.h"
#include "TestHelpers.h"
#include "edid/EdidImage.h"
#include "link/DeviceModel.h"

using namespace tavo;
using namespace tavo::devsim;
using namespace tavo::devsim::test;

namespace {

DeviceConfig SmallConfig() {
    DeviceConfig c;
    c.vid = "1A2B";
    c.pid = "3C4D";
    c.product = "Sim 2x1";
    c.description = "Hall 2";
    c.field5 = "X";
    c.firmwareVersion = "2.05";
    c.counts = {2, 1, 2, 3};
    c.mode = 4;
    return c;
}

EdidImage Pattern(std::uint8_t seed) {
    EdidImage e{};
    for (std::size_t i = 0; i < e.size(); ++i)
        e[i] = static_cast<std::uint8_t>(i * 13 + seed);
    return e;
}

std::vector<std::uint8_t> ChunkOf(const EdidImage& e, unsigned chunk) {
    return {e.begin() + chunk * 64, e.begin() + chunk * 64 + 64};
}

// The tool's field rule: each field ends at the first 0x0C found from its second character on.
std::vector<std::string> SplitFields(const std::string& body) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start < body.size()) {
        const std::size_t end = body.find('\x0C', out.empty() ? start : start + 1);
        if (end == std::string::npos) break;
        out.push_back(body.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

// The tool's decoding of a chunk answer.
std::vector<std::uint8_t> DecodeChunk(const std::string& body) {
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i + 1 < body.size(); i += 2)
        out.push_back(static_cast<std::uint8_t>(Uart_HexToNibble(body[i]) * 16 +
                                                (Uart_HexToNibble(body[i + 1]) & 0x0F)));
    return out;
}

EdidImage ReadSlot(Exchange& x, SlotSelector s) {
    EXPECT_EQ(x.Select(s), kOk);
    EdidImage e{};
    for (unsigned chunk = 0; chunk < 4; ++chunk) {
        const std::string body = x.Get(static_cast<std::uint16_t>(ND_ED0A + chunk));
        EXPECT_EQ(body.size(), 128u);
        EXPECT_EQ(body.find_first_not_of("0123456789ABCDEF"), std::string::npos);
        const auto bytes = DecodeChunk(body);
        std::copy(bytes.begin(), bytes.end(), e.begin() + chunk * 64);
    }
    return e;
}

std::string WriteSlot(Exchange& x, SlotSelector s, const EdidImage& e) {
    EXPECT_EQ(x.Select(s), kOk);
    std::string acks;
    for (unsigned chunk = 0; chunk < 4; ++chunk)
        acks += x.Set(static_cast<std::uint16_t>(ND_ED0A + chunk), ChunkOf(e, chunk));
    return acks;
}

} // namespace

TEST(Device, BuiltinEdidIsValid) {
    std::uint16_t status = 0;
    EXPECT_TRUE(ValidateImage(BuiltinNewEdid(), status)) << std::hex << status;
}

TEST(Device, HandshakeInBothModes) {
    Device normal(SmallConfig());
    Exchange n{normal, {}};
    const DeviceResult a = n.Send(kModeGet, ENTRANCE);
    ASSERT_TRUE(a.answered);
    EXPECT_EQ(a.answer, "$ACCEPT" + CrcText(Uart_Crc16("$ACCEPT")) + "\n");
    EXPECT_EQ(a.answer, "$ACCEPT6E89\n");

    DeviceConfig c = SmallConfig();
    c.isp = true;
    c.ispBanner = "LOADER V2";
    Device isp(c);
    Exchange i{isp, {}};
    EXPECT_EQ(BodyOf(i.Send(kModeGet, ENTRANCE).answer), "$ISP029LOADER V2");
    c.ispBanner.clear(); // the product text stands in
    Device isp2(c);
    Exchange i2{isp2, {}};
    EXPECT_EQ(BodyOf(i2.Send(kModeGet, ENTRANCE).answer), "$ISP029Sim 2x1");
}

TEST(Device, SystemDescriptorFieldsAndCounts) {
    Device d(SmallConfig());
    Exchange x{d, {}};
    const std::string body = x.Get(SYS_DSCPT);
    EXPECT_EQ(body, "1A2B\x0C"
                    "3C4D\x0C"
                    "Sim 2x1\x0C"
                    "Hall 2\x0C"
                    "X\x0C"
                    "2.05\x0C"
                    "T\x0C"
                    "2\x0C"
                    "1\x0C"
                    "2\x0C"
                    "3\x0C");
    // the slot lists the tool builds from these counts
    const auto f = SplitFields(body);
    ASSERT_EQ(f.size(), 11u);
    EXPECT_EQ(SlotListItems(SlotList::All, std::stoi(f[7]), std::stoi(f[8]), std::stoi(f[9]),
                            std::stoi(f[10]))
                  .size(),
              11u);
}

TEST(Device, EmptyOrControlTextsNeverShiftFields) {
    DeviceConfig c = SmallConfig();
    c.vid.clear();
    c.field5.clear();
    c.product = "A\x0C"
                "B\nC";
    Device d(c);
    Exchange x{d, {}};
    EXPECT_EQ(x.Set(SYS_STR, {}), kOk); // an empty description
    const auto f = SplitFields(x.Get(SYS_DSCPT));
    ASSERT_EQ(f.size(), 11u);
    EXPECT_EQ(f[0], " ");
    EXPECT_EQ(f[2], "A?B?C");
    EXPECT_EQ(f[3], " ");
    EXPECT_EQ(f[4], " ");
    EXPECT_EQ(f[7], "2");
    EXPECT_EQ(f[10], "3");
}

TEST(Device, PortDescriptorFlags) {
    const struct {
        bool selectable, copy, poll;
        SlotSelector slot;
        const char* body;
    } cases[] = {
        {true, true, true, SlotSelector::Make(SlotKind::Input, 0),
         "1\x0C"
         "0\x0C"
         "4\x0CT\x0CT\x0CT\x0CT\x0C"
         "F\x0C"},
        {false, true, false, SlotSelector::Make(SlotKind::Input, 1),
         "2\x0C"
         "0\x0C"
         "4\x0CT\x0C"
         "F\x0CT\x0C"
         "F\x0C"
         "F\x0C"},
        {false, false, true, SlotSelector::Make(SlotKind::Output, 0),
         "1\x0C"
         "1\x0C"
         "4\x0CT\x0C"
         "F\x0C"
         "F\x0CT\x0C"
         "F\x0C"},
    };
    for (const auto& c : cases) {
        DeviceConfig cfg = SmallConfig();
        cfg.modesSelectable = c.selectable;
        cfg.copyPanel = c.copy;
        cfg.modePoll = c.poll;
        Device d(cfg);
        Exchange x{d, {}};
        EXPECT_EQ(x.Select(c.slot), kOk);
        const std::string body = x.Get(ND_DSCPT);
        EXPECT_EQ(body, c.body);
        EXPECT_EQ(SplitFields(body).size(), 8u);
    }
}

TEST(Device, AnswersInputOneBeforeAnySelection) {
    Device d(SmallConfig());
    Exchange x{d, {}};
    EXPECT_EQ(SplitFields(x.Get(ND_DSCPT)).at(0), "1");
    EXPECT_EQ(DecodeChunk(x.Get(ND_ED0A)), ChunkOf(BuiltinNewEdid(), 0));
}

TEST(Device, EdidChunksRoundTripInWritableSlots) {
    DeviceConfig c = SmallConfig();
    c.slots[static_cast<unsigned>(SlotKind::Internal)] = {Pattern(1), Pattern(2)};
    Device d(c);
    Exchange x{d, {}};
    // preloaded and built-in slots read back as they are
    EXPECT_EQ(ReadSlot(x, SlotSelector::Make(SlotKind::Internal, 1)), Pattern(2));
    EXPECT_EQ(ReadSlot(x, SlotSelector::Make(SlotKind::Internal, 2)), BuiltinNewEdid());
    // inputs and user slots take the four chunks
    for (SlotSelector s :
         {SlotSelector::Make(SlotKind::Input, 1), SlotSelector::Make(SlotKind::User, 0),
          SlotSelector::Make(SlotKind::User, 1)}) {
        const EdidImage e = Pattern(static_cast<std::uint8_t>(s.value >> 8 ^ s.index()));
        EXPECT_EQ(WriteSlot(x, s, e), kOk + kOk + kOk + kOk);
        EXPECT_EQ(ReadSlot(x, s), e) << SlotName(s);
        EXPECT_EQ(d.Slot(s), e);
    }
    // the neighbours are untouched
    EXPECT_EQ(d.Slot(SlotSelector::Make(SlotKind::Input, 0)), BuiltinNewEdid());
}

// The device faults the verified writes are tested against: bytes stored other than sent while
// every answer says "OK", and a slot that shows its former bytes to the first read after a write.
TEST(Device, CorruptWritesAndLateCommit) {
    const SlotSelector user2 = SlotSelector::Make(SlotKind::User, 1);
    DeviceConfig c = SmallConfig();
    c.corruptWrites = true;
    Device corrupt(c);
    Exchange x{corrupt, {}};
    EXPECT_EQ(WriteSlot(x, user2, Pattern(5)), kOk + kOk + kOk + kOk);
    EdidImage stored = Pattern(5);
    for (unsigned chunk = 0; chunk < 4; ++chunk)
        stored[chunk * 64] ^= 0xFF;
    EXPECT_EQ(ReadSlot(x, user2), stored);

    c = SmallConfig();
    c.lateCommit = true;
    Device late(c);
    Exchange y{late, {}};
    const EdidImage before = late.Slot(user2);
    EXPECT_EQ(WriteSlot(y, user2, Pattern(6)), kOk + kOk + kOk + kOk);
    EXPECT_EQ(late.Slot(user2), Pattern(6)); // kept (and saved) at once
    EXPECT_EQ(ReadSlot(y, user2), before);   // the first read: the former bytes
    EXPECT_EQ(ReadSlot(y, user2), Pattern(6));
    EXPECT_EQ(ReadSlot(y, SlotSelector::Make(SlotKind::User, 0)), BuiltinNewEdid());
}

TEST(Device, ChunkWriteReportsTheChangedSlot) {
    Device d(SmallConfig());
    Exchange x{d, {}};
    const SlotSelector user2 = SlotSelector::Make(SlotKind::User, 1);
    x.Select(user2);
    const DeviceResult r = x.Send(kModeSet, ND_ED1A, ChunkOf(Pattern(9), 2));
    ASSERT_EQ(r.changes.slots.size(), 1u);
    EXPECT_EQ(r.changes.slots[0], user2);
    EXPECT_FALSE(r.changes.mode);
}

TEST(Device, ReadOnlyAndMissingSlotsRefuseWrites) {
    DeviceConfig c = SmallConfig();
    c.slots[static_cast<unsigned>(SlotKind::Output)] = {Pattern(5)};
    Device d(c);
    Exchange x{d, {}};
    const SlotSelector input1 = SlotSelector::Make(SlotKind::Input, 0);
    for (SlotSelector s :
         {SlotSelector::Make(SlotKind::Output, 0), SlotSelector::Make(SlotKind::Internal, 2)}) {
        const EdidImage before = d.Slot(s);
        EXPECT_EQ(WriteSlot(x, s, Pattern(77)), kNg + kNg + kNg + kNg) << SlotName(s);
        EXPECT_EQ(d.Slot(s), before);
        EXPECT_EQ(ReadSlot(x, s), before);
    }
    // a slot the device does not have: refused, and later chunks go nowhere, in particular not
    // into the slot selected before
    for (std::uint16_t bad : {0x0002, 0x1001, 0x2002, 0x3003, 0x4000, 0xF000}) {
        EXPECT_EQ(x.Select(input1), kOk);
        EXPECT_EQ(x.Select(SlotSelector{bad}), kNg) << std::hex << bad;
        EXPECT_FALSE(d.SelectionValid());
        EXPECT_EQ(x.Set(ND_ED0A, ChunkOf(Pattern(3), 0)), kNg);
        EXPECT_FALSE(x.Send(kModeGet, ND_ED0A).answered);
        EXPECT_FALSE(x.Send(kModeGet, ND_DSCPT).answered);
        EXPECT_EQ(d.Slot(input1), BuiltinNewEdid());
    }
    // a selector of the wrong length and a chunk of the wrong length change nothing
    EXPECT_EQ(x.Set(ND_SEL, {0x00}), kNg);
    EXPECT_EQ(x.Select(input1), kOk);
    EXPECT_EQ(x.Set(ND_ED0B, std::vector<std::uint8_t>(63, 0x11)), kNg);
    EXPECT_EQ(x.Set(ND_ED0B, std::vector<std::uint8_t>(65, 0x11)), kNg);
    EXPECT_EQ(d.Slot(input1), BuiltinNewEdid());
}

TEST(Device, EdidMode) {
    Device d(SmallConfig()); // N 3, O 1, U 2: modes 0..5
    Exchange x{d, {}};
    EXPECT_EQ(x.Get(RXEDMD), "4\x0C");
    EXPECT_EQ(x.Set(RXEDMD, {5}), kOk);
    EXPECT_EQ(x.Get(RXEDMD), "5\x0C");
    EXPECT_EQ(x.Set(RXEDMD, {6}), kNg); // outside the device's modes
    EXPECT_EQ(x.Set(RXEDMD, {}), kNg);
    EXPECT_EQ(x.Get(RXEDMD), "5\x0C");

    DeviceConfig c = SmallConfig();
    c.counts = {4, 1, 8, 8};
    c.mode = 12;
    Device big(c);
    Exchange y{big, {}};
    const DeviceResult r = y.Send(kModeGet, RXEDMD);
    EXPECT_EQ(r.answer, "12\x0C" + CrcText(Uart_Crc16("12\x0C")) + "\n");
}

TEST(Device, DescriptionText) {
    Device d(SmallConfig());
    Exchange x{d, {}};
    auto bytes = [](std::string_view s) { return std::vector<std::uint8_t>(s.begin(), s.end()); };
    const std::string t31(31, 'x');
    const DeviceResult r = x.Send(kModeSet, SYS_STR, bytes(t31));
    EXPECT_EQ(BodyOf(r.answer), kOk);
    EXPECT_TRUE(r.changes.description);
    EXPECT_EQ(d.Description(), t31);
    EXPECT_EQ(x.Set(SYS_STR, bytes(t31 + "yz")), kOk); // more than the device keeps
    EXPECT_EQ(d.Description(), t31);
    EXPECT_EQ(x.Set(SYS_STR, bytes(" ")), kOk); // what the tool sends for an empty text
    EXPECT_EQ(d.Description(), " ");
    EXPECT_EQ(SplitFields(x.Get(SYS_DSCPT)).at(3), " ");
    EXPECT_EQ(x.Set(SYS_STR, bytes("Room\x0C"
                                   "3")),
              kOk);
    EXPECT_EQ(SplitFields(x.Get(SYS_DSCPT)).at(3), "Room?3");
}

TEST(Device, DefaultsRestoreDescriptionModeAndUserSlots) {
    DeviceConfig c = SmallConfig();
    c.slots[static_cast<unsigned>(SlotKind::User)] = {Pattern(40)};
    Device d(c);
    Exchange x{d, {}};
    const SlotSelector user1 = SlotSelector::Make(SlotKind::User, 0);
    const SlotSelector user2 = SlotSelector::Make(SlotKind::User, 1);
    const SlotSelector input2 = SlotSelector::Make(SlotKind::Input, 1);
    x.Set(SYS_STR, {'n', 'e', 'w'});
    x.Set(RXEDMD, {1});
    WriteSlot(x, user1, Pattern(1));
    WriteSlot(x, user2, Pattern(2));
    WriteSlot(x, input2, Pattern(3));

    // anything but the key changes nothing
    for (const std::vector<std::uint8_t>& wrong :
         {std::vector<std::uint8_t>{0x54}, {}, {0x55, 0x55}}) {
        EXPECT_EQ(x.Set(SYS_DEF, wrong), kNg);
        EXPECT_EQ(d.Description(), "new");
        EXPECT_EQ(d.Mode(), 1);
    }
    const DeviceResult r = x.Send(kModeSet, SYS_DEF, {0x55});
    EXPECT_EQ(BodyOf(r.answer), kOk);
    EXPECT_EQ(d.Description(), "Hall 2");
    EXPECT_EQ(d.Mode(), 4);
    EXPECT_EQ(d.Slot(user1), Pattern(40));
    EXPECT_EQ(d.Slot(user2), BuiltinNewEdid());
    EXPECT_EQ(d.Slot(input2), Pattern(3)); // inputs keep what was written
    EXPECT_TRUE(r.changes.description && r.changes.mode);
    EXPECT_EQ(r.changes.slots.size(), 2u);
    EXPECT_EQ(SplitFields(x.Get(SYS_DSCPT)).at(3), "Hall 2");
}

TEST(Device, SetsWithoutDataAndUnsupportedForms) {
    Device d(SmallConfig());
    Exchange x{d, {}};
    EXPECT_EQ(x.Set(SYS_STM), kOk);
    EXPECT_EQ(x.Set(SYS_CTM), kOk);
    EXPECT_EQ(x.Set(SYS_DSCPT), kNg);
    EXPECT_EQ(x.Set(FW_ADDR, {0, 0}), kNg); // firmware only in ISP mode
    EXPECT_EQ(x.Set(FW_END), kNg);
    for (std::uint16_t cmd : {SYS_STR, SYS_DEF, SYS_STM, ND_SEL, FW_DATA})
        EXPECT_FALSE(x.Send(kModeGet, cmd).answered) << CommandName(cmd);
}

TEST(Device, IspModeCollectsFirmware) {
    DeviceConfig c = SmallConfig();
    c.isp = true;
    Device d(c);
    std::vector<std::vector<std::uint8_t>> written;
    bool sinkResult = true;
    d.firmwareSink = [&](const std::vector<std::uint8_t>& image) {
        written.push_back(image);
        return sinkResult;
    };
    Exchange x{d, {}};
    // only firmware commands are answered in ISP mode
    for (std::uint16_t cmd : {SYS_DSCPT, RXEDMD, ND_DSCPT, ND_ED0A})
        EXPECT_FALSE(x.Send(kModeGet, cmd).answered) << CommandName(cmd);
    EXPECT_FALSE(x.Send(kModeSet, SYS_STR, {'a'}).answered);
    EXPECT_FALSE(x.Send(kModeSet, ND_SEL, {0, 0}).answered);

    // a 600-byte file as the tool sends it: ten address/data pairs, the last block padded
    std::vector<std::uint8_t> file(600);
    for (std::size_t i = 0; i < file.size(); ++i)
        file[i] = static_cast<std::uint8_t>(i * 31);
    for (std::size_t a = 0; a < file.size(); a += 64) {
        EXPECT_EQ(x.Set(FW_ADDR,
                        {static_cast<std::uint8_t>(a >> 8), static_cast<std::uint8_t>(a & 0xFF)}),
                  kOk);
        std::vector<std::uint8_t> block(64, 0xFF);
        for (std::size_t i = 0; i < 64 && a + i < file.size(); ++i)
            block[i] = file[a + i];
        EXPECT_EQ(x.Set(FW_DATA, block), kOk);
    }
    EXPECT_TRUE(written.empty());
    EXPECT_EQ(x.Set(FW_END), kOk);
    ASSERT_EQ(written.size(), 1u);
    std::vector<std::uint8_t> expected = file;
    expected.resize(640, 0xFF);
    EXPECT_EQ(written[0], expected);
    EXPECT_EQ(d.LastFirmware(), expected);
    EXPECT_TRUE(d.FirmwareInProgress().empty());

    // blocks out of order leave 0xFF in the gap; a block without an address follows the last one
    EXPECT_EQ(x.Set(FW_ADDR, {0x00, 0x80}), kOk);
    EXPECT_EQ(x.Set(FW_DATA, std::vector<std::uint8_t>(64, 0x22)), kOk);
    EXPECT_EQ(x.Set(FW_DATA, std::vector<std::uint8_t>(64, 0x33)), kOk);
    EXPECT_EQ(x.Set(FW_ADDR, {0x00, 0x00}), kOk);
    EXPECT_EQ(x.Set(FW_DATA, std::vector<std::uint8_t>(64, 0x11)), kOk);
    EXPECT_EQ(x.Set(FW_DATA, std::vector<std::uint8_t>(10, 0x44)), kNg); // not a whole block
    sinkResult = false;
    EXPECT_EQ(x.Set(FW_END), kNg); // the image could not be stored
    ASSERT_EQ(written.size(), 2u);
    ASSERT_EQ(written[1].size(), 256u);
    EXPECT_EQ(written[1][0], 0x11);
    EXPECT_EQ(written[1][64], 0xFF);
    EXPECT_EQ(written[1][127], 0xFF);
    EXPECT_EQ(written[1][128], 0x22);
    EXPECT_EQ(written[1][192], 0x33);
}

TEST(Device, FirmwareNeverRunsPastSixtyFourKiB) {
    DeviceConfig c = SmallConfig();
    c.isp = true;
    Device d(c);
    Exchange x{d, {}};
    EXPECT_EQ(x.Set(FW_ADDR, {0xFF, 0xC0}), kOk);
    EXPECT_EQ(x.Set(FW_DATA, std::vector<std::uint8_t>(64, 0xAB)), kOk); // the last block
    EXPECT_EQ(x.Set(FW_DATA, std::vector<std::uint8_t>(64, 0xCD)), kNg); // would be past it
    EXPECT_EQ(x.Set(FW_ADDR, {0xFF, 0xFF}), kOk);
    EXPECT_EQ(x.Set(FW_DATA, std::vector<std::uint8_t>(64, 0xCD)), kNg);
    EXPECT_EQ(x.Set(FW_ADDR, {0x01}), kNg);
    EXPECT_EQ(x.Set(FW_END), kOk);
    ASSERT_EQ(d.LastFirmware().size(), kFirmwareMax);
    EXPECT_EQ(d.LastFirmware().back(), 0xAB);
    EXPECT_EQ(d.LastFirmware().front(), 0xFF);
}
