// Arbitrary input through the reader every EDID input takes (binary or hex text), and the hex
// text of what it read back through it.
#include <string>

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
            fuzz::Check(source.size == kEdidSize / 2 || source.size == kEdidSize);
        } else {
            fuzz::Check(source.size == (total == 0 ? size : total));
            fuzz::Check(source.image == ImageFromBytes(data, size));
        }
        const std::string text = EdidHexText(source.image);
        EdidSource back;
        fuzz::Check(ReadEdidBytes(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(),
                                  0, back, error));
        fuzz::Check(back.form == EdidForm::HexText && back.image == source.image);
    }
    return 0;
}
