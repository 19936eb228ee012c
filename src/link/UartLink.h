#pragma once
// The one serial link state: what was sent last and what has been received since.
// The port itself lives on the transport side; this is the part the logic reads and writes.
#include <array>
#include <cstdint>
#include <string_view>

#include "link/DeviceCommand.h"

namespace tavo {

inline constexpr std::size_t kRxBufferSize = 1024;
inline constexpr std::uint8_t kLinkResponseWaiting = 0x01; // bit 0: a complete line is waiting
inline constexpr std::uint8_t kLinkIspDevice = 0x08;       // bit 3: the device is in ISP mode
inline constexpr std::uint8_t kReceiveCommandMode = 8;     // the only mode that flags lines

struct UartLink {
    std::array<char, kRxBufferSize + 1> rxBuffer{}; // received bytes as text, NUL-terminated
    std::uint32_t rxCount = 0;
    std::uint16_t expectedCommand = ENTRANCE; // ENTRANCE means idle
    std::uint8_t lastSendMode = 0;
    std::uint8_t flags = 0;
    std::uint8_t receiveMode = 0;
    std::uint8_t ispFlag = 0;

    // What a send does before its first write: whatever the device sent before is discarded.
    void ResetForSend(std::uint8_t mode, std::uint16_t command) {
        rxCount = 0;
        lastSendMode = mode;
        expectedCommand = command;
        rxBuffer.fill(0);
    }
    // The received text up to the first NUL.
    std::string_view Text() const {
        std::size_t n = 0;
        while (n < kRxBufferSize && rxBuffer[n] != 0) ++n;
        return {rxBuffer.data(), n};
    }
};

} // namespace tavo
