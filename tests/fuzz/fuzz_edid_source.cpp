// Arbitrary input through the reader every EDID input takes (binary, hex text, a report, xrandr
// output), what it keeps of a larger EDID, and the hex text of what it read back through it.
#include <algorithm>
#include <string>
#include <vector>

#include "edid/EdidSource.h"
#include "fuzz_common.h"

using namespace tavo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    EdidSource source;
    std::string error;
    // the whole input, then the input as the first part of a longer one
    for (const std::size_t total : {std::size_t(0), size + 1}) {
        if (!ReadEdidBytes(data, size, total, source, error)) {
            fuzz::Check(!error.empty() && error.find('\n') == std::string::npos);
            continue;
        }
        if (source.form == EdidForm::HexText) {
            fuzz::Check(total == 0 && source.size >= 1 && source.size <= kEdidSize);
        } else if (source.form == EdidForm::Report) {
            // whole blocks, every byte kept past 256
            fuzz::Check(source.size % 128 == 0 && source.size >= 128 && source.size <= 32768);
            fuzz::Check(source.bytes.size() == (source.size > kEdidSize ? source.size : 0));
        } else if (source.form == EdidForm::Xrandr) {
            fuzz::Check(source.size >= 1);
            fuzz::Check(source.bytes.empty() || source.bytes.size() > kEdidSize);
        } else {
            fuzz::Check(source.size == (total == 0 ? size : total));
            fuzz::Check(source.image == ImageFromBytes(data, size));
            // every byte kept when all of it was read and it is more than the image
            const bool whole = total == 0 && size > kEdidSize && size <= 32768;
            fuzz::Check(whole ? source.bytes == std::vector<std::uint8_t>(data, data + size)
                              : source.bytes.empty());
        }
        if (!source.bytes.empty())
            fuzz::Check(std::equal(source.image.begin(), source.image.end(), source.bytes.begin()));
        const std::string text = EdidHexText(source.image);
        EdidSource back;
        fuzz::Check(ReadEdidBytes(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(),
                                  0, back, error));
        fuzz::Check(back.form == EdidForm::HexText && back.image == source.image);
    }
    return 0;
}
