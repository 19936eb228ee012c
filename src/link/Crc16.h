#pragma once
// CRC-16/MCRF4XX and the hex letters of the line protocol.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tavo {

// CRC-16/MCRF4XX: polynomial 0x1021 bit-reflected (0x8408), input and output reflected, no final
// XOR. Callers pass 0xFFFF as the initial value. Check value: "123456789" -> 0x6F91.
std::uint16_t Uart_Crc16(std::uint16_t initial, const std::uint8_t* bytes, std::size_t count);
std::uint16_t Uart_Crc16(std::string_view text); // initial value 0xFFFF

// Two upper-case hex letters, high nibble first: 0xAB -> "AB", 0x0F -> "0F".
std::array<char, 2> Uart_ByteToHex(std::uint8_t byte);

// "0".."9" -> 0..9, "A".."F" -> 10..15; any other character gives its own character code.
std::uint8_t Uart_HexToNibble(char c);

// The CRC as it appears on the wire: four upper-case hex digits, most significant first.
std::string CrcText(std::uint16_t crc);

} // namespace tavo
