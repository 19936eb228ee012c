// The state directory: what the device writes on each change and finds again at its next start.
#include <gtest/gtest.h>

#include <filesystem>

#include "BuiltinEdid.h"
#include "StateDir.h"
#include "TestHelpers.h"

using namespace tavo;
using namespace tavo::devsim;
using namespace tavo::devsim::test;
namespace fs = std::filesystem;

namespace {

class StateDirTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("devsim-state-" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    DeviceConfig Config() const {
        DeviceConfig c;
        c.counts = {2, 1, 2, 3};
        c.slots[static_cast<unsigned>(SlotKind::Output)] = {Filled(0x0B)};
        return c;
    }
    static EdidImage Filled(std::uint8_t v) {
        EdidImage e;
        e.fill(v);
        return e;
    }
    // Runs one request through the device and saves what it changed, as the program does.
    static void Apply(Device& d, StateDir& state, std::uint8_t mode, std::uint16_t cmd,
                      std::vector<std::uint8_t> payload) {
        Exchange x{d, {}};
        const DeviceResult r = x.Send(mode, cmd, payload);
        if (r.changes.any()) {
            ASSERT_TRUE(state.Save(d, r.changes));
        }
    }

    fs::path dir_;
};

} // namespace

TEST_F(StateDirTest, RoundTripAcrossRestarts) {
    const SlotSelector input2 = SlotSelector::Make(SlotKind::Input, 1);
    const SlotSelector user1 = SlotSelector::Make(SlotKind::User, 0);
    {
        Device d(Config());
        StateDir state(dir_);
        std::string error;
        ASSERT_TRUE(state.Load(d, error)) << error; // creates the directory
        ASSERT_TRUE(state.SaveAll(d));
        for (const char* f : {"input1.bin", "input2.bin", "output1.bin", "user1.bin", "user2.bin",
                              "internal1.bin", "internal3.bin", "mode", "description"})
            EXPECT_TRUE(fs::exists(dir_ / f)) << f;
        EXPECT_EQ(fs::file_size(dir_ / "output1.bin"), 256u);

        Apply(d, state, kModeSet, ND_SEL, {0x00, 0x01});
        for (std::uint16_t c = ND_ED0A; c <= ND_ED1B; ++c)
            Apply(d, state, kModeSet, c, std::vector<std::uint8_t>(64, 0xA1));
        Apply(d, state, kModeSet, ND_SEL, {0x20, 0x00});
        Apply(d, state, kModeSet, ND_ED1B, std::vector<std::uint8_t>(64, 0xB2));
        Apply(d, state, kModeSet, RXEDMD, {5});
        Apply(d, state, kModeSet, SYS_STR, {'R', 'o', 'o', 'm', ' ', '7'});
        EXPECT_EQ(*ReadFileBytes(dir_ / "mode"), (std::vector<std::uint8_t>{'5', '\n'}));
        // no temporary file is left behind
        for (const auto& entry : fs::directory_iterator(dir_))
            EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();
    }
    {
        DeviceConfig c = Config();
        c.slots[static_cast<unsigned>(SlotKind::Output)] = {Filled(0x0C)}; // a new sink
        Device d(c);
        StateDir state(dir_);
        std::string error;
        ASSERT_TRUE(state.Load(d, error));
        EXPECT_EQ(d.Slot(input2), Filled(0xA1));
        EdidImage user = BuiltinNewEdid();
        std::fill(user.begin() + 192, user.end(), 0xB2);
        EXPECT_EQ(d.Slot(user1), user);
        EXPECT_EQ(d.Mode(), 5);
        EXPECT_EQ(d.Description(), "Room 7");
        // read-only slots come from the configuration, not from the files
        EXPECT_EQ(d.Slot(SlotSelector::Make(SlotKind::Output, 0)), Filled(0x0C));
        // defaults go back to the configuration, and the files follow
        Apply(d, state, kModeSet, SYS_DEF, {0x55});
        EXPECT_EQ(d.Mode(), 0);
        const EdidImage builtin = BuiltinNewEdid();
        EXPECT_EQ(*ReadFileBytes(dir_ / "user1.bin"),
                  std::vector<std::uint8_t>(builtin.begin(), builtin.end()));
        const auto desc = *ReadFileBytes(dir_ / "description");
        EXPECT_EQ(std::string(desc.begin(), desc.end()), "Simulated device");
    }
}

TEST_F(StateDirTest, OddFilesAreReadSafely) {
    fs::create_directories(dir_);
    WriteFileAtomic(dir_ / "input1.bin", std::string(5, '\x07')); // short: padded with 0xFF
    WriteFileAtomic(dir_ / "user2.bin", std::string(1000, '\x08'));
    WriteFileAtomic(dir_ / "mode", "twelve\n"); // not a number: the configured mode stays
    WriteFileAtomic(dir_ / "description", std::string(40, 'd') + "\n");
    DeviceConfig c = Config();
    c.mode = 2;
    Device d(c);
    StateDir state(dir_);
    std::string error;
    ASSERT_TRUE(state.Load(d, error));
    const EdidImage& in1 = d.Slot(SlotSelector::Make(SlotKind::Input, 0));
    EXPECT_EQ(in1[4], 0x07);
    EXPECT_EQ(in1[5], 0xFF);
    EXPECT_EQ(d.Slot(SlotSelector::Make(SlotKind::User, 1)), Filled(0x08));
    EXPECT_EQ(d.Mode(), 2);
    EXPECT_EQ(d.Description(), std::string(31, 'd'));

    WriteFileAtomic(dir_ / "mode", "300\n"); // more than a byte
    Device d2(c);
    ASSERT_TRUE(state.Load(d2, error));
    EXPECT_EQ(d2.Mode(), 2);
}

TEST_F(StateDirTest, UnusableDirectoryIsReported) {
    fs::create_directories(dir_.parent_path());
    WriteFileAtomic(dir_, "a file, not a directory");
    Device d(Config());
    StateDir state(dir_);
    std::string error;
    EXPECT_FALSE(state.Load(d, error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(WriteFileAtomic(dir_ / "x" / "y", "z"));
    fs::remove(dir_);
}
