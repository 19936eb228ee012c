// The repairs of arbitrary bytes, every named rule with the defaults: nothing read or written
// outside the EDID, the size kept, every block's checksum sound afterwards, and a second repair
// changes nothing.
#include <algorithm>
#include <string>
#include <vector>

#include "edid/Repair.h"
#include "fuzz_common.h"

using namespace tavo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> bytes(data, data + std::min<std::size_t>(size, 512));
    // a CTA extension in the second block whatever the input says, so the collection walks run
    if (bytes.size() >= 256) {
        bytes[128] = 2;
        bytes[129] = 3;
    }
    std::vector<std::string> all;
    for (const auto& rule : RepairRuleList())
        all.emplace_back(rule.id);
    const RepairResult r = RepairEdid(bytes, all);
    fuzz::Check(r.bytes.size() == bytes.size());
    fuzz::Check(r.changed() == (r.bytes != bytes));
    for (std::size_t b = 0; r.changed() && b + 128 <= r.bytes.size(); b += 128) {
        // an erased block (all 0x00 or all 0xFF but its last byte) is no block to mend
        const auto first = r.bytes.begin() + std::ptrdiff_t(b), last = first + 127;
        if (b > 0 && (std::all_of(first, last, [](auto v) { return v == 0x00; }) ||
                      std::all_of(first, last, [](auto v) { return v == 0xFF; })))
            continue;
        unsigned sum = 0;
        for (std::size_t i = b; i < b + 128; ++i)
            sum += r.bytes[i];
        fuzz::Check((sum & 0xFF) == 0);
    }
    for (const auto& line : RepairChangeTexts(r))
        fuzz::Check(!line.empty());
    fuzz::Check(!RepairEdid(r.bytes, all).changed());
    return 0;
}
