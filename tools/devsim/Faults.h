#pragma once
// Fault injection: rules that change how (or whether) an answer goes out.
//
// A rule is KIND[:CMD[:ARGS]], where ARGS is a bare number (the kind's main argument) or
// key=value pairs separated by commas:
//   drop:CMD[:N]            the answer is not sent                       (N = count)
//   badcrc:CMD[:N]          the CRC digits are wrong (still upper case)  (N = count)
//   lowercrc:CMD[:N]        the CRC digits are sent in lower case        (N = count)
//   split:CMD[:MS]          the answer goes out in pieces, MS apart      (default 3 pieces, 30 ms)
//   late:CMD:MS             the answer goes out MS later
//   flood:CMD[:BYTES]       BYTES of filler (default 2048) and the answer in one write
//   ng:CMD[:N]              the answer is "NG" (the request was handled all the same)   (N = count)
// Keys: count (answers affected; default every one), skip (matching answers let through first),
// ms, pieces, bytes. CMD is a command name (ENTRANCE for the handshake) or * for every answer;
// an omitted CMD means *.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavo::devsim {

enum class FaultKind : std::uint8_t { Drop, BadCrc, LowerCrc, Split, Late, Flood, Ng };

inline constexpr int kAnyCommand = -1;

struct FaultRule {
    FaultKind kind = FaultKind::Drop;
    int command = kAnyCommand; // DeviceCommand index or kAnyCommand
    unsigned count = 0;        // 0: every matching answer
    unsigned skip = 0;
    unsigned ms = 30;
    unsigned pieces = 3;
    unsigned bytes = 2048;
    // bookkeeping
    unsigned seen = 0;
    unsigned applied = 0;
};

// Parses one rule; on failure returns nullopt and says why in `error`.
std::optional<FaultRule> ParseFaultRule(std::string_view text, std::string& error);

// One write of the answer: `bytes` go out `delayMs` after the previous piece (or the request).
struct AnswerPiece {
    std::string bytes;
    unsigned delayMs = 0;
    friend bool operator==(const AnswerPiece&, const AnswerPiece&) = default;
};

class FaultPlan {
public:
    void Add(FaultRule rule) { rules_.push_back(rule); }
    bool empty() const { return rules_.empty(); }
    // The writes for one answer line to `command`; empty when it is dropped. `notes` collects a
    // word per rule applied, for the request log.
    std::vector<AnswerPiece> Apply(std::uint16_t command, const std::string& answer,
                                   std::vector<std::string>* notes = nullptr);

private:
    std::vector<FaultRule> rules_;
};

std::string_view FaultKindName(FaultKind kind);

} // namespace tavo::devsim
