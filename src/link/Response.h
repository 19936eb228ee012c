#pragma once
// The device's answer lines: the CRC check, the field split and the bodies of the answers the
// tool reads (system descriptor, port descriptor, EDID chunks, EDID mode), and applying a parsed
// answer to the device model and the transfer EDID. Widgets are the Qt side's business: the result
// of handling a line says what they have to show.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "edid/EdidImage.h"
#include "link/DeviceModel.h"
#include "link/UartLink.h"

namespace tavo {

// An answer line is body + CRC-16 of the body as "%04X" + LF. The CRC is compared as text, so
// lower-case digits fail; a line shorter than 5 characters fails too.
struct LineVerdict {
    bool crcOk = false;
    std::string_view body; // the first L - 5 characters when crcOk
};
LineVerdict CheckResponseLine(std::string_view line);

// The line for a body: body + CRC + LF (what a device sends).
std::string MakeResponseLine(std::string_view body);

inline constexpr char kFieldSeparator = '\x0C';

// Splits `count` fields off the body. Field 1 runs to the first 0x0C; every further field starts
// right after the 0x0C that ended the previous one and ends at the first 0x0C from its second
// character on, so an empty field after the first swallows the separator that follows it and
// shifts the rest. Every field, the last included, must be followed by 0x0C: nullopt otherwise.
std::optional<std::vector<std::string_view>> SplitFields(std::string_view body, std::size_t count);

// A number field: decimal digits only (at least one), kept as its low byte; nullopt otherwise.
std::optional<std::uint8_t> ParseNumberField(std::string_view field);
// A flag field is set exactly when it is the single character "T".
inline bool ParseFlagField(std::string_view field) {
    return field == "T";
}

struct SystemDescriptor {
    std::string vid, pid, product, description, field5, firmwareVersion;
    bool descriptorFlag = false;
    std::uint8_t inputs = 0, outputs = 0, users = 0, internals = 0;
};
// The 11 fields of the SYS_DSCPT answer; nullopt when a field is missing or a count is not a
// number.
std::optional<SystemDescriptor> ParseSystemDescriptor(std::string_view body);

struct PortDescriptorAnswer {
    std::uint8_t number1 = 0, number2 = 0, number3 = 0;
    bool flag4 = false, modesSelectable = false, copyPanel = false, modePoll = false, flag8 = false;
};
// The 8 fields of the ND_DSCPT answer.
std::optional<PortDescriptorAnswer> ParsePortDescriptor(std::string_view body);

using EdidChunk = std::array<std::uint8_t, 64>;
// 128 hex letters, high nibble first: byte i = nibble(2i) * 16 + (nibble(2i + 1) & 0x0F) mod 256,
// where a letter that is not an upper-case hex digit counts as its character code. nullopt when
// the body holds fewer than 128 characters.
std::optional<EdidChunk> DecodeEdidChunk(std::string_view body);
// Offset of a chunk command's 64 bytes in the image (ND_ED0A 0 .. ND_ED1B 192); -1 for others.
int EdidChunkOffset(std::uint16_t command);

// The RXEDMD answer: a number followed by 0x0C.
std::optional<std::uint8_t> ParseEdidMode(std::string_view body);

// Into the current record: texts, flag and the four counts.
void ApplySystemDescriptor(DeviceRecord& record, const SystemDescriptor& d);
// Into the descriptor of the record's selected input or output. False (nothing stored) when the
// selected slot is a user or internal slot, or a port the model has no room for.
bool ApplyPortDescriptor(DeviceRecord& record, const PortDescriptorAnswer& d);
// Writes the chunk at its offset; false for a command that is not a chunk command.
bool ApplyEdidChunk(EdidImage& image, std::uint16_t command, const EdidChunk& chunk);

// What handling the waiting line did, for the side that shows it.
enum class ResponseOutcome {
    NothingWaiting, // link flag bit 0 was clear: nothing happened
    CrcError,       // bad CRC or short line: "CRC Error!", count 0, expected command kept
    Dropped,        // good CRC but a body the tool cannot read: treated like a CRC error
    Handled,        // stored what it carries; the link is idle again
};
struct ResponseResult {
    ResponseOutcome outcome = ResponseOutcome::NothingWaiting;
    std::uint16_t command = ENTRANCE;     // the expected command the line was handled against
    bool slotListsChanged = false;        // a system descriptor was stored: rebuild the four lists
    bool portStored = false;              // a port descriptor was stored
    bool chunkStored = false;             // 64 bytes went into the transfer image
    std::optional<std::uint8_t> showMode; // an EDID mode to show on the Mode Select buttons
    std::string line;                     // the line as it was taken from the buffer
    // The status poll goes back on after every line that was looked at, good or bad.
    bool pollOn() const { return outcome != ResponseOutcome::NothingWaiting; }
    bool failed() const {
        return outcome == ResponseOutcome::CrcError || outcome == ResponseOutcome::Dropped;
    }
};

// Handles the line waiting in the link (flag bit 0) against the expected command: checks the CRC,
// stores SYS_DSCPT and ND_DSCPT into the current record, chunks after a GET into `transfer`, and
// reports an RXEDMD mode after a GET. The receive buffer keeps its text (the search looks for its
// handshake reply in it afterwards); the received count goes to 0.
ResponseResult ProcessResponse(UartLink& link, DeviceTable& devices, EdidImage& transfer);

} // namespace tavo
