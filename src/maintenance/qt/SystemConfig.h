#pragma once
// The device's description text and its defaults over the serial link, without widgets: the
// command sequences the "System" page and `tavo-cli device description|defaults` share.
#include <functional>
#include <string>

#include "link/DeviceCommand.h"

namespace tavo {

class SlotTransfer;
class UartSession;

inline constexpr unsigned kSystemConfigWaitMs = 1000; // after SYS_STR and after SYS_DEF
// How long a descriptor answer may come after the GET's own 50 ms before it is given up.
inline constexpr unsigned kDescriptorGraceMs = 1000;

// SET SYS_STR with the text's payload (a blank for an empty text, at most 31 characters), then
// the 1000 ms wait. The event loop keeps running.
void SendDescription(UartSession& session, const std::string& text);

// SET SYS_DEF with 0x55, the 1000 ms wait, then the system descriptor read again. True when its
// answer was handled (the current record holds the description the device reports).
bool RestoreDefaults(UartSession& session);

struct DefaultsOptions {
    bool history = true; // keep the slots the defaults reset (false: nothing is read or kept)
    // before each slot is read: its number from 1, how many there are, the slot
    std::function<void(int n, int total, SlotSelector slot)> progress;
    // Asked with the reason when a slot's EDID cannot be kept: true resets all the same (and
    // is not asked again for the slots after it). Unset: the reset stops and nothing is sent.
    std::function<bool(SlotSelector slot, const std::string& reason)> resetWithoutHistory;
};

// What keeping the slots before the defaults found.
struct DefaultsKeep {
    int kept = 0;         // slots whose EDID is in the history now
    bool refused = false; // a slot's EDID could not be kept: nothing may be sent
    SlotSelector slot{};  // the first slot that could not be kept
    std::string error;    // why (also when the operator said to reset all the same)
    bool lost = false;    // the port closed on the way: nothing may be sent
    bool ok() const { return !refused && !lost; }
};

// Reads every slot the defaults reset (SlotsResetByDefaults of the current device) and keeps its
// EDID in the transfers' history, between SYS_STM and SYS_CTM, with the mode poll held. The
// defaults are sent only when the result is ok().
DefaultsKeep KeepSlotsBeforeDefaults(SlotTransfer& transfers, const DefaultsOptions& options = {});

// GET SYS_DSCPT; waits up to kDescriptorGraceMs more for its answer. True when it was handled.
bool ReadSystemDescriptor(UartSession& session);

} // namespace tavo
