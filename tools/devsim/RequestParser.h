#pragma once
// Turns the bytes the tool writes, split however the line delivers them, into requests.
//
// A request is one line from "$" to LF:
//   "$GET NAME FFFF\r\n"                    a query; never any payload letters
//   "$SET NAME " HH... CRC "\r\n"          payload bytes as upper-case hex letters, then the CRC of
//                                           those letters ("%04X"; FFFF for no payload)
//   "$ENTRANCE FFFF\r\n"                    the handshake (the tool wakes the line with " \r"
//   first)
// Bytes outside a line (the " \r" wake-up, noise) are skipped; a "$" inside a line starts a new
// one and abandons the unfinished one.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tavo::devsim {

enum class RequestVerb : std::uint8_t { Get, Set, Entrance };

enum class RequestError : std::uint8_t {
    None,
    BadCrc,         // the CRC field is not the upper-case CRC of the payload letters
    Malformed,      // not a request line (missing parts, odd or non-hex payload, GET with payload)
    UnknownCommand, // well formed, CRC good, but the name is not a command the tool sends
    TooLong,        // more than kMaxRequestLine characters before the LF
    Abandoned,      // a new "$" arrived before this line's LF
};

std::string_view RequestErrorName(RequestError e);

struct Request {
    RequestVerb verb = RequestVerb::Get;
    std::uint16_t command = 0; // DeviceCommand index
    std::vector<std::uint8_t> payload;
};

struct ParsedLine {
    std::string text; // from "$" up to (not including) CR LF, possibly cut at kMaxRequestLine
    RequestError error = RequestError::None;
    Request request; // valid only when error is None
    bool ok() const { return error == RequestError::None; }
};

// Longer than any request the tool sends (a 64-byte SET is 147 characters).
inline constexpr std::size_t kMaxRequestLine = 512;

// One complete line ("$" … without CR LF) into a request or a verdict.
ParsedLine ParseRequestLine(std::string_view line);

class RequestParser {
public:
    // Appends every line that `bytes` completes to `out`.
    void Feed(std::string_view bytes, std::vector<ParsedLine>& out);
    // True while a line has started and not yet ended.
    bool InLine() const { return inLine_; }

private:
    std::string line_;
    bool inLine_ = false;
    bool overflow_ = false;
};

} // namespace tavo::devsim
