#include "link/Crc16.h"

#include <cstdio>

namespace tavo {
namespace {

constexpr std::array<std::uint16_t, 256> MakeTable() {
    std::array<std::uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        std::uint16_t crc = static_cast<std::uint16_t>(i);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1u) ? static_cast<std::uint16_t>((crc >> 1) ^ 0x8408u)
                             : static_cast<std::uint16_t>(crc >> 1);
        table[i] = crc;
    }
    return table;
}

constexpr std::array<std::uint16_t, 256> kTable = MakeTable();

} // namespace

std::uint16_t Uart_Crc16(std::uint16_t initial, const std::uint8_t* bytes, std::size_t count) {
    std::uint16_t crc = initial;
    for (std::size_t i = 0; i < count; ++i)
        crc = static_cast<std::uint16_t>(kTable[(crc ^ bytes[i]) & 0xFFu] ^ (crc >> 8));
    return crc;
}

std::uint16_t Uart_Crc16(std::string_view text) {
    return Uart_Crc16(0xFFFF, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

std::array<char, 2> Uart_ByteToHex(std::uint8_t byte) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    return {kDigits[byte >> 4], kDigits[byte & 0x0F]};
}

std::uint8_t Uart_HexToNibble(char c) {
    if (c >= '0' && c <= '9') return static_cast<std::uint8_t>(c - '0');
    if (c >= 'A' && c <= 'F') return static_cast<std::uint8_t>(c - 'A' + 10);
    return static_cast<std::uint8_t>(c);
}

std::string CrcText(std::uint16_t crc) {
    char buf[5];
    std::snprintf(buf, sizeof buf, "%04X", static_cast<unsigned>(crc));
    return std::string(buf, 4);
}

} // namespace tavo
