// Announcements, configurations and web addresses of networked devices.
#include <gtest/gtest.h>

#include <functional>

#include "discovery/Discovery.h"
#include "link/Crc16.h"

using namespace tavo;
using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes Item(std::uint8_t tag, Bytes value) {
    Bytes b;
    b.reserve(value.size() + 2);
    b.push_back(tag);
    b.push_back(static_cast<std::uint8_t>(value.size()));
    for (std::uint8_t v : value)
        b.push_back(v);
    return b;
}
Bytes Text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}
Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts)
        for (std::uint8_t v : p)
            out.push_back(v);
    return out;
}
Bytes Announce(const Bytes& items) {
    return FrameDatagram(kDatagramAnnouncement, items);
}

const Bytes kMac = {0x00, 0x1C, 0x91, 0x0A, 0xBB, 0xFF};

} // namespace

TEST(Discovery, RequestBytes) {
    EXPECT_EQ(BuildDiscoveryRequest(), (Bytes{0x01, 0x00, 0xFF, 0xFF}));
}

TEST(Announcement, EveryTag) {
    const Bytes d = Announce(
        Cat({Item(1, {0x01, 0x02}), Item(2, kMac), Item(3, {192, 168, 1, 20}),
             Item(4, {255, 255, 255, 0}), Item(5, {192, 168, 1, 1}), Item(6, {8, 8, 4, 4}),
             Item(7, {1}), Item(8, {0x90, 0x1F}), Item(9, {23, 0}), Item(10, Text("SN-77")),
             Item(11, Text("x")), Item(12, Text("y")), Item(13, Text("Matrix 4x4")),
             Item(14, Text("Rack A")), Item(99, {1, 2, 3})}));
    NetDeviceRecord r;
    ASSERT_EQ(ParseAnnouncement(d.data(), d.size(), {}, r), AnnouncementVerdict::Accepted);
    EXPECT_EQ(r.productId, "0201");
    EXPECT_EQ(r.macText, "00:1C:91:0A:BB:FF");
    EXPECT_EQ(MacText(r.mac), "00:1C:91:0A:BB:FF");
    EXPECT_EQ(r.ip, "192.168.1.20");
    EXPECT_EQ(r.mask, "255.255.255.0");
    EXPECT_EQ(r.gateway, "192.168.1.1");
    EXPECT_EQ(r.dns, "8.8.4.4");
    EXPECT_EQ(r.ipMode, 1);
    EXPECT_EQ(r.webPort, 8080);
    EXPECT_EQ(r.telnetPort, 23);
    EXPECT_EQ(r.serial, "SN-77");
    EXPECT_EQ(r.text1, "x");
    EXPECT_EQ(r.text2, "y");
    EXPECT_EQ(r.productName, "Matrix 4x4");
    EXPECT_EQ(r.description, "Rack A");
}

TEST(Announcement, RepeatedTagsCombine) {
    const Bytes d =
        Announce(Cat({Item(1, {0x01}), Item(1, {0x02}), Item(13, Text("ab")), Item(13, Text("cd")),
                      Item(3, {1, 2, 3, 4}), Item(3, {5, 6, 7, 8})}));
    NetDeviceRecord r;
    ASSERT_EQ(ParseAnnouncement(d.data(), d.size(), {}, r), AnnouncementVerdict::Accepted);
    EXPECT_EQ(r.productId, "0201"); // the digits of a later tag 1 go in front
    EXPECT_EQ(r.productName, "abcd");
    EXPECT_EQ(r.ip, "1.2.3.45.6.7.8");
}

