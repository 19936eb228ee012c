// Arbitrary bytes through the creator: an image loaded as the Open button loads a file, a run of
// page edits, the build and the encoder. Nothing may crash or touch memory outside its buffers,
// and a build that succeeds over a valid header always gives an image that validates.
#include <cstddef>
#include <cstdint>
#include <string>

#include "edid/EdidImage.h"
#include "workspace/creator/CreatorBuild.h"
#include "workspace/creator/CreatorLoad.h"
#include "workspace/creator/CreatorRebuild.h"
#include "workspace/creator/CreatorRules.h"

namespace {

using namespace tavo;
using namespace tavo::creator;

void FixChecksum(EdidImage& img, int bank) {
    unsigned s = 0;
    for (int i = bank * 128; i < bank * 128 + 127; ++i)
        s += img[i];
    img[bank * 128 + 127] = static_cast<std::uint8_t>(0u - s);
}

struct Reader {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t pos = 0;
    bool More() const { return pos < size; }
    std::uint8_t Next() { return pos < size ? data[pos++] : 0; }
};

void BuildAndCheck(const CreatorPage& page, EdidRecord& record) {
    if (!Build(page, record)) return;
    // the encoder writes both checksums and an extension count of 0 or 1; only the header,
    // which comes from the loaded image, can be wrong
    std::uint16_t status = 0;
    if (!ValidateImage(record.image, status) && !(status & kStatusBadHeader)) __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // byte 0 chooses whether the image is made valid first, so most runs get past validation
    const bool makeValid = (data[0] & 1) != 0;
    const std::size_t imageBytes = size - 1 < kEdidSize ? size - 1 : kEdidSize;
    EdidImage image = ImageFromBytes(data + 1, imageBytes);
    if (makeValid) {
        const std::uint8_t header[] = {0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0};
        for (int i = 0; i < 8; ++i)
            image[i] = header[i];
        image[126] &= 1;
        FixChecksum(image, 0);
        FixChecksum(image, 1);
    }

    EdidRecord record;
    CreatorPage page;
    OpenImage(record, page, image, {2026, 12, 7});

    // the rest: edits, each an operation byte, a control byte and, for texts, a length and bytes
    Reader edits{data + 1 + imageBytes, size - 1 - imageBytes};
    const auto& checks = CreatorPage::CheckNames();
    const auto& texts = CreatorPage::EditNames();
    while (edits.More()) {
        const std::uint8_t op = edits.Next();
        const std::uint8_t which = edits.Next();
        if (op & 1) {
            ChangeCheck(page, record.status, checks[which % checks.size()], (op & 2) != 0);
        } else {
            std::string text;
            for (int n = edits.Next() % 24; n > 0 && edits.More(); --n)
                text.push_back(static_cast<char>(edits.Next()));
            ChangeText(page, record.status, texts[which % texts.size()], text);
        }
        if (op & 0x80) BuildAndCheck(page, record); // a save in the middle of the edits
    }
    BuildAndCheck(page, record);

    EdidImage out{};
    (void)Rebuild(image, {2026, 12, 7}, out);
    return 0;
}
