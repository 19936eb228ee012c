#include "link/Receive.h"

#include <algorithm>
#include <cstring>

namespace tavo {

ReceivePlan PlanReceiveTick(std::size_t queued) {
    if (queued > kFloodThreshold) return {kFloodReadBytes, true};
    return {queued, false};
}

ReceiveResult ApplyReceived(UartLink& link, std::string_view bytes, bool flood) {
    ReceiveResult r;
    if (flood) {
        r.flood = true;
        r.stored = std::min(bytes.size(), kFloodReadBytes);
        std::memcpy(link.rxBuffer.data(), bytes.data(), r.stored);
        return r;
    }
    const std::size_t count = std::min<std::size_t>(link.rxCount, kRxBufferSize);
    const std::size_t room = kRxBufferSize - count;
    r.stored = std::min(bytes.size(), room);
    r.dropped = bytes.size() - r.stored;
    if (r.stored > 0) {
        std::memcpy(link.rxBuffer.data() + count, bytes.data(), r.stored);
        link.rxBuffer[count + r.stored] = 0; // the buffer has one byte more for this NUL
        link.rxCount = static_cast<std::uint32_t>(count + r.stored);
    }
    if (link.rxCount > 0 && link.rxBuffer[link.rxCount - 1] == '\n' &&
        link.receiveMode == kReceiveCommandMode) {
        link.flags |= kLinkResponseWaiting;
        r.lineFlagged = true;
    }
    return r;
}

std::string DroppedBytesMessage(std::size_t dropped) {
    return "Receive buffer full, " + std::to_string(dropped) + " bytes dropped.\r\n";
}

std::optional<std::string> SerialPortPath(std::string_view name) {
    if (name.substr(0, 3) != "COM") return std::string(name);
    if (name.size() < 4) return std::nullopt;
    const std::string_view digits = name.substr(3, 2);
    unsigned number = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        number = number * 10 + static_cast<unsigned>(c - '0');
    }
    if (number >= 10) return "\\\\.\\" + std::string(name);
    return std::string(name);
}

} // namespace tavo
