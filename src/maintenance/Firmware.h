#pragma once
// The firmware image check and the transfer plan of a firmware update, the description text
// rules of the System page, and what its defaults reset.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/DeviceCommand.h"

namespace tavo {

inline constexpr std::size_t kFwHeaderOffset = 512; // "FW VER:" mark
inline constexpr std::size_t kFwBlock = 64;
// Addresses go to the device as 16-bit file offsets: a larger image cannot be addressed.
inline constexpr std::size_t kFwMaxSize = 65536;

struct FirmwareHeader {
    bool accepted = false; // "FW VER:" at offset 512 and the image fits the 16-bit addresses
    bool tooLarge = false; // larger than 65,536 bytes
    std::string vid;       // offset 528, at most 4 characters (up to a zero byte)
    std::string pid;       // offset 532, at most 4 characters
    std::string version;   // offset 520, up to the first zero within 8 bytes
};

// Checks the header: 24 bytes read at offset 512; bytes past the end of a short file read as 0xFF.
FirmwareHeader CheckFirmwareHeader(const std::uint8_t* data, std::size_t size);

// "Target :   VID-%.4s     PID-%.4s     Version-%s", or "Target :" for a refused image.
std::string TargetLine(const FirmwareHeader& header);
// "Current :   VID-" + VID + "    PID-" + PID + "    Version-" + version of a running device.
std::string CurrentLine(const std::string& vid, const std::string& pid, const std::string& version);

// One step of the transfer: FW_ADDR (address high, low), FW_DATA (64 bytes, 0xFF past the end)
// followed by the progress label, or FW_END.
struct FirmwareStep {
    enum Kind { Address, Data, End } kind;
    std::uint16_t address = 0;
    std::array<std::uint8_t, kFwBlock> data{};
    std::string label; // after a Data step: "NN%" or "100%"
};

// The whole transfer of an image of `size` bytes: ceil(size / 64) address/data pairs, then FW_END.
std::vector<FirmwareStep> FirmwarePlan(const std::uint8_t* data, std::size_t size);
// The FW_ADDR payload: high byte first.
inline std::array<std::uint8_t, 2> AddressBytes(std::uint16_t a) {
    return {static_cast<std::uint8_t>(a >> 8), static_cast<std::uint8_t>(a & 0xFF)};
}

// What a loader said to the steps of a transfer. Its answers are not fixed and may be absent, so
// silence and anything unknown are no refusal; a line whose first field is "NG" or "ERR" is (its
// CRC checked when it carries a valid one, the bare word taken as it is). Returns the word.
std::optional<std::string> FirmwareRefusal(std::string_view received);

// ---- after the transfer -----------------------------------------------------------------------
// The loader's answer to FW_END is awaited this long; the device, once restarted, is searched for
// this long by default.
inline constexpr unsigned kFwEndAnswerMs = 1000;
inline constexpr unsigned kFwRestartWaitMs = 30000;

// Whether the update took, told by the version the device reports once it runs normally again.
enum class FirmwareCheck {
    Confirmed,    // it reports the image's version
    Mismatch,     // it reports another version
    NotConfirmed, // it did not come back in normal mode (or the image names no version)
};
// `running` is what the restarted device reports (nullopt: it did not come back). Versions are
// compared as texts, blanks around them and a leading "V" left out ("V2.01" is "2.01").
FirmwareCheck CheckRunningVersion(const std::optional<std::string>& running,
                                  const std::string& image);
// "V2.01 running: update confirmed", "the device runs V1.0, not V2.01: the update did not take",
// "Image sent; not confirmed: check the version once the device restarts".
std::string FirmwareCheckText(FirmwareCheck check, const std::string& running,
                              const std::string& image);

// ---- description text -------------------------------------------------------------------------
inline constexpr std::size_t kDescriptionLimit = 31;
// True when the text is longer than the device takes ("31 Letters Limited!").
inline bool DescriptionTooLong(const std::string& text) {
    return text.size() > kDescriptionLimit;
}
// The longest start of a UTF-8 text of at most `limit` bytes that ends between two characters.
// A text that is not UTF-8 at the cut is cut at `limit`.
std::string_view CutAtCharacter(std::string_view text, std::size_t limit);
// What SYS_STR carries: a blank for an empty text, otherwise the text cut to at most 31 bytes at
// a character boundary.
std::vector<std::uint8_t> DescriptionPayload(const std::string& text);

// ---- defaults ---------------------------------------------------------------------------------
// The slots whose EDID the device's defaults replace: every user slot (the inputs keep the EDIDs
// written into them, outputs and internal slots are not written at all). They are kept in the
// history before the defaults are sent.
std::vector<SlotSelector> SlotsResetByDefaults(unsigned userCount);
// The question before the defaults: the device's own "Warning!\r\nReset system to default.",
// then in plain words what goes back to the defaults and that the EDIDs are kept first.
std::string DefaultsQuestion(unsigned userCount, bool keptInHistory = true);
// "Keeping User 2 in the history (2 of 4)..."
std::string DefaultsKeepingText(SlotSelector slot, int n, int total);

} // namespace tavo
