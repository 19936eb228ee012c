// The networked devices: who answers what, configurations by MAC, the isolation check.
#include <gtest/gtest.h>

#include <unistd.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>

#include "NetDevices.h"
#include "Options.h"

using namespace tavo;
using namespace tavo::devsim;
namespace fs = std::filesystem;

namespace {

NetDeviceRecord Parse(const std::vector<std::uint8_t>& d) {
    NetDeviceRecord r;
    EXPECT_EQ(ParseAnnouncement(d.data(), d.size(), {}, r), AnnouncementVerdict::Accepted);
    return r;
}

} // namespace

TEST(NetDevices, DevicesAreDistinct) {
    const auto records = MakeNetDevices(255);
    ASSERT_EQ(records.size(), 255u);
    std::set<std::string> macs, ips, names, serials;
    for (const auto& r : records) {
        macs.insert(r.macText);
        ips.insert(r.ip);
        names.insert(r.productName);
        serials.insert(r.serial);
    }
    EXPECT_EQ(macs.size(), 255u);
    EXPECT_EQ(ips.size(), 255u);
    EXPECT_EQ(names.size(), 255u);
    EXPECT_EQ(serials.size(), 255u);
    EXPECT_EQ(MakeNetDevices(300).size(), 255u);
}

TEST(NetDevices, RequestIsAnsweredByEveryDeviceWithItsRecord) {
    NetDevices net(3);
    const auto request = BuildDiscoveryRequest();
    const NetOutcome out = net.Handle(request.data(), request.size());
    ASSERT_EQ(out.announcements.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        const NetDeviceRecord got = Parse(out.announcements[i]);
        const NetDeviceRecord& want = net.Records()[i];
        EXPECT_EQ(got.macText, want.macText);
        EXPECT_EQ(got.mac, want.mac);
        EXPECT_EQ(got.ip, want.ip);
        EXPECT_EQ(got.productId, want.productId);
        EXPECT_EQ(got.productName, want.productName);
        EXPECT_EQ(got.webPort, want.webPort);
        EXPECT_EQ(got.description, want.description);
    }
}

TEST(NetDevices, IgnoresWhatIsNotARequestOrConfiguration) {
    NetDevices net(2);
    const std::vector<std::vector<std::uint8_t>> ignored = {
        {},
        {0x01, 0x00, 0xFF},                       // short
        {0x01, 0x00, 0xFF, 0xFE},                 // bad CRC
        FrameDatagram(kDatagramAnnouncement, {}), // another device's announcement
        FrameDatagram(0x07, {}),                  // unknown kind
        std::vector<std::uint8_t>(1100, 0x01),    // too long
    };
    for (const auto& d : ignored) {
        const NetOutcome out = net.Handle(d.data(), d.size());
        EXPECT_TRUE(out.announcements.empty());
        EXPECT_TRUE(out.note.empty());
    }
}

TEST(NetDevices, ConfigurationChangesOnlyTheAddressedDevice) {
    NetDevices net(3);
    NetConfigEdits edits;
    const NetDeviceRecord second = net.Records()[1];
    edits.ipModeIndex = 0;
    edits.ip = "10.1.2.3";
    edits.mask = second.mask;
    edits.gateway = second.gateway;
    edits.dns = "8.8.4.4";
    edits.webPort = "81";
    edits.telnetPort = "2323";
    const NetConfigResult config = BuildConfiguration(second, edits);
    ASSERT_TRUE(config.ok) << config.error;
    const NetOutcome out = net.Handle(config.datagram.data(), config.datagram.size());
    EXPECT_TRUE(out.announcements.empty());
    EXPECT_NE(out.note.find(second.macText), std::string::npos);

    const auto request = BuildDiscoveryRequest();
    const NetOutcome next = net.Handle(request.data(), request.size());
    ASSERT_EQ(next.announcements.size(), 3u);
    const NetDeviceRecord changed = Parse(next.announcements[1]);
    EXPECT_EQ(changed.ip, "10.1.2.3");
    EXPECT_EQ(changed.dns, "8.8.4.4");
    EXPECT_EQ(changed.webPort, 81);
    EXPECT_EQ(changed.telnetPort, 2323);
    EXPECT_EQ(Parse(next.announcements[0]).ip, net.Records()[0].ip);
    EXPECT_EQ(Parse(next.announcements[0]).ip, MakeNetDevices(1)[0].ip);

    // DHCP clears the addresses the device keeps.
    edits = {};
    edits.ipModeIndex = 1;
    edits.dns = changed.dns;
    edits.webPort = "81";
    edits.telnetPort = "2323";
    const NetConfigResult dhcp = BuildConfiguration(net.Records()[1], edits);
    ASSERT_TRUE(dhcp.ok);
    net.Handle(dhcp.datagram.data(), dhcp.datagram.size());
    EXPECT_EQ(net.Records()[1].ipMode, 1);
    EXPECT_EQ(net.Records()[1].ip, "0.0.0.0");
}