TEST(Announcement, Verdicts) {
    NetDeviceRecord r;
    const Bytes onlyMac = Announce(Item(2, kMac));
    std::array<std::uint8_t, 6> mac;
    std::copy(kMac.begin(), kMac.end(), mac.begin());

    struct Case {
        const char* what;
        Bytes data;
        std::vector<std::array<std::uint8_t, 6>> known;
        AnnouncementVerdict verdict;
    } cases[] = {
        {"only a MAC", onlyMac, {}, AnnouncementVerdict::Accepted},
        {"duplicate MAC", onlyMac, {mac}, AnnouncementVerdict::DuplicateMac},
        {"L = 0, CRC FF FF", {0x02, 0x00, 0xFF, 0xFF}, {mac}, AnnouncementVerdict::Accepted},
        {"empty", {}, {}, AnnouncementVerdict::Empty},
        {"request kind", {0x01, 0x00, 0xFF, 0xFF}, {}, AnnouncementVerdict::WrongKind},
        {"bad CRC", {0x02, 0x00, 0xFF, 0xFE}, {}, AnnouncementVerdict::BadCrc},
        {"CRC missing", {0x02, 0x08, 0x02, 0x06}, {}, AnnouncementVerdict::BadCrc},
        {"one byte", {0x02}, {}, AnnouncementVerdict::BadCrc},
        {"too long", Bytes(1025, 0x02), {}, AnnouncementVerdict::TooLong},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseAnnouncement(c.data.data(), c.data.size(), c.known, r), c.verdict) << c.what;

    ASSERT_EQ(ParseAnnouncement(onlyMac.data(), onlyMac.size(), {}, r),
              AnnouncementVerdict::Accepted);
    EXPECT_EQ(r.productName, "");
    EXPECT_EQ(r.ip, "");
}

TEST(Announcement, TruncatedItemsNeverReadPastTheDatagram) {
    // an item claiming 200 bytes inside a CRC-correct datagram of a few bytes
    const Bytes items = Cat({Item(13, Text("ok")), Bytes{14, 200, 'a', 'b'}});
    Bytes d = Announce(items);
    NetDeviceRecord r;
    ASSERT_EQ(ParseAnnouncement(d.data(), d.size(), {}, r), AnnouncementVerdict::Accepted);
    EXPECT_EQ(r.productName, "ok");
    EXPECT_EQ(r.description, ""); // the walk ended at the item that runs past the end

    // tags 7..9 read at the value position whatever their length says, but not past the end
    const Bytes short8 = Announce(Bytes{8, 0});
    ASSERT_EQ(ParseAnnouncement(short8.data(), short8.size(), {}, r),
              AnnouncementVerdict::Accepted);
    EXPECT_EQ(r.webPort,
              0xFFFF & (short8[4] | (short8[5] << 8))); // reads into the CRC, stays inside
    const Bytes mode0 = Announce(Bytes{7, 0, 1, 9});
    ASSERT_EQ(ParseAnnouncement(mode0.data(), mode0.size(), {}, r), AnnouncementVerdict::Accepted);
    EXPECT_EQ(r.ipMode, 1);

    // every prefix and every byte value at each position: no crash (ASan run checks the reads)
    const Bytes full = Announce(Cat({Item(2, kMac), Item(13, Text("name")), Item(8, {80, 0})}));
    for (std::size_t n = 0; n <= full.size(); ++n) {
        Bytes cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
        ParseAnnouncement(cut.data(), cut.size(), {}, r);
    }
}

namespace {
NetDeviceRecord Known() {
    NetDeviceRecord r;
    std::copy(kMac.begin(), kMac.end(), r.mac.begin());
    r.ip = "192.168.1.20";
    r.mask = "255.255.255.0";
    r.gateway = "192.168.1.1";
    r.dns = "8.8.8.8";
    r.webPort = 80;
    r.telnetPort = 23;
    return r;
}
NetConfigEdits Unchanged(const NetDeviceRecord& r) {
    return {r.ipMode,
            r.ip,
            r.mask,
            r.gateway,
            r.dns,
            std::to_string(r.webPort),
            std::to_string(r.telnetPort)};
}
} // namespace

TEST(Configuration, UnchangedPageSendsOnlyTheMac) {
    const auto r = BuildConfiguration(Known(), Unchanged(Known()));
    ASSERT_TRUE(r.ok);
    Bytes expected = {0x03, 0x08, 0x02, 0x06};
    expected.insert(expected.end(), kMac.begin(), kMac.end());
    const Bytes items(expected.begin() + 2, expected.end());
    const std::uint16_t crc = Uart_Crc16(0xFFFF, items.data(), items.size());
    expected.push_back(crc & 0xFF);
    expected.push_back(crc >> 8);
    EXPECT_EQ(r.datagram, expected);
    EXPECT_EQ(r.datagram.size(), 12u);
}

