#pragma once
// What the tool knows about the serial device: a fixed table of records, the four EDID slot lists
// and the numbering of the device's output EDID modes.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "link/DeviceCommand.h"

namespace tavo {

inline constexpr int kMaxDevices = 20;
inline constexpr int kMaxPorts = 10;
// Buttons of the "Mode Select" group: the counts a device reports are clamped to these.
inline constexpr int kModeButtonsInternal = 8;
inline constexpr int kModeButtonsExternal = 1;
inline constexpr int kModeButtonsUser = 8;
inline constexpr std::uint8_t kModeNone = 0xFE;    // no mode shown
inline constexpr std::uint8_t kModeUnknown = 0xFF; // not yet known (set by the search)

struct PortDescriptor {
    std::uint8_t number1 = 0;
    std::uint8_t number2 = 0;
    std::uint8_t number3 = 0;
    std::uint8_t flag4 = 0;
    std::uint8_t currentMode = 0;    // current output EDID mode as last shown
    std::uint8_t modesSelectable = 0; // 1: every Mode Select button enabled
    std::uint8_t copyPanel = 0;       // 1: the EDID copy panel is shown
    std::uint8_t modePoll = 0;        // 1: the status poll asks for the mode every 2000 ms
    std::uint8_t flag8 = 0;
};

struct DeviceRecord {
    std::uint8_t pollMarker = 0;
    std::string vid, pid, product, description, firmwareVersion;
    std::uint8_t descriptorFlag = 0;
    std::uint8_t firmwareFileFlag = 0;
    std::uint8_t serialDevice = 0; // 1: found on the serial port (normal or ISP mode)
    std::uint8_t inputCount = 0, outputCount = 0, userCount = 0, internalCount = 0;
    SlotSelector selected{};
    std::array<PortDescriptor, kMaxPorts> inputs{};
    std::array<PortDescriptor, kMaxPorts> outputs{};
};

struct DeviceTable {
    std::array<DeviceRecord, kMaxDevices> records{};
    std::int32_t count = 0;
    std::int32_t current = 0;

    // The current record; an index outside the table is clamped so nothing reads past record 19.
    DeviceRecord& Current() { return records[ClampIndex(current)]; }
    const DeviceRecord& Current() const { return records[ClampIndex(current)]; }
    static int ClampIndex(std::int32_t i) {
        return i < 0 ? 0 : (i >= kMaxDevices ? kMaxDevices - 1 : static_cast<int>(i));
    }
};

// ---- EDID slot lists --------------------------------------------------------------------------

inline constexpr const char* kSeparatorItem = "----------------";

enum class SlotList { All, Src, Dest, Upload };

// Items of one of the four lists, in order, for the counts I, O, U, N.
std::vector<std::string> SlotListItems(SlotList list, unsigned inputs, unsigned outputs,
                                       unsigned users, unsigned internals);
// The position a list selects after its rebuild: input 1, or output 1 in the Src list.
int SlotListInitialPosition(SlotList list, unsigned inputs);
// The slot at a list position; nullopt for a separator or a position outside the list.
std::optional<SlotSelector> SlotAtPosition(SlotList list, int position, unsigned inputs,
                                           unsigned outputs, unsigned users, unsigned internals);
inline bool IsSeparatorPosition(SlotList list, int position, unsigned i, unsigned o, unsigned u,
                                unsigned n) {
    return position >= 0 &&
           static_cast<std::size_t>(position) < SlotListItems(list, i, o, u, n).size() &&
           !SlotAtPosition(list, position, i, o, u, n);
}

// ---- output EDID modes ------------------------------------------------------------------------

enum class ModeButtonKind { Internal, External, User };

struct ModeButton {
    ModeButtonKind kind;
    int number; // from 1
    friend bool operator==(const ModeButton&, const ModeButton&) = default;
};

// Object-name prefix of a Mode Select button family; the full name adds the decimal number.
const char* ModeButtonPrefix(ModeButtonKind kind);
std::string ModeButtonName(const ModeButton& b);
int ModeButtonCount(ModeButtonKind kind);

// The button that shows mode m for the counts N (internal), O (outputs), U (user): internal slots
// first, then the outputs' EDIDs, then the user slots. nullopt when m is outside the range or the
// button would not exist (N > 8, O > 1, U > 8 are clamped to the buttons that exist).
std::optional<ModeButton> ModeToButton(unsigned mode, unsigned internals, unsigned outputs,
                                       unsigned users);
// The mode index a button sets.
unsigned ButtonToMode(const ModeButton& b, unsigned internals, unsigned outputs);
// The buttons a device with these counts uses, clamped to the buttons that exist.
std::vector<ModeButton> ModeButtonsInUse(unsigned internals, unsigned outputs, unsigned users);

// What showing mode m does to the buttons: disable one, enable and check one, and the new current
// mode. Pure; the Qt side applies it to the radio buttons it finds by name.
struct ShowModeActions {
    bool changed = false; // false: the same mode again, nothing happens
    std::optional<ModeButton> disable;
    std::optional<ModeButton> enableAndCheck;
    std::uint8_t newMode = 0;
};
ShowModeActions ComputeShowEdidMode(const DeviceRecord& record, std::uint8_t mode);
// Applies the computed mode to the record (input 1's current mode).
void StoreShownMode(DeviceRecord& record, const ShowModeActions& actions);

} // namespace tavo
