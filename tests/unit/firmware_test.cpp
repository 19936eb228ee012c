// Firmware header check, transfer plan, the description text rules and backup manifests.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "link/Response.h"
#include "maintenance/BackupManifest.h"
#include "maintenance/Firmware.h"
#include "maintenance/Sha256.h"

using namespace tavo;

namespace {
std::vector<std::uint8_t> Image(std::size_t size, const char* version = "1.02",
                                const char* vid = "ABCD", const char* pid = "0042") {
    std::vector<std::uint8_t> img(size);
    for (std::size_t i = 0; i < size; ++i)
        img[i] = static_cast<std::uint8_t>(i * 13 + 1);
    auto put = [&](std::size_t at, const char* s, std::size_t n) {
        for (std::size_t i = 0; i < n && at + i < size; ++i)
            img[at + i] = static_cast<std::uint8_t>(s[i]);
    };
    put(512, "FW VER:", 7);
    put(520, version, std::strlen(version) + 1 > 8 ? 8 : std::strlen(version) + 1);
    put(528, vid, 4);
    put(532, pid, 4);
    return img;
}
} // namespace

TEST(FirmwareHeader, AcceptedAndRefused) {
    auto img = Image(600);
    auto h = CheckFirmwareHeader(img.data(), img.size());
    EXPECT_TRUE(h.accepted);
    EXPECT_EQ(TargetLine(h), "Target :   VID-ABCD     PID-0042     Version-1.02");

    const struct {
        const char* what;
        std::size_t size;
    } refused[] = {{"empty", 0}, {"1 byte", 1}, {"518 bytes: the mark cannot fit", 518}};
    for (const auto& c : refused) {
        const auto small = Image(std::max<std::size_t>(c.size, 1));
        EXPECT_FALSE(CheckFirmwareHeader(small.data(), c.size).accepted) << c.what;
    }
    img[515] = 'v';
    EXPECT_FALSE(CheckFirmwareHeader(img.data(), img.size()).accepted);
    EXPECT_EQ(TargetLine(CheckFirmwareHeader(img.data(), img.size())), "Target :");
}

TEST(FirmwareHeader, ShortHeaderReadsFFAndVersionStopsAtEight) {
    // 519 bytes: the mark fits, everything after reads as 0xFF
    auto img = Image(519);
    auto h = CheckFirmwareHeader(img.data(), img.size());
    EXPECT_TRUE(h.accepted);
    EXPECT_EQ(h.version, std::string(8, '\xFF'));
    EXPECT_EQ(h.vid, std::string(4, '\xFF'));

    img = Image(600, "ABCDEFGHIJ"); // no zero within the 8 version bytes
    h = CheckFirmwareHeader(img.data(), img.size());
    EXPECT_EQ(h.version, "ABCDEFGH");
}

TEST(FirmwareHeader, TooLargeIsRefused) {
    auto img = Image(65536);
    EXPECT_TRUE(CheckFirmwareHeader(img.data(), img.size()).accepted);
    img = Image(65537);
    const auto h = CheckFirmwareHeader(img.data(), img.size());
    EXPECT_FALSE(h.accepted);
    EXPECT_TRUE(h.tooLarge);
}

TEST(FirmwarePlan, SixHundredBytes) {
    const auto img = Image(600);
    const auto plan = FirmwarePlan(img.data(), img.size());
    ASSERT_EQ(plan.size(), 21u);
    const char* labels[] = {"10%", "21%", "32%", "42%", "53%", "64%", "74%", "85%", "96%", "100%"};
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(plan[2 * i].kind, FirmwareStep::Address);
        EXPECT_EQ(plan[2 * i].address, 64 * i);
        EXPECT_EQ(plan[2 * i + 1].kind, FirmwareStep::Data);
        EXPECT_EQ(plan[2 * i + 1].label, labels[i]);
    }
    EXPECT_EQ(plan[20].kind, FirmwareStep::End);
    const auto& last = plan[19].data;
    EXPECT_TRUE(std::equal(last.begin(), last.begin() + 24, img.begin() + 576));
    EXPECT_TRUE(std::all_of(last.begin() + 24, last.end(), [](auto b) { return b == 0xFF; }));
    EXPECT_EQ(AddressBytes(576), (std::array<std::uint8_t, 2>{0x02, 0x40}));
}