TEST(Configuration, StaticAddressesAndPorts) {
    auto edits = Unchanged(Known());
    edits.ip = "01.2.3.4";
    edits.webPort = "8080";
    const auto r = BuildConfiguration(Known(), edits);
    ASSERT_TRUE(r.ok) << r.error;
    const Bytes items(r.datagram.begin() + 2, r.datagram.end() - 2);
    EXPECT_EQ(items, Cat({Item(2, kMac), Item(3, {1, 2, 3, 4}), Item(8, {0x90, 0x1F})}));
    EXPECT_EQ(r.record.ip, "01.2.3.4"); // stored as typed
    EXPECT_EQ(r.record.mask, "255.255.255.0");
    EXPECT_EQ(r.record.webPort, 8080);
    EXPECT_EQ(DescribeConfiguration(r), std::string("Sent to 00:1C:91:0A:BB:FF") +
                                            ": IP Address 01.2.3.4, WebGUI Port 8080.");
    EXPECT_EQ(DescribeConfiguration(BuildConfiguration(Known(), Unchanged(Known()))),
              std::string("Sent to 00:1C:91:0A:BB:FF") + ": no change.");
}

TEST(Configuration, SwitchToDhcp) {
    auto edits = Unchanged(Known());
    edits.ipModeIndex = 1;
    edits.ip = "10.0.0.1"; // ignored in DHCP mode
    edits.dns = "1.1.1.1"; // sent in either mode
    const auto r = BuildConfiguration(Known(), edits);
    ASSERT_TRUE(r.ok);
    const Bytes items(r.datagram.begin() + 2, r.datagram.end() - 2);
    EXPECT_EQ(items, Cat({Item(2, kMac), Item(7, {1}), Item(6, {1, 1, 1, 1})}));
    EXPECT_EQ(r.record.ip, "0.0.0.0");
    EXPECT_EQ(r.record.mask, "0.0.0.0");
    EXPECT_EQ(r.record.gateway, "0.0.0.0");
    EXPECT_EQ(r.record.ipMode, 1);
    // the line names the values as the record now keeps them
    EXPECT_EQ(DescribeConfiguration(r),
              std::string("Sent to 00:1C:91:0A:BB:FF") + ": IP Mode DHCP, DNS 1.1.1.1.");
}

TEST(Configuration, AnUnknownModeIsKeptUnlessOneIsChosen) {
    NetDeviceRecord odd = Known();
    odd.ipMode = 2;
    auto edits = Unchanged(odd);
    edits.ipModeIndex = -1; // the combo box shows no mode
    edits.ip = "10.0.0.9";
    auto r = BuildConfiguration(odd, edits);
    ASSERT_TRUE(r.ok) << r.error;
    Bytes items(r.datagram.begin() + 2, r.datagram.end() - 2);
    EXPECT_EQ(items, Cat({Item(2, kMac), Item(3, {10, 0, 0, 9})}));
    EXPECT_EQ(r.record.ipMode, 2);
    edits.ipModeIndex = 0; // STATIC picked
    r = BuildConfiguration(odd, edits);
    items.assign(r.datagram.begin() + 2, r.datagram.end() - 2);
    EXPECT_EQ(items, Cat({Item(2, kMac), Item(7, {0}), Item(3, {10, 0, 0, 9})}));
    EXPECT_EQ(r.record.ipMode, 0);
}

TEST(Configuration, MasksWhoseBitsComeFirstAreTaken) {
    for (const char* mask : {"255.255.255.0", "255.255.0.0", "255.255.255.252", "255.255.255.255",
                             "128.0.0.0", "255.255.254.0"}) {
        auto edits = Unchanged(Known());
        edits.mask = mask;
        EXPECT_TRUE(BuildConfiguration(Known(), edits).ok) << mask;
    }
}

