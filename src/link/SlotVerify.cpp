#include "link/SlotVerify.h"

namespace tavo {

ImageDifference CompareImages(const EdidImage& sent, const EdidImage& readBack) {
    ImageDifference d;
    for (std::size_t i = 0; i < sent.size(); ++i) {
        if (sent[i] == readBack[i]) continue;
        if (d.count == 0) d.firstOffset = static_cast<int>(i);
        ++d.count;
    }
    return d;
}

std::string DifferenceText(const ImageDifference& d) {
    if (d.equal()) return "all " + std::to_string(kEdidSize) + " bytes match";
    static const char* const kHex = "0123456789ABCDEF";
    const auto at = static_cast<unsigned>(d.firstOffset);
    return std::to_string(d.count) + " of " + std::to_string(kEdidSize) +
           " bytes differ, the first at offset " + std::to_string(at) + " (0x" +
           kHex[(at >> 4) & 15] + kHex[at & 15] + ")";
}

void JudgeReadBack(VerifiedWrite& v, const EdidImage& sent, const SlotRead& read) {
    v.verifyRun = true;
    v.readBack = read.complete();
    v.difference = v.readBack ? CompareImages(sent, read.image) : ImageDifference{};
    v.verified = v.readBack && v.difference.equal();
}

std::string_view WriteStatusText(const VerifiedWrite& v) {
    return v.ok() ? kWriteOkText : v.historyRefused ? kWriteNothingText : kWriteFailedText;
}

std::string WriteFailureText(const VerifiedWrite& v, std::string_view slotName) {
    if (v.ok()) return {};
    const std::string failed = std::string(kWriteFailedText) + ' ';
    const std::string name(slotName);
    if (v.historyRefused)
        return "the EDID in " + name + " cannot be kept in the history: " + v.historyError +
               "; nothing sent";
    if (v.lost) return failed + "The device was lost during the write into " + name + ".";
    if (!v.verifyRun) return failed + "The device refused the write into " + name + ".";
    if (!v.readBack) return failed + name + " could not be read back to verify the write.";
    return failed + name + ": " + DifferenceText(v.difference) +
           (v.secondRead ? " (read twice)." : ".");
}

} // namespace tavo
