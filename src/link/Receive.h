#pragma once
// The receive side of the link, one tick at a time: how many bytes to take from the port, where
// they go in the 1024-byte receive buffer, and when a complete answer line is flagged. Also the
// rule that turns a port name into the path that is opened.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "link/UartLink.h"

namespace tavo {

// More than this many queued bytes is a flood: 16 bytes are read over the start of the buffer and
// the rest of the port's receive queue is discarded.
inline constexpr std::size_t kFloodThreshold = kRxBufferSize;
inline constexpr std::size_t kFloodReadBytes = 16;

struct ReceivePlan {
    std::size_t readCount = 0; // bytes to read from the port this tick
    bool flood = false;        // after reading, discard the rest of the receive queue
};
ReceivePlan PlanReceiveTick(std::size_t queued);

struct ReceiveResult {
    std::size_t stored = 0;  // bytes written into the buffer (and to the debug log)
    std::size_t dropped = 0; // bytes that had no room left in the buffer
    bool flood = false;
    bool lineFlagged = false; // link flag bit 0 was set this tick
};

// Applies the bytes read this tick. Normal tick: the bytes go in after the received count, the
// buffer stays NUL-terminated, the count grows; bytes past the 1024th are dropped, never written.
// A flood tick writes the bytes (at most 16) over the start of the buffer and leaves the count
// alone. After a normal tick, when the buffer holds at least one byte, its last byte is LF and
// the receive mode is 8 (command mode), link flag bit 0 is set: a complete line is waiting.
ReceiveResult ApplyReceived(UartLink& link, std::string_view bytes, bool flood);

// The debug-log line that reports dropped bytes.
std::string DroppedBytesMessage(std::size_t dropped);

// The path a listed port name is opened under. A name "COM" + digits: the number formed by its
// fourth and fifth characters (one digit for a four-character name); 10 or more gets the prefix
// "\\.\", below 10 the name is the path; nullopt when those characters are not a number (the port
// is skipped). Any other name (a device name or path of this system) is opened as it stands.
std::optional<std::string> SerialPortPath(std::string_view name);

} // namespace tavo
