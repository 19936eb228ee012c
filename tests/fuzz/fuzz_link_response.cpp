// Device answers as they arrive: arbitrary bytes over several receive ticks (some of them floods),
// then the response handler against every expected command, after a GET and after a SET.
// Nothing may run past the receive buffer, the device table or the transfer image, and the
// received count never exceeds the buffer.
#include <cstdlib>
#include <string_view>

#include "link/Receive.h"
#include "link/Response.h"

using namespace tavo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    // byte 0: expected command and send mode; byte 1: selected slot of the current device
    UartLink link;
    link.receiveMode = kReceiveCommandMode;
    link.ResetForSend(data[0] & 0x80 ? kModeSet : kModeGet, (data[0] & 0x7F) % COMMAND_COUNT);
    DeviceTable devices;
    devices.current = static_cast<std::int32_t>(data[1] % 25) - 2; // also out of range
    devices.Current().selected = SlotSelector{static_cast<std::uint16_t>(data[1] << 8 | data[1])};
    EdidImage transfer{};

    std::string_view rest(reinterpret_cast<const char*>(data + 2), size - 2);
    while (!rest.empty()) {
        // each tick takes a piece whose length the first byte sets; 0xFF marks a flood tick
        const unsigned char head = static_cast<unsigned char>(rest[0]);
        rest.remove_prefix(1);
        const std::size_t n = head == 0xFF ? 2000 : head * 8u;
        const std::string_view piece = rest.substr(0, n);
        rest.remove_prefix(piece.size());
        const ReceivePlan plan = PlanReceiveTick(head == 0xFF ? 2000 : piece.size());
        ApplyReceived(link, piece.substr(0, plan.readCount), plan.flood);
        if (link.rxCount > kRxBufferSize || link.rxBuffer[kRxBufferSize] != 0) std::abort();
        ProcessResponse(link, devices, transfer);
    }
    if (devices.count != 0) std::abort();
    return 0;
}