TEST(FirmwarePlan, FullSixtyFourKiB) {
    const auto img = Image(65536);
    const auto plan = FirmwarePlan(img.data(), img.size());
    ASSERT_EQ(plan.size(), 2049u);
    EXPECT_EQ(plan[2046].address, 65472); // the last block's address still fits in 16 bits
    EXPECT_EQ(plan[2047].label, "100%");
}

TEST(Firmware, OnlyAnExplicitRefusalCounts) {
    const struct {
        std::string received;
        std::optional<std::string> refusal;
    } cases[] = {
        {"", std::nullopt},
        {MakeResponseLine("OK\f"), std::nullopt},
        {MakeResponseLine("NG\f"), "NG"},
        {MakeResponseLine("ERR"), "ERR"},
        {"OK\r\nNG\r\n", "NG"},  // bare words, no CRC
        {"NG", std::nullopt},    // not a whole line yet
        {"NGX\n", std::nullopt}, // another word
        {"noise\x01\n" + MakeResponseLine("ERR\f1\f"), "ERR"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FirmwareRefusal(c.received), c.refusal) << c.received;
}

// The restarted device's version against the image's: only a reported version that is the
// image's confirms; a device that did not come back, or an image without a version, confirms
// nothing.
TEST(Firmware, RunningVersionConfirmsTheUpdate) {
    const struct {
        std::optional<std::string> running;
        std::string image;
        FirmwareCheck check;
        std::string text;
    } cases[] = {
        {"2.01", "2.01", FirmwareCheck::Confirmed, "V2.01 running: update confirmed"},
        {" V2.01", "2.01 ", FirmwareCheck::Confirmed, "V2.01 running: update confirmed"},
        {"1.0", "2.01", FirmwareCheck::Mismatch,
         "the device runs V1.0, not V2.01: the update did not take"},
        {"2.010", "2.01", FirmwareCheck::Mismatch,
         "the device runs V2.010, not V2.01: the update did not take"},
        {"", "2.01", FirmwareCheck::Mismatch,
         "the device runs V, not V2.01: the update did not take"},
        {std::nullopt, "2.01", FirmwareCheck::NotConfirmed,
         "Image sent; not confirmed: check the version once the device restarts"},
        {"2.01", "", FirmwareCheck::NotConfirmed,
         "Image sent; not confirmed: check the version once the device restarts"},
    };
    for (const auto& c : cases) {
        const FirmwareCheck check = CheckRunningVersion(c.running, c.image);
        EXPECT_EQ(check, c.check) << c.running.value_or("(none)") << " / " << c.image;
        EXPECT_EQ(FirmwareCheckText(check, c.running.value_or(""), c.image), c.text);
    }
}

TEST(Description, LimitAndPayload) {
    const std::string t31(31, 'x'), t32(32, 'y');
    EXPECT_FALSE(DescriptionTooLong(t31));
    EXPECT_TRUE(DescriptionTooLong(t32));
    EXPECT_EQ(DescriptionPayload(t31).size(), 31u);
    EXPECT_EQ(DescriptionPayload(t32).size(), 31u);
    EXPECT_EQ(DescriptionPayload(""), (std::vector<std::uint8_t>{0x20}));
    // UTF-8: the cut never splits a character (30 letters then a two-byte one, a four-byte one
    // straddling the limit, a text that is not UTF-8 at all)
    struct Case {
        std::string text;
        std::size_t sent;
    } cases[] = {
        {std::string(30, 'a') + "\xC3\xA9" + "b", 30},
        {std::string(29, 'a') + "\xC3\xA9" + "b", 31},
        {std::string(28, 'a') + "\xF0\x9F\x98\x80", 28},
        {std::string(27, 'a') + "\xF0\x9F\x98\x80" + "b", 31},
        {std::string(40, '\x80'), 31},
    };
    for (const auto& c : cases) {
        const auto payload = DescriptionPayload(c.text);
        EXPECT_EQ(payload.size(), c.sent) << c.text;
        EXPECT_EQ(std::string(payload.begin(), payload.end()), c.text.substr(0, c.sent));
    }
    EXPECT_EQ(CurrentLine("1A2B", "0001", "V1.0"),
              "Current :   VID-1A2B    PID-0001    Version-V1.0");
}

// The FIPS 180-4 examples and a message that crosses the padding boundary.
TEST(Sha256, KnownDigests) {
    const struct {
        std::string message;
        const char* digest;
    } cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(
            Sha256Hex(reinterpret_cast<const std::uint8_t*>(c.message.data()), c.message.size()),
            c.digest)
            << c.message.size();
    // fed in odd pieces: the same digest as at once
    const std::string m(200, 'q');
    Sha256 pieces;
    for (std::size_t i = 0; i < m.size(); i += 7)
        pieces.Update(reinterpret_cast<const std::uint8_t*>(m.data()) + i,
                      std::min<std::size_t>(7, m.size() - i));
    const auto digest = pieces.Finish();
    std::string hex;
    for (std::uint8_t b : digest) {
        hex += "0123456789abcdef"[b >> 4];
        hex += "0123456789abcdef"[b & 15];
    }
    EXPECT_EQ(hex, Sha256Hex(reinterpret_cast<const std::uint8_t*>(m.data()), m.size()));
}

// ---- backup manifests --------------------------------------------------------------------------

namespace {
std::string Hex(const std::string& bytes) {
    return Sha256Hex(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}
} // namespace

// What a restore may do, decided before anything is sent: every file checked against the
// manifest, the device's writable slots each written or named as not in the backup, a mode
// outside the device's range refused.
TEST(BackupManifest, PlanRestoreTable) {
    DeviceRecord device;
    device.vid = "5441", device.pid = "0401", device.product = "DevSim 4x1";
    device.inputCount = 2, device.outputCount = 1, device.userCount = 2, device.internalCount = 3;
    const std::string slotA(256, 'a'), slotB(256, 'b');
    const auto good = [&] {
        BackupManifest m;
        m.format = kBackupFormatName;
        m.hasFiles = true;
        m.vid = device.vid, m.pid = device.pid, m.product = device.product;
        m.files = {{"input1.bin", Hex(slotA)},
                   {"input2.bin", Hex(slotB)},
                   {"output1.bin", Hex(slotA)},
                   {"user1.bin", Hex(slotB)},
                   {"user2.bin", Hex(slotA)}};
        m.mode = 5;
        m.description = "Hall A";
        return m;
    };
    const struct {
        const char* what;
        std::function<void(BackupManifest&)> change;
        bool force;
        const char* error;  // a plan refused with this, or nullptr
        const char* states; // per planned slot: W write, N not in the backup, X no such
        int mode;           // the planned mode, -1 none
    } cases[] = {
        {"whole", [](BackupManifest&) {}, false, nullptr, "WWWW", 5},
        {"another format", [](BackupManifest& m) { m.format = "x"; }, false,
         "not a device backup manifest", "", -1},
        {"no files object", [](BackupManifest& m) { m.hasFiles = false; }, false,
         "not a device backup manifest", "", -1},
        {"a file that is no slot",
         [](BackupManifest& m) {
             m.files.push_back({"x.bin", ""});
         },
         false, "x.bin: not a slot file name", "", -1},
        {"a changed file", [&](BackupManifest& m) { m.files[1].second = Hex(slotA); }, false,
         "input2.bin: its SHA-256 differs", "", -1},
        {"a missing file",
         [](BackupManifest& m) {
             m.files.push_back({"user3.bin", "h"});
         },
         false, "user3.bin: no such file", "", -1},
        {"a short file",
         [](BackupManifest& m) {
             m.files.push_back({"input4.bin", "h"});
         },
         false, "input4.bin: 255 bytes, not 256", "", -1},
        {"another device", [](BackupManifest& m) { m.product = "Other"; }, false,
         "the backup is of Other (VID 5441, PID 0401), the device is DevSim 4x1", "", -1},
        {"another device, forced", [](BackupManifest& m) { m.product = "Other"; }, true, nullptr,
         "WWWW", 5},
        {"a slot left out", [](BackupManifest& m) { m.files.erase(m.files.begin() + 3); }, false,
         nullptr, "WWNW", 5},
        {"a slot the device lacks",
         [&](BackupManifest& m) {
             m.files.push_back({"user7.bin", Hex(slotA)});
         },
         false, nullptr, "WWWWX", 5},
        {"no mode", [](BackupManifest& m) { m.mode.reset(); }, false, nullptr, "WWWW", -1},
        {"the last mode", [](BackupManifest& m) { m.mode = 5; }, false, nullptr, "WWWW", 5},
        {"a mode past the device's", [](BackupManifest& m) { m.mode = 6; }, false,
         "mode: 6 is outside the device's 6 modes (0 to 5); nothing sent", "", -1},
        {"a mode that wraps at 256", [](BackupManifest& m) { m.mode = 258; }, false,
         "mode: 258 is outside", "", -1},
        {"a negative mode", [](BackupManifest& m) { m.mode = -1; }, false, "mode: -1 is outside",
         "", -1},
        {"a field the reader refused", [](BackupManifest& m) { m.invalid = "mode: text"; }, true,
         "manifest.json: mode: text; nothing sent", "", -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        BackupManifest m = good();
        c.change(m);
        const RestorePlan plan = PlanRestore(
            m, device, c.force, [&](const std::string& name, std::string& bytes, std::string& e) {
                if (name == "user3.bin") {
                    e = name + ": no such file";
                    return false;
                }
                bytes = name == "input4.bin"                          ? std::string(255, 'a')
                        : name == "input2.bin" || name == "user1.bin" ? slotB
                                                                      : slotA;
                return true;
            });
        if (c.error) {
            EXPECT_FALSE(plan);
            EXPECT_NE(plan.error.find(c.error), std::string::npos) << plan.error;
            continue;
        }
        ASSERT_TRUE(plan) << plan.error;
        std::string states;
        for (const PlannedSlot& s : plan.items)
            states += s.state == PlannedState::Write         ? 'W'
                      : s.state == PlannedState::NotInBackup ? 'N'
                                                             : 'X';
        EXPECT_EQ(states, c.states);
        EXPECT_EQ(plan.mode ? int(*plan.mode) : -1, c.mode);
        EXPECT_EQ(plan.description, std::optional<std::string>("Hall A"));
    }
    // the images planned are the files' bytes, slot by slot
    const RestorePlan plan =
        PlanRestore(good(), device, false, [&](const std::string& n, std::string& b, std::string&) {
            b = n == "input2.bin" || n == "user1.bin" ? slotB : slotA;
            return true;
        });
    ASSERT_EQ(plan.items.size(), 4u);
    EXPECT_EQ(plan.items[1].slot, SlotSelector::Make(SlotKind::Input, 1));
    EXPECT_EQ(plan.items[1].image[0], 'b');
    EXPECT_EQ(plan.items[2].slot, SlotSelector::Make(SlotKind::User, 0));
}

// A tampered manifest: each field of the wrong type or out of range is named and refuses the
// restore before anything is sent; none is skipped in silence nor rounded.
TEST(BackupManifest, FieldsOfTheWrongTypeOrRange) {
    using Kind = ManifestValue::Kind;
    const ManifestValue five{Kind::Number, 5, {}};
    const struct {
        const char* field;
        ManifestValue value;
        const char* invalid; // nullptr: taken
    } cases[] = {
        {"mode", five, nullptr},
        {"mode", {Kind::Absent, 0, {}}, nullptr},
        {"mode", {Kind::Number, 0, {}}, nullptr},
        {"mode", {Kind::Number, 255, {}}, nullptr},
        {"mode", {Kind::String, 0, "5"}, "mode: text, not a whole number"},
        {"mode", {Kind::Number, 5.7, {}}, "mode: 5.7 is not a whole number"},
        {"mode", {Kind::Number, -1, {}}, "mode: -1 is outside 0 to 255"},
        {"mode", {Kind::Number, 256, {}}, "mode: 256 is outside 0 to 255"},
        {"mode", {Kind::Number, 1e300, {}}, "mode: "},
        {"mode", {Kind::Null, 0, {}}, "mode: null, not a whole number"},
        {"mode", {Kind::Bool, 1, {}}, "mode: true or false, not a whole number"},
        {"mode", {Kind::Array, 0, {}}, "mode: a list, not a whole number"},
        {"description", {Kind::String, 0, "Hall 東"}, nullptr},
        {"description", {Kind::Absent, 0, {}}, nullptr},
        {"description", {Kind::Number, 12, {}}, "description: a number, not text"},
        {"description", {Kind::Object, 0, {}}, "description: an object, not text"},
        {"description", {Kind::Null, 0, {}}, "description: null, not text"},
        {"product", {Kind::String, 0, "DevSim"}, nullptr},
        {"product", {Kind::Number, 3, {}}, "product: a number, not text"},
        {"vid", {Kind::Absent, 0, {}}, "vid: missing, not text"},
        {"format", {Kind::Bool, 0, {}}, "format: true or false, not text"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.field) + " " + c.value.text + std::to_string(c.value.number));
        BackupManifest m;
        TakeManifestField(m, c.field, c.value);
        if (!c.invalid) {
            EXPECT_EQ(m.invalid, "");
            continue;
        }
        EXPECT_EQ(m.invalid.rfind(c.invalid, 0), 0u) << m.invalid;
        EXPECT_FALSE(m.mode); // nothing of a refused field is kept
        EXPECT_FALSE(m.description);
        TakeManifestField(m, "mode", five); // the first wrong field stays the one named
        EXPECT_EQ(m.invalid.rfind(c.invalid, 0), 0u) << m.invalid;
    }
    BackupManifest m;
    TakeManifestField(m, "mode", five);
    TakeManifestField(m, "description", {Kind::String, 0, "Hall"});
    EXPECT_EQ(m.mode, 5);
    EXPECT_EQ(m.description, "Hall");
}

// A description the device cannot keep as written is told before anything is sent, as what it
// will store: cut to 31 bytes between two characters; UTF-8 letters are kept as they are.
TEST(BackupManifest, DescriptionTheDeviceCannotKeepIsToldBeforehand) {
    DeviceRecord device;
    device.vid = "5441", device.pid = "0401", device.product = "P";
    device.userCount = 1, device.outputCount = 1;
    const struct {
        std::string description;
        std::string stored; // empty: kept as written, no notice
    } cases[] = {
        {"Hall A", ""},
        {"Hall 東", ""},
        {"", ""},
        {std::string(31, 'L'), ""},
        {std::string(40, 'L'), std::string(31, 'L')},
        {std::string(30, 'x') + "東", std::string(30, 'x')}, // never half a character
    };
    for (const auto& c : cases) {
        BackupManifest m;
        m.format = kBackupFormatName;
        m.hasFiles = true;
        m.vid = device.vid, m.pid = device.pid, m.product = device.product;
        m.description = c.description;
        const RestorePlan plan = PlanRestore(
            m, device, false, [](const std::string&, std::string&, std::string&) { return true; });
        ASSERT_TRUE(plan) << plan.error;
        EXPECT_EQ(plan.description, c.description);
        if (c.stored.empty())
            EXPECT_EQ(plan.descriptionNotice, "") << c.description;
        else
            EXPECT_NE(plan.descriptionNotice.find("it will store \"" + c.stored + "\" (the backup"),
                      std::string::npos)
                << plan.descriptionNotice;
    }
}
