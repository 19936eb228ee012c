#pragma once
// The device's description text and its defaults over the serial link, without widgets: the
// command sequences the "System" page and `tavo-cli device description|defaults` share, as
// operations a DeviceRunner runs in turn:
//
//   runner.submit(SetDescription{text}, [](const OperationResult& r) { ... });
//   runner.submit(RestoreDefaults{options}, [](const OperationResult& r) { ... r.keep ... });
#include <functional>
#include <string>

#include "link/DeviceCommand.h"
#include "link/qt/DeviceRunner.h"
#include "link/qt/LinkTask.h"

namespace tavo {

class SlotTransfer;
class UartSession;

inline constexpr unsigned kSystemConfigWaitMs = 1000; // after SYS_STR and after SYS_DEF
// How long a descriptor answer may come after the GET's own 50 ms before it is given up.
inline constexpr unsigned kDescriptorGraceMs = 1000;

struct DefaultsOptions {
    bool history = true; // keep the slots the defaults reset (false: nothing is read or kept)
    // before each slot is read: its number from 1, how many there are, the slot
    std::function<void(int n, int total, SlotSelector slot)> progress;
    // Asked with the reason when a slot's EDID cannot be kept: true resets all the same (and
    // is not asked again for the slots after it). Unset: the reset stops and nothing is sent.
    std::function<bool(SlotSelector slot, const std::string& reason)> resetWithoutHistory;
    // The slots are kept (or need not be): SYS_DEF goes out next.
    std::function<void()> restoring;
};

// SET SYS_STR with the text's payload (a blank for an empty text, at most 31 characters), then
// the 1000 ms wait; with `readBack`, the system descriptor read again afterwards (`reported`:
// its answer was handled, the current record holds the description the device reports).
struct SetDescription {
    std::string text;
    bool readBack = false;
    operator LinkSequence() const; // NOLINT: submitted as it stands
};

// The slots the defaults reset kept first (KeepSlotsBeforeDefaults, in `keep`); when that is
// ok(), SET SYS_DEF with 0x55, the 1000 ms wait, then the system descriptor read again
// (`reported`).
struct RestoreDefaults {
    DefaultsOptions options;
    operator LinkSequence() const; // NOLINT: submitted as it stands
};

// ---- the sequences
// SET SYS_STR and the wait after it.
LinkTask<> SendDescriptionAsync(UartSession& session, std::string text);
// GET SYS_DSCPT; waits up to kDescriptorGraceMs more for its answer. True when it was handled.
LinkTask<bool> ReadSystemDescriptorAsync(UartSession& session);
// SET SYS_DEF, the wait, the descriptor read again: true when it was handled.
LinkTask<bool> RestoreDefaultsAsync(UartSession& session);
// Reads every slot the defaults reset (SlotsResetByDefaults of the current device) and keeps its
// EDID in the transfers' history, between SYS_STM and SYS_CTM, with the mode poll held. The
// defaults are sent only when the result is ok().
LinkTask<DefaultsKeep> KeepSlotsBeforeDefaultsAsync(SlotTransfer& transfers,
                                                    DefaultsOptions options);

// ---- the same, run to their end for a caller that waits in place (a backup's restore)
void SendDescription(UartSession& session, const std::string& text);
bool ReadSystemDescriptor(UartSession& session);

} // namespace tavo
