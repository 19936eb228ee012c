#pragma once
// The device's command names and the 16-bit slot code that ND_SEL carries.
#include <array>
#include <cstdint>
#include <string_view>

namespace tavo {

// Index of a device command; the index is what callers pass, the name is what goes on the wire.
enum DeviceCommand : std::uint16_t {
    ENTRANCE = 0, // handshake, sent without a verb
    SYS_DSCPT,    // GET: system descriptor
    SYS_STR,      // SET: description text
    SYS_DEF,      // SET: restore defaults (one byte)
    SYS_STM,      // SET: before an EDID dialog or transfer
    SYS_CTM,      // SET: after it
    ND_SEL,       // SET: select the slot the next commands address (SlotSelector, high byte first)
    ND_DSCPT,     // GET: descriptor of the selected input or output
    ND_ED0A,      // EDID bytes 0..63
    ND_ED0B,      // EDID bytes 64..127
    ND_ED1A,      // EDID bytes 128..191
    ND_ED1B,      // EDID bytes 192..255
    RXEDMD,       // output EDID mode (one byte)
    FW_ADDR,      // firmware block address (two bytes)
    FW_DATA,      // firmware block (64 bytes)
    FW_END,       // end of the firmware transfer
    RESERVED,     // never sent
    COMMAND_COUNT
};

inline constexpr std::array<std::string_view, COMMAND_COUNT> kCommandNames = {
    "ENTRANCE", "SYS_DSCPT", "SYS_STR", "SYS_DEF", "SYS_STM", "SYS_CTM",
    "ND_SEL",   "ND_DSCPT",  "ND_ED0A", "ND_ED0B", "ND_ED1A", "ND_ED1B",
    "RXEDMD",   "FW_ADDR",   "FW_DATA", "FW_END",  "RESERVED"};

// Name of a command index; an index outside the table gives an empty name.
std::string_view CommandName(std::uint16_t command);

// Mode argument of a send: 1 is a SET with payload, anything else a GET.
inline constexpr std::uint8_t kModeGet = 0;
inline constexpr std::uint8_t kModeSet = 1;

// Kind of EDID slot, the top nibble of a SlotSelector.
enum class SlotKind : std::uint8_t { Input = 0, Output = 1, User = 2, Internal = 3 };

// 16-bit slot code: kind * 4096 + slot index from 0. Input 1 is 0x0000, output 1 0x1000,
// user slot 1 0x2000, internal slot 1 0x3000.
struct SlotSelector {
    std::uint16_t value = 0;

    static constexpr SlotSelector Make(SlotKind kind, unsigned index) {
        return SlotSelector{static_cast<std::uint16_t>(static_cast<unsigned>(kind) * 4096u +
                                                       (index & 0x0FFFu))};
    }
    constexpr unsigned kindCode() const { return value >> 12; }
    constexpr SlotKind kind() const { return static_cast<SlotKind>(value >> 12); }
    constexpr unsigned index() const { return value & 0x0FFFu; }
    // The ND_SEL payload: bits 15..8 first, then bits 7..0.
    constexpr std::array<std::uint8_t, 2> bytes() const {
        return {static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value & 0xFF)};
    }
    friend constexpr bool operator==(SlotSelector, SlotSelector) = default;
};

} // namespace tavo