TEST(Configuration, BadNumbersSendNothing) {
    const struct {
        const char* what;
        std::function<void(NetConfigEdits&)> change;
        const char* field;
    } cases[] = {
        // an address is named whole, as typed
        {"letters in the IP", [](NetConfigEdits& e) { e.ip = "10.0.x.1"; },
         "IP Address \"10.0.x.1\""},
        {"part above 255", [](NetConfigEdits& e) { e.gateway = "10.0.0.300"; },
         "GateWay IP \"10.0.0.300\""},
        {"negative DNS part", [](NetConfigEdits& e) { e.dns = "1.-1.1.1"; }, "DNS \"1.-1.1.1\""},
        {"three parts", [](NetConfigEdits& e) { e.mask = "255.255.0"; },
         "SubNet Mask \"255.255.0\""},
        {"five parts", [](NetConfigEdits& e) { e.ip = "1.2.3.4.5"; }, "IP Address \"1.2.3.4.5\""},
        {"doubled dot", [](NetConfigEdits& e) { e.ip = "10..0.0.5"; },
         "IP Address \"10..0.0.5\" is not an address: four numbers from 0 to 255 between dots."},
        {"empty web port", [](NetConfigEdits& e) { e.webPort = ""; }, "WebGUI Port"},
        {"port too big", [](NetConfigEdits& e) { e.telnetPort = "70000"; }, "Telnet Port"},
        {"port with blanks", [](NetConfigEdits& e) { e.webPort = "80 "; }, "WebGUI Port"},
        {"three parts", [](NetConfigEdits& e) { e.mask = "255.255.0"; }, "SubNet Mask"},
        {"five parts", [](NetConfigEdits& e) { e.ip = "10.0.0.1.2"; }, "IP Address"},
        {"emptied", [](NetConfigEdits& e) { e.gateway = ""; }, "GateWay IP"},
        {"a mask with a gap", [](NetConfigEdits& e) { e.mask = "255.0.255.0"; },
         "SubNet Mask \"255.0.255.0\" is not a mask"},
        {"a mask with a low bit", [](NetConfigEdits& e) { e.mask = "255.255.255.1"; },
         "SubNet Mask \"255.255.255.1\" is not a mask"},
        {"an inverted mask", [](NetConfigEdits& e) { e.mask = "0.0.0.255"; }, "is not a mask"},
        {"web port 0", [](NetConfigEdits& e) { e.webPort = "0"; },
         "WebGUI Port: \"0\" is not a port number from 1 to 65535."},
        {"telnet port 0", [](NetConfigEdits& e) { e.telnetPort = "00"; }, "Telnet Port"},
    };
    for (const auto& c : cases) {
        auto edits = Unchanged(Known());
        c.change(edits);
        const auto r = BuildConfiguration(Known(), edits);
        EXPECT_FALSE(r.ok) << c.what;
        EXPECT_TRUE(r.datagram.empty()) << c.what;
        EXPECT_NE(r.error.find(c.field), std::string::npos) << c.what << ": " << r.error;
    }
}

TEST(WebAddress, Rules) {
    NetDeviceRecord r = Known();
    EXPECT_EQ(WebAddress(r), "Http://192.168.1.20/");
    r.webPort = 8080;
    EXPECT_EQ(WebAddress(r), "Http://192.168.1.20:8080/");
    r.webPort = 0;
    EXPECT_FALSE(WebAddress(r));
}

