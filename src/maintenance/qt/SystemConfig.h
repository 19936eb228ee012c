#pragma once
// The device's description text and its defaults over the serial link, without widgets: the
// command sequences the "System" page and `tavo-cli device description|defaults` share.
#include <string>

namespace tavo {

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

// GET SYS_DSCPT; waits up to kDescriptorGraceMs more for its answer. True when it was handled.
bool ReadSystemDescriptor(UartSession& session);

} // namespace tavo
