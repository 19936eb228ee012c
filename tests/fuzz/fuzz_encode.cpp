// Decode arbitrary bytes, change the record with the bytes after the first 256, and encode:
// the encoder either refuses ("Edid Over Size.", record untouched) or writes an image whose
// checksums and data block collection are sound.
#include <cstring>

#include "edid/Decoder.h"
#include "edid/Encoder.h"
#include "fuzz_common.h"

using namespace tavo;

namespace {

// Feeds record fields from the input bytes after the image.
struct Extra {
    const std::uint8_t* p;
    std::size_t n;
    std::uint8_t Next() {
        if (n == 0) return 0;
        --n;
        return *p++;
    }
};

void Edit(EdidRecord& r, Extra& x) {
    if (x.n == 0) return;
    r.formatFlags = static_cast<std::uint16_t>(x.Next() | (x.Next() << 8));
    for (auto& v : r.hdmiVics)
        v = x.Next();
    r.threeDLength = x.Next();
    r.threeDFlags = x.Next();
    r.deepColor = x.Next();
    r.yuv420DeepColor = x.Next();
    r.colorimetry = x.Next();
    r.videoCapability = x.Next();
    r.hdrEotfs = x.Next();
    for (auto& v : r.hdrLuminance)
        v = x.Next();
    r.speakerAllocation = x.Next();
    for (auto& v : r.yuv420VideoCodes)
        v = x.Next();
    for (auto& v : r.videoCodes)
        v = x.Next();
    for (auto& d : r.audioDescriptors)
        for (auto& v : d)
            v = x.Next();
    for (auto& c : r.monitorName)
        c = static_cast<char>(x.Next());
    for (auto& c : r.manufacturer)
        c = static_cast<char>(x.Next());
    r.year = x.Next();
}

void EncodeOnce(const EdidImage& image, Extra x) {
    EdidRecord r;
    Decode(r, image);
    Edit(r, x);
    EdidRecord before;
    std::memcpy(static_cast<void*>(&before), &r, sizeof r);
    const EncodeResult res = Encode(r);
    if (!res) {
        fuzz::Check(res.message == kEncodeOverSize);
        fuzz::Check(std::memcmp(static_cast<const void*>(&before), &r, sizeof r) == 0);
        return;
    }
    // Checksums and extension count are always right; the header is the template's.
    std::uint16_t status = 0;
    const std::uint8_t header[] = {0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0};
    const bool headerOk = std::memcmp(r.image.data(), header, 8) == 0;
    fuzz::Check(ValidateImage(r.image, status) || (!headerOk && (status & kStatusBadHeader)));
    if (r.formatFlags & kFormatNoExtension) {
        for (int i = 128; i < 256; ++i)
            fuzz::Check(r.image[i] == 0xFF);
        return;
    }
    // The data block collection ends exactly at byte 130.
    const int end = 128 + r.image[130];
    fuzz::Check(r.image[130] >= 4 && r.image[130] <= 127);
    int p = 132;
    while (p < end)
        p += (r.image[p] & 0x1F) + 1;
    fuzz::Check(p == end);
    // And it decodes.
    EdidRecord again;
    Decode(again, r.image);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const EdidImage image = ImageFromBytes(data, size);
    const Extra extra{size > kEdidSize ? data + kEdidSize : nullptr,
                      size > kEdidSize ? size - kEdidSize : 0};
    EncodeOnce(image, extra);
    EncodeOnce(fuzz::Repaired(image), extra);
    return 0;
}
