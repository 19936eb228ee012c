#pragma once
// What goes on the wire for one command, and the waits that follow it. Both are pure so that the
// sender (the Qt side) only performs them.
#include <cstdint>
#include <string>
#include <vector>

#include "link/DeviceCommand.h"

namespace tavo {

// One step of a send: a write of `bytes` (one write call), or, when bytes is empty, a pause.
struct FrameStep {
    std::string bytes;
    unsigned pauseMs = 0;
    bool isPause() const { return bytes.empty(); }
    friend bool operator==(const FrameStep&, const FrameStep&) = default;
};

// The writes of one command, in order:
//   GET:      "$GET NAME " | "FFFF\r\n"          (a GET never carries payload letters)
//   SET:      "$SET NAME " | "HH" per byte ... | CRC of the letters "%04X" + "\r\n"
//   ENTRANCE: " \r" | pause 160 ms | "$ENTRANCE " | "FFFF\r\n"
std::vector<FrameStep> Uart_FrameWrites(std::uint8_t mode, std::uint16_t command,
                                        std::uint16_t length, const std::uint8_t* data);

// All bytes of a command's writes concatenated (pauses left out).
std::string FrameBytes(const std::vector<FrameStep>& steps);

// The waits after the writes. A GET waits 50 ms and leaves the status poll off (the response
// handler turns it on). A SET waits 20 ms, then 100 more for ND_SEL when the current device's
// selected slot is a user slot, 90 more for FW_DATA and 500 more for SYS_DEF, then turns the poll
// back on.
struct SendSchedule {
    std::vector<unsigned> waitsMs;
    bool pollOnAfter = false;
    unsigned totalMs() const {
        unsigned t = 0;
        for (unsigned w : waitsMs)
            t += w;
        return t;
    }
};
SendSchedule Uart_PostSendWaits(std::uint8_t mode, std::uint16_t command,
                                SlotSelector currentSelected);

inline constexpr unsigned kEntrancePauseMs = 160;

// Whether a device answers the command at all: every SET ("OK"/"NG"), the handshake and the GETs
// that report something. The firmware commands are not waited for (their answers are drained).
bool ExpectsAnswer(std::uint8_t mode, std::uint16_t command);

// How late the device answers, measured on the connection itself: the time from a request's last
// byte to the moment its answer was looked at, from the handshake on. The fixed waits stay the
// floor; when an expected answer has not come by their end, the sender waits on for it, up to a
// limit that follows the device's measured lateness. A device as fast as the fixed waits assume
// is never waited for longer than they say while it answers.
class AnswerTiming {
public:
    // An answer was looked at `ms` after its request's last byte. A slower answer is taken at
    // once; faster ones bring the estimate down a quarter of the way at a time, so that one quick
    // answer does not undo what many slow ones showed.
    void Observe(unsigned ms);
    // The device's lateness so far (0 before any answer).
    unsigned lateMs() const { return lateMs_; }
    // The longest wait for an answer after the request's last byte: never below the command's
    // fixed waits, otherwise one and a half times the lateness plus a margin for the receive
    // tick, at most kAnswerWaitMaxMs.
    unsigned AnswerLimitMs(unsigned fixedMs) const;
    void Reset() { lateMs_ = 0; }

private:
    unsigned lateMs_ = 0;
};

inline constexpr unsigned kAnswerMarginMs = 100;
inline constexpr unsigned kAnswerWaitMaxMs = 1500;

} // namespace tavo
