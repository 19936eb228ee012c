// The displays of this computer from a DRM tree of the test's own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sys/stat.h>

#include "../support/DrmTree.h"
#include "edid/NewEdidTemplate.h"
#include "workspace/sources/LocalDisplays.h"

using namespace tavo;

namespace {

std::vector<std::uint8_t> Bytes(const EdidImage& image, std::size_t size = kEdidSize) {
    return {image.begin(), image.begin() + static_cast<long>(size)};
}

} // namespace

TEST(LocalDisplays, ListsEveryConnectorWithItsEdid) {
    test::DrmTree tree;
    const EdidImage tmpl = NewEdidTemplate();
    auto bigger = Bytes(tmpl);
    bigger.resize(384, 0x00); // a third block: the first 256 bytes count
    tree.Add("card0-HDMI-A-1", "connected", Bytes(tmpl));
    tree.Add("card0-DP-1", "disconnected", {});
    tree.Add("card1-eDP-1", "connected", bigger);
    tree.Add("card0-VGA-1", "unknown", {0x12, 0x34}); // not an EDID: shown as the analyzer does

    const auto displays = ListDisplays(tree.root());
    ASSERT_EQ(displays.size(), 4u); // not card0, renderD128 or version
    const struct {
        const char* connector;
        const char* status;
        bool hasEdid;
        const char* monitor;
    } want[] = {{"card0-DP-1", "disconnected", false, ""},
                {"card0-HDMI-A-1", "connected", true, "BrandNewEdid"},
                {"card0-VGA-1", "unknown", true, "-"},
                {"card1-eDP-1", "connected", true, "BrandNewEdid"}};
    for (std::size_t i = 0; i < displays.size(); ++i) {
        SCOPED_TRACE(want[i].connector);
        EXPECT_EQ(displays[i].connector, want[i].connector);
        EXPECT_EQ(displays[i].status, want[i].status);
        EXPECT_EQ(displays[i].hasEdid, want[i].hasEdid);
        EXPECT_EQ(displays[i].monitorName, want[i].monitor);
        EXPECT_EQ(displays[i].connected(), std::string(want[i].status) == "connected");
    }
    EXPECT_FALSE(displays[1].manufacturer.empty());
    EXPECT_EQ(DisplayJson(displays[1]),
              "{\"connector\":\"card0-HDMI-A-1\",\"status\":\"connected\",\"manufacturer\":\"" +
                  displays[1].manufacturer + "\",\"monitor\":\"BrandNewEdid\"}");

    EXPECT_TRUE(ListDisplays(tree.root() + "/missing").empty());
}

TEST(LocalDisplays, ReadsOneDisplaysEdid) {
    test::DrmTree tree;
    const EdidImage tmpl = NewEdidTemplate();
    tree.Add("card0-HDMI-A-1", "connected", Bytes(tmpl));
    tree.Add("card1-HDMI-A-1", "connected", Bytes(tmpl, 128));
    tree.Add("card0-DP-1", "disconnected", {});
    tree.Add("card0-DP-2", "connected", Bytes(tmpl));
    // a pipe where the EDID should be is refused at once, never waited on
    tree.Add("card2-DP-3", "connected", {});
    std::filesystem::remove(tree.root() + "/card2-DP-3/edid");
    ASSERT_EQ(::mkfifo((tree.root() + "/card2-DP-3/edid").c_str(), 0644), 0);

    EdidSource source;
    std::string error;
    ASSERT_TRUE(ReadDisplayEdid("card0-HDMI-A-1", source, error, tree.root())) << error;
    EXPECT_EQ(source.image, tmpl);
    ASSERT_TRUE(ReadDisplayEdid("card1-HDMI-A-1", source, error, tree.root())) << error;
    EXPECT_EQ(source.size, 128u);
    ASSERT_TRUE(ReadDisplayEdid("DP-2", source, error, tree.root())) << error; // one card has it
    EXPECT_TRUE(source.bytes.empty()) << "256 bytes: the image is the EDID";

    const struct {
        const char* connector;
        const char* error;
    } bad[] = {
        {"HDMI-A-1", "display:HDMI-A-1: ambiguous under "},
        {"card0-DP-1", "display:card0-DP-1: no EDID (disconnected)"},
        {"DP-3", "card2-DP-3/edid: not a regular file"},
        {"card0-HDMI-A-2", "display:card0-HDMI-A-2: no such connector under "},
        {"../card0-HDMI-A-1", "no such connector"},
        {"card0", "no such connector"},
        {"", "no such connector"},
    };
    for (const auto& b : bad) {
        SCOPED_TRACE(b.connector);
        EXPECT_FALSE(ReadDisplayEdid(b.connector, source, error, tree.root()));
        EXPECT_NE(error.find(b.error), std::string::npos) << error;
    }
    EXPECT_NE(error.find("(connectors: card0-DP-1, card0-DP-2, card0-HDMI-A-1, card1-HDMI-A-1, "
                         "card2-DP-3)"),
              std::string::npos)
        << error;
    EXPECT_EQ(ListDisplays(tree.root()).back().hasEdid, false);

    // the root comes from the environment when set
    ::setenv("TAVO_DRM_ROOT", tree.root().c_str(), 1);
    EXPECT_EQ(DrmRoot(), tree.root());
    EXPECT_TRUE(ReadDisplayEdid("card0-DP-2", source, error)) << error;
    ::unsetenv("TAVO_DRM_ROOT");
    EXPECT_EQ(DrmRoot(), "/sys/class/drm");
    // a display whose edid file has four blocks: every byte of it
    std::ifstream in(std::string(TAVO_TEST_DATA) + "/blocks/displayid-512.bin", std::ios::binary);
    const std::vector<std::uint8_t> four{std::istreambuf_iterator<char>(in),
                                         std::istreambuf_iterator<char>()};
    ASSERT_EQ(four.size(), 512u);
    tree.Add("card0-DP-4", "connected", four);
    ASSERT_TRUE(ReadDisplayEdid("DP-4", source, error, tree.root())) << error;
    EXPECT_EQ(source.size, 512u);
    EXPECT_EQ(source.bytes, four);
    EXPECT_TRUE(std::equal(source.image.begin(), source.image.end(), four.begin()));
}
