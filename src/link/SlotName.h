#pragma once
// Slots by name and the numbers around a slot transfer: "input1", "output1", "user3", "internal2"
// as the command line writes them, the file names proposed when a slot is saved, which slots take
// writes, and the least time a read or a write of one slot takes on the link.
#include <optional>
#include <string>
#include <string_view>

#include "link/DeviceCommand.h"

namespace tavo {

// "input1" .. (kind word in lower case, slot number from 1, no leading zeros). nullopt for
// anything else, slot 0 or a number above 4096.
std::optional<SlotSelector> ParseSlotName(std::string_view name);
// The name ParseSlotName reads back.
std::string SlotName(SlotSelector slot);
// The slot as the window names it: "Input 1", "Output 1", "User 3", "Internal 2".
std::string SlotTitle(SlotSelector slot);
// The name proposed when the slot is saved: "Input1 EDID.bin", "Output1 EDID.bin",
// "User3 EDID.bin", "Internal2 EDID.bin".
std::string ProposedEdidFileName(SlotSelector slot);
// Inputs and user slots take writes; outputs and internal slots are read only.
inline bool IsWritableSlot(SlotSelector slot) {
    return slot.kind() == SlotKind::Input || slot.kind() == SlotKind::User;
}
// The slot exists on a device with these counts.
bool SlotExists(SlotSelector slot, unsigned inputs, unsigned outputs, unsigned users,
                unsigned internals);

// The sum of the fixed waits of a slot read (SET ND_SEL, four GETs) and of a slot write (SET
// ND_SEL, four SETs), without the writes themselves. Selecting a user slot waits longer.
unsigned SlotReadFloorMs(SlotSelector slot);
unsigned SlotWriteFloorMs(SlotSelector slot);

} // namespace tavo
