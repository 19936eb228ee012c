// The walk, block map, fields, fit and diff of arbitrary bytes as an EDID of any size: every
// byte in one part, nothing read outside the bytes, a fitted image made only of the input's base
// block and first CTA-861 block, a diff empty exactly when the inputs are equal.
#include "edid/BlockMap.h"
#include "edid/EdidBlocks.h"
#include "edid/Fit.h"
#include "edid/WholeDiff.h"
#include "fuzz_common.h"

#include <algorithm>
#include <cstring>
#include <vector>

using namespace tavo;

namespace {

void Map(std::span<const std::uint8_t> bytes) {
    const BlockMap map = MapEdid(bytes);
    int at = 0;
    for (const auto& part : map) {
        fuzz::Check(part.offset == at && part.length > 0);
        for (const auto& field : PartFields(bytes, part))
            fuzz::Check(!field.name.empty());
        at = part.end();
    }
    fuzz::Check(at == static_cast<int>(std::min(bytes.size(), kMaxEdidBytes)));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> bytes(data, data + size);
    Map(bytes);
    // a header and a CTA-861 or DisplayID tag on every block, so the walks always run
    if (bytes.size() >= 128) {
        const std::uint8_t header[] = {0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0};
        std::memcpy(bytes.data(), header, sizeof header);
        for (std::size_t b = 128; b < bytes.size(); b += 128)
            bytes[b] = (b / 128) % 2 ? 0x02 : 0x70;
        Map(bytes);
        const FitOutcome fit = FitEdid(bytes);
        if (fit.result == FitResult::Fitted) {
            fuzz::Check(std::equal(fit.image.begin(), fit.image.begin() + 126, bytes.begin()));
            fuzz::Check(fit.image[126] == 1 && fit.image[128] == 0x02);
            const std::vector<std::uint8_t> fitted(fit.image.begin(), fit.image.end());
            fuzz::Check(!DiffEdids(bytes, fitted).empty());
        }
    }
    const std::vector<std::uint8_t> original(data, data + size);
    fuzz::Check(DiffEdids(original, bytes).empty() == (original == bytes));
    return 0;
}
