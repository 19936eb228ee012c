// The block map and the decoded fields of arbitrary bytes, as `tavo-cli blocks` and the hex view
// see them: every byte in one part, nothing read outside the image. And the semantic diff of
// two such images: empty exactly when they are equal.
#include "edid/BlockMap.h"
#include "edid/EdidDiff.h"
#include "fuzz_common.h"

#include <algorithm>

using namespace tavo;

namespace {

void Map(const EdidImage& image) {
    const BlockMap map = MapBlocks(image);
    int at = 0;
    for (const auto& part : map) {
        fuzz::Check(part.offset == at && part.length > 0 && part.end() <= 256);
        fuzz::Check(part.IsDataBlock() == (part.tag >= 0));
        fuzz::Check(part.extendedTag < 0 || part.tag == 7);
        for (const auto& field : PartFields(image, part))
            fuzz::Check(!field.name.empty());
        at = part.end();
    }
    fuzz::Check(at == 256);
    const std::string json = BlockMapJson("fuzz.bin", map);
    fuzz::Check(json.find('\n') == std::string::npos);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    EdidImage image = ImageFromBytes(data, size);
    Map(image);
    // a CTA extension whatever the input says, so the data block walk always runs
    const EdidImage original = image;
    image[126] = 1;
    image[128] = 2;
    const EdidImage repaired = fuzz::Repaired(image);
    Map(repaired);
    const auto differences = DiffImages(original, repaired);
    fuzz::Check(differences.empty() == (original == repaired));
    fuzz::Check(DifferenceTexts(differences).size() <= differences.size());
    // the second half against the first: unrelated blocks
    EdidImage swapped;
    std::copy(repaired.begin() + 128, repaired.end(), swapped.begin());
    std::copy(repaired.begin(), repaired.begin() + 128, swapped.begin() + 128);
    fuzz::Check(DiffImages(repaired, swapped).empty() == (repaired == swapped));
    return 0;
}