TEST(DeviceSide, AnnouncementRoundTripAndConfiguration) {
    NetDeviceRecord dev = Known();
    dev.productId = "0201";
    dev.productName = "Matrix";
    dev.description = "Rack B";
    dev.serial = "S1";
    const auto ann = BuildAnnouncement(dev);
    NetDeviceRecord seen;
    ASSERT_EQ(ParseAnnouncement(ann.data(), ann.size(), {}, seen), AnnouncementVerdict::Accepted);
    EXPECT_EQ(seen.productId, "0201");
    EXPECT_EQ(seen.ip, dev.ip);
    EXPECT_EQ(seen.webPort, 80);
    EXPECT_EQ(seen.description, "Rack B");

    auto edits = Unchanged(seen);
    edits.ip = "10.1.2.3";
    edits.telnetPort = "2323";
    const auto cfg = BuildConfiguration(seen, edits);
    ASSERT_TRUE(cfg.ok);
    EXPECT_TRUE(ApplyConfiguration(cfg.datagram.data(), cfg.datagram.size(), dev));
    EXPECT_EQ(dev.ip, "10.1.2.3");
    EXPECT_EQ(dev.telnetPort, 2323);

    NetDeviceRecord other = Known();
    other.mac[5] ^= 1; // addressed to someone else: untouched
    EXPECT_FALSE(ApplyConfiguration(cfg.datagram.data(), cfg.datagram.size(), other));
    EXPECT_EQ(other.ip, "192.168.1.20");
    auto bad = cfg.datagram;
    bad.back() ^= 1;
    EXPECT_FALSE(ApplyConfiguration(bad.data(), bad.size(), dev));
}

TEST(AddressBytes, FourDecimalPartsBetweenThreeDots) {
    using Bytes = std::array<std::uint8_t, 4>;
    constexpr const char* kFour = "four numbers from 0 to 255 between dots.";
    const struct {
        const char* text;
        std::optional<Bytes> want;
        const char* why;
    } cases[] = {
        {"192.168.1.20", Bytes{192, 168, 1, 20}, ""},
        {"0.0.0.0", Bytes{0, 0, 0, 0}, ""},
        {"010.0.0.255", Bytes{10, 0, 0, 255}, ""},
        // an empty part is no part: a doubled, leading or trailing dot is refused
        {"10..0.0.5", std::nullopt, kFour},
        {"1..2.3.4", std::nullopt, kFour},
        {".10.0.0.1", std::nullopt, kFour},
        {"10.0.0.1.", std::nullopt, kFour},
        {"1.2.3", std::nullopt, kFour},
        {"1.2.3.4.5", std::nullopt, kFour},
        {"", std::nullopt, kFour},
        {"1.2.3.256", std::nullopt, "\"256\" is not a number from 0 to 255."},
        {"1.2.3.x", std::nullopt, "\"x\" is not a number from 0 to 255."},
        {"1.2.3.-1", std::nullopt, "\"-1\" is not a number from 0 to 255."},
        {"1.+2.3.4", std::nullopt, "\"+2\" is not a number from 0 to 255."},
        {"1.2.3.0001", std::nullopt, "\"0001\" is not a number from 0 to 255."},
        {"1.2. 3.4", std::nullopt, "\" 3\" is not a number from 0 to 255."},
    };
    for (const auto& c : cases) {
        std::string why;
        EXPECT_EQ(AddressBytes(c.text, &why), c.want) << c.text;
        EXPECT_EQ(c.want ? std::string() : why, c.why) << c.text;
    }
    EXPECT_EQ(AddressRefusal("IP Address", "10..0.0.5", kFour),
              "IP Address \"10..0.0.5\" is not an address: four numbers from 0 to 255 between "
              "dots.");
}

TEST(AddressBytes, AnotherDeviceHoldingAnAddress) {
    NetDeviceRecord self = Known(), other = Known(), dhcp = Known();
    other.mac[5] ^= 1;
    other.ip = "10.0.0.7";
    dhcp.mac[5] ^= 2;
    dhcp.ip = "10.0.0.8";
    dhcp.ipMode = 1; // an address from DHCP is not one the device holds for good
    const std::vector<NetDeviceRecord> heard = {self, other, dhcp};
    const struct {
        const char* address;
        const NetDeviceRecord* holder;
    } cases[] = {
        {"10.0.0.7", &heard[1]},
        {"010.000.0.7", &heard[1]}, // the same four numbers written otherwise
        {"10.0.0.8", nullptr},
        {"192.168.1.20", nullptr}, // the device's own address
        {"10.0.0.9", nullptr},
        {"10..0.0.7", nullptr},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AddressHolder(heard, self.mac, c.address), c.holder) << c.address;
}
