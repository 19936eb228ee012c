#include "edid/EdidImage.h"

#include <algorithm>

namespace tavo {
namespace {

std::uint8_t Sum(const EdidImage& image, std::size_t from, std::size_t to) {
    unsigned s = 0;
    for (std::size_t i = from; i < to; ++i)
        s += image[i];
    return static_cast<std::uint8_t>(s & 0xFF);
}

} // namespace

bool ValidateImage(const EdidImage& image, std::uint16_t& status) {
    status = static_cast<std::uint16_t>(status & ~kStatusValidationMask);
    // bytes 0 and 7 are 0x00, bytes 1..6 are 0xFF
    bool headerOk = image[0] == 0x00 && image[7] == 0x00;
    for (int i = 1; i <= 6; ++i)
        headerOk = headerOk && image[i] == 0xFF;
    if (!headerOk) {
        status |= kStatusBadHeader;
        return false;
    }
    if (Sum(image, 0, 128) != 0) {
        status |= kStatusBadChecksum0;
        return false;
    }
    if (image[126] > 1) {
        status |= kStatusTooManyBanks;
        return false;
    }
    if (image[126] == 1 && Sum(image, 128, 256) != 0) {
        status |= kStatusBadChecksum1;
        return false;
    }
    return true;
}

std::string_view ValidationMessage(std::uint16_t status) {
    if (status & kStatusBadHeader) return "Illegal Edid Header.";
    if (status & kStatusBadChecksum0) return "Illegal Edid CheckSum0.";
    if (status & kStatusBadChecksum1) return "Illegal Edid CheckSum1.";
    if (status & kStatusTooManyBanks) return "Edid Over Banks.";
    return {};
}

EdidImage ImageFromBytes(const std::uint8_t* data, std::size_t size) {
    EdidImage image;
    image.fill(0xFF);
    if (data != nullptr) std::copy_n(data, std::min(size, kEdidSize), image.begin());
    return image;
}

} // namespace tavo
