#include "link/Frame.h"

#include "link/Crc16.h"

#include <algorithm>

namespace tavo {

std::string_view CommandName(std::uint16_t command) {
    return command < kCommandNames.size() ? kCommandNames[command] : std::string_view{};
}

std::vector<FrameStep> Uart_FrameWrites(std::uint8_t mode, std::uint16_t command,
                                        std::uint16_t length, const std::uint8_t* data) {
    std::vector<FrameStep> steps;
    if (command == ENTRANCE) {
        steps.push_back({" \r", 0});
        steps.push_back({"", kEntrancePauseMs});
    }
    std::string head = "$";
    if (command != ENTRANCE) head += (mode == kModeSet) ? "SET " : "GET ";
    head += CommandName(command);
    head += ' ';
    steps.push_back({head, 0});

    std::string crcText;
    if (mode == kModeSet && length > 0 && data != nullptr) {
        crcText.reserve(2u * length);
        for (std::uint16_t i = 0; i < length; ++i) {
            const auto hex = Uart_ByteToHex(data[i]);
            std::string letters(hex.begin(), hex.end());
            crcText += letters;
            steps.push_back({std::move(letters), 0});
        }
    }
    steps.push_back({CrcText(Uart_Crc16(crcText)) + "\r\n", 0});
    return steps;
}

std::string FrameBytes(const std::vector<FrameStep>& steps) {
    std::string out;
    for (const auto& s : steps)
        out += s.bytes;
    return out;
}

SendSchedule Uart_PostSendWaits(std::uint8_t mode, std::uint16_t command,
                                SlotSelector currentSelected) {
    SendSchedule s;
    if (mode == kModeGet || mode != kModeSet) {
        // any mode other than 1 is a GET
        s.waitsMs = {50};
        s.pollOnAfter = false;
        return s;
    }
    s.waitsMs = {20};
    if (command == ND_SEL && currentSelected.kind() == SlotKind::User) s.waitsMs.push_back(100);
    if (command == FW_DATA) s.waitsMs.push_back(90);
    if (command == SYS_DEF) s.waitsMs.push_back(500);
    s.pollOnAfter = true;
    return s;
}

bool ExpectsAnswer(std::uint8_t mode, std::uint16_t command) {
    switch (command) {
    case FW_ADDR:
    case FW_DATA:
    case FW_END:
    case RESERVED:
        return false;
    case ENTRANCE:
        return true;
    default:
        break;
    }
    if (mode == kModeSet) return true;
    // the GETs that report something; the others (a SET-only command) are answered with silence
    switch (command) {
    case SYS_DSCPT:
    case ND_DSCPT:
    case ND_ED0A:
    case ND_ED0B:
    case ND_ED1A:
    case ND_ED1B:
    case RXEDMD:
        return true;
    default:
        return false;
    }
}

void AnswerTiming::Observe(unsigned ms) {
    if (ms >= lateMs_)
        lateMs_ = ms;
    else
        lateMs_ -= (lateMs_ - ms) / 4;
}

unsigned AnswerTiming::AnswerLimitMs(unsigned fixedMs) const {
    const unsigned limit = std::min(lateMs_ + lateMs_ / 2 + kAnswerMarginMs, kAnswerWaitMaxMs);
    return std::max(fixedMs, limit);
}

} // namespace tavo