TEST(NetDevices, ConfigurationForAnUnknownMacChangesNothing) {
    NetDevices net(2);
    NetDeviceRecord stranger = net.Records()[0];
    stranger.mac[5] = 0x99;
    NetConfigEdits edits;
    edits.ip = "1.1.1.1";
    edits.mask = stranger.mask;
    edits.gateway = stranger.gateway;
    edits.dns = stranger.dns;
    edits.webPort = "1";
    edits.telnetPort = "1";
    const NetConfigResult config = BuildConfiguration(stranger, edits);
    ASSERT_TRUE(config.ok);
    const NetOutcome out = net.Handle(config.datagram.data(), config.datagram.size());
    EXPECT_EQ(out.note, "configuration for no simulated device");
    EXPECT_EQ(net.Records()[0].ip, MakeNetDevices(1)[0].ip);
}

TEST(NetDevices, IsolationCheck) {
    const fs::path dir = fs::temp_directory_path() / ("devsim-net-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "lo");
    EXPECT_TRUE(IsIsolatedNetwork(nullptr, dir.string()));
    fs::create_directories(dir / "eth0");
    EXPECT_FALSE(IsIsolatedNetwork(nullptr, dir.string()));
    EXPECT_FALSE(IsIsolatedNetwork("0", dir.string()));
    EXPECT_TRUE(IsIsolatedNetwork("1", dir.string()));
    EXPECT_FALSE(IsIsolatedNetwork(nullptr, (dir / "missing").string()));
    fs::remove_all(dir);
}

TEST(NetDevices, Options) {
    std::string error;
    const auto ok = ParseOptions({"--net", "3", "--net-only", "--allow-network"}, error);
    ASSERT_TRUE(ok) << error;
    EXPECT_EQ(ok->net, 3u);
    EXPECT_TRUE(ok->netOnly);
    EXPECT_TRUE(ok->allowNetwork);
    EXPECT_EQ(ParseOptions({"--net=255"}, error)->net, 255u);
    const std::vector<std::vector<std::string>> refused = {
        {"--net", "0"},         {"--net", "256"},
        {"--net", "x"},         {"--net"},
        {"--net-only"},         {"--net-only=1", "--net", "2"},
        {"--allow-network=yes"}};
    for (const auto& args : refused)
        EXPECT_FALSE(ParseOptions(args, error)) << args[0];
}

// Outside an isolated namespace the network side is refused (unless told otherwise).
TEST(NetDevices, RefusedOnARealNetwork) {
    if (IsIsolatedNetwork(nullptr)) GTEST_SKIP() << "running inside an isolated namespace";
    const std::string command =
        std::string("env -u TAVO_ISOLATED ") + DEVSIM_BINARY + " --net 2 --net-only 2>&1";
    FILE* p = popen(command.c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::string out;
    char buf[256];
    while (std::fgets(buf, sizeof buf, p))
        out += buf;
    const int status = pclose(p);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 2);
    EXPECT_NE(out.find("not an isolated network namespace"), std::string::npos) << out;
}
