#pragma once
// SHA-256 (FIPS 180-4), for the hashes a device backup's manifest lists for its files.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace tavo {

class Sha256 {
public:
    Sha256();
    void Update(const std::uint8_t* data, std::size_t size);
    // The digest; the object is spent afterwards.
    std::array<std::uint8_t, 32> Finish();

private:
    void Block(const std::uint8_t* block);
    std::array<std::uint32_t, 8> h_;
    std::array<std::uint8_t, 64> buffer_{};
    std::size_t buffered_ = 0;
    std::uint64_t length_ = 0; // bytes so far
};

// The digest of `size` bytes as 64 lower-case hex digits.
std::string Sha256Hex(const std::uint8_t* data, std::size_t size);

} // namespace tavo
