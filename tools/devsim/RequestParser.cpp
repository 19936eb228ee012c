#include "RequestParser.h"

#include "link/Crc16.h"
#include "link/DeviceCommand.h"

namespace tavo::devsim {
namespace {

bool IsUpperHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

ParsedLine Verdict(std::string_view line, RequestError e) {
    ParsedLine p;
    p.text = std::string(line);
    p.error = e;
    return p;
}

} // namespace

std::string_view RequestErrorName(RequestError e) {
    switch (e) {
    case RequestError::None:
        return "ok";
    case RequestError::BadCrc:
        return "badcrc";
    case RequestError::Malformed:
        return "malformed";
    case RequestError::UnknownCommand:
        return "unknown";
    case RequestError::TooLong:
        return "toolong";
    case RequestError::Abandoned:
        return "abandoned";
    }
    return "?";
}

ParsedLine ParseRequestLine(std::string_view line) {
    if (line.empty() || line.front() != '$') return Verdict(line, RequestError::Malformed);
    std::string_view rest = line.substr(1);

    RequestVerb verb = RequestVerb::Entrance;
    if (rest.starts_with("SET ")) {
        verb = RequestVerb::Set;
        rest.remove_prefix(4);
    } else if (rest.starts_with("GET ")) {
        verb = RequestVerb::Get;
        rest.remove_prefix(4);
    }

    const std::size_t blank = rest.find(' ');
    if (blank == std::string_view::npos || blank == 0)
        return Verdict(line, RequestError::Malformed);
    const std::string_view name = rest.substr(0, blank);
    const std::string_view letters = rest.substr(blank + 1);
    if (letters.size() < 4 || letters.size() % 2 != 0)
        return Verdict(line, RequestError::Malformed);
    for (char c : letters)
        if (!IsUpperHex(c) && !(c >= 'a' && c <= 'f'))
            return Verdict(line, RequestError::Malformed);

    const std::string_view payloadLetters = letters.substr(0, letters.size() - 4);
    const std::string_view crcField = letters.substr(letters.size() - 4);
    for (char c : payloadLetters)
        if (!IsUpperHex(c)) return Verdict(line, RequestError::Malformed);
    if (CrcText(Uart_Crc16(payloadLetters)) != crcField) return Verdict(line, RequestError::BadCrc);

    // Only a SET carries payload letters.
    if (verb != RequestVerb::Set && !payloadLetters.empty())
        return Verdict(line, RequestError::Malformed);

    int command = -1;
    for (std::size_t i = 0; i < kCommandNames.size(); ++i)
        if (kCommandNames[i] == name) command = static_cast<int>(i);
    if (verb == RequestVerb::Entrance) {
        // without a verb only the handshake is a request
        if (command != ENTRANCE) return Verdict(line, RequestError::Malformed);
    } else if (command <= ENTRANCE || command >= RESERVED) {
        return Verdict(line, RequestError::UnknownCommand);
    }

    ParsedLine p = Verdict(line, RequestError::None);
    p.request.verb = verb;
    p.request.command = static_cast<std::uint16_t>(command);
    p.request.payload.reserve(payloadLetters.size() / 2);
    for (std::size_t i = 0; i + 1 < payloadLetters.size(); i += 2)
        p.request.payload.push_back(static_cast<std::uint8_t>(
            Uart_HexToNibble(payloadLetters[i]) * 16 + Uart_HexToNibble(payloadLetters[i + 1])));
    return p;
}

void RequestParser::Feed(std::string_view bytes, std::vector<ParsedLine>& out) {
    for (char c : bytes) {
        if (c == '$') {
            if (inLine_) out.push_back(Verdict(line_, RequestError::Abandoned));
            line_.assign(1, '$');
            inLine_ = true;
            overflow_ = false;
            continue;
        }
        if (!inLine_) continue; // wake-up bytes and noise between requests
        if (c == '\n') {
            std::string_view text = line_;
            if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
            out.push_back(overflow_ ? Verdict(text, RequestError::TooLong)
                                    : ParseRequestLine(text));
            line_.clear();
            inLine_ = false;
            overflow_ = false;
            continue;
        }
        if (line_.size() < kMaxRequestLine)
            line_.push_back(c);
        else
            overflow_ = true;
    }
}

} // namespace tavo::devsim
