#pragma once
// The simulated device: what it holds (per-slot EDIDs, EDID mode, description, firmware being
// received) and what it answers to each request.
//
// Answers are lines: body, the CRC of the body as four upper-case hex digits, LF.
//   handshake   "$ACCEPT" (normal mode) or "$ISP029" + banner (ISP mode)
//   SYS_DSCPT   VID, PID, product, description, field 5, firmware version, flag, I, O, U, N,
//               each followed by 0x0C
//   ND_DSCPT    port number, kind, current mode, connected flag, modes-selectable, copy panel,
//               mode poll, spare flag, each followed by 0x0C ("T" or "F" for flags)
//   ND_ED..     64 bytes as 128 upper-case hex letters
//   RXEDMD      the mode in decimal, 0x0C
//   any SET     "OK" 0x0C when applied, "NG" 0x0C when refused
// A GET that has nothing to report (no valid slot selected, a command that has no GET form)
// gets no answer. In ISP mode only the handshake and FW_ADDR/FW_DATA/FW_END are answered.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "RequestParser.h"
#include "edid/EdidImage.h"
#include "link/DeviceCommand.h"

namespace tavo::devsim {

inline constexpr std::size_t kDescriptionMax = 31; // the device keeps at most 31 characters
inline constexpr std::size_t kFirmwareMax = 65536; // 16-bit block addresses
inline constexpr std::size_t kFirmwareBlock = 64;
inline constexpr std::uint8_t kDefaultsKey = 0x55; // SYS_DEF payload that restores defaults
inline constexpr unsigned kSlotKinds = 4;

struct DeviceConfig {
    // system descriptor texts
    std::string vid = "5441";
    std::string pid = "0401";
    std::string product = "DevSim 4x1";
    std::string description = "Simulated device";
    std::string field5 = "HW1.0";
    std::string firmwareVersion = "1.00";
    bool descriptorFlag = true;
    // counts: inputs, outputs, user slots, internal slots (index = SlotKind)
    std::array<unsigned, kSlotKinds> counts{4, 1, 8, 8};
    std::uint8_t mode = 0;
    // port descriptor flags (every input and output reports the same)
    bool modesSelectable = true;
    bool copyPanel = true;
    bool modePoll = true;
    // Faults of the device itself (the answers stay as they are): every chunk SET is stored with
    // its first byte inverted and still answered "OK"; the first read of a slot after a write
    // still shows what the slot held before it.
    bool corruptWrites = false;
    bool lateCommit = false;
    // ISP mode
    bool isp = false;
    std::string ispBanner; // empty: the product text
    // After an FW_END that stored the image: restart into normal mode reporting the image's
    // version (the text at offset 520), or restartVersion when it is set (an update that did not
    // take). The serial side keeps the device silent for the restart's duration.
    bool restartAfterFirmware = false;
    std::string restartVersion;
    // The EDIDs the slots start with; a slot without an entry holds BuiltinNewEdid(). Entries past
    // a kind's count are ignored.
    std::array<std::vector<EdidImage>, kSlotKinds> slots;
};

// What a request changed, for whoever keeps the device's state on disk.
struct StateChanges {
    std::vector<SlotSelector> slots;
    bool mode = false;
    bool description = false;
    bool any() const { return !slots.empty() || mode || description; }
};

struct DeviceResult {
    bool answered = false;
    std::string answer; // the complete line, CRC and LF included
    StateChanges changes;
    std::string note;       // a short word on what happened, for the request log ("" when routine)
    bool restarted = false; // the device left ISP mode: it restarts after this answer
};

// body + CRC("%04X" of the body) + LF
std::string AnswerLine(std::string_view body);

// A text as it can travel in a descriptor field: control characters (which would end the line
// or a field) become '?', and an empty text becomes one blank, because an empty field after the
// first would shift the fields behind it.
std::string FieldText(std::string_view text);

class Device {
public:
    explicit Device(DeviceConfig config);

    DeviceResult Handle(const Request& request);

    // ---- state ----
    const DeviceConfig& Config() const { return config_; }
    unsigned Count(SlotKind kind) const { return config_.counts[static_cast<unsigned>(kind)]; }
    bool SlotExists(SlotSelector s) const;
    static bool SlotWritable(SlotSelector s) {
        return s.kind() == SlotKind::Input || s.kind() == SlotKind::User;
    }
    // The slot's EDID; the selector must exist.
    const EdidImage& Slot(SlotSelector s) const;
    void SetSlot(SlotSelector s, const EdidImage& image); // ignored for a slot that doesn't exist
    std::uint8_t Mode() const { return mode_; }
    void SetMode(std::uint8_t mode) { mode_ = mode; }
    unsigned ModeCount() const; // N + O + U
    const std::string& Description() const { return description_; }
    void SetDescription(std::string_view text); // sanitised, cut to 31 characters
    bool SelectionValid() const { return selectionValid_; }
    SlotSelector Selected() const { return selected_; }
    bool Isp() const { return config_.isp; }

    // ---- firmware (ISP mode) ----
    // Called at FW_END with the image collected since the last FW_END (padded to whole blocks,
    // gaps 0xFF); its result decides between "OK" and "NG". Without a sink the image is kept.
    std::function<bool(const std::vector<std::uint8_t>&)> firmwareSink;
    const std::vector<std::uint8_t>& LastFirmware() const { return lastFirmware_; }
    const std::vector<std::uint8_t>& FirmwareInProgress() const { return firmware_; }

    // ---- answer bodies (without CRC and LF) ----
    std::string SystemDescriptorBody() const;
    std::string PortDescriptorBody(SlotSelector s) const;
    std::string ChunkBody(SlotSelector s, unsigned chunk) const; // chunk 0..3
    std::string ModeBody() const;
    // The version an image carries: the text at offset 520 (up to a zero byte, at most 8
    // characters) when "FW VER:" stands at 512; empty otherwise.
    static std::string ImageVersion(const std::vector<std::uint8_t>& image);
    std::string HandshakeBody() const;

private:
    DeviceResult HandleNormal(const Request& r);
    DeviceResult HandleIsp(const Request& r);
    DeviceResult HandleSet(const Request& r);
    DeviceResult HandleGet(const Request& r);

    DeviceConfig config_;
    std::array<std::vector<EdidImage>, kSlotKinds> slots_;
    std::uint8_t mode_ = 0;
    std::string description_;
    SlotSelector selected_{};
    bool selectionValid_ = false;
    // lateCommit: what each written slot held before its write, until its next read
    std::vector<std::pair<SlotSelector, EdidImage>> uncommitted_;
    // firmware reception
    std::vector<std::uint8_t> firmware_;
    std::vector<std::uint8_t> lastFirmware_;
    std::size_t fwAddress_ = 0;
};

} // namespace tavo::devsim
