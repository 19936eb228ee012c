#pragma once
// The verdict of a verified slot write, without the link: what a read, a write and a verified
// write found (link/qt/SlotTransfer runs them), how the bytes read back compare with the bytes
// sent, and what the window and the command line say about it.
#include <array>
#include <functional>
#include <string>
#include <string_view>

#include "edid/EdidImage.h"
#include "link/DeviceCommand.h"

namespace tavo {

// A device may need a moment to commit a slot: a read-back that differs is read once more after
// this wait before the write counts as failed.
inline constexpr unsigned kVerifySecondReadMs = 500;

struct ImageDifference {
    unsigned count = 0;   // bytes that differ
    int firstOffset = -1; // offset of the first, -1 when equal
    bool equal() const { return count == 0; }
};
ImageDifference CompareImages(const EdidImage& sent, const EdidImage& readBack);
// "3 of 256 bytes differ, the first at offset 64 (0x40)"
std::string DifferenceText(const ImageDifference& d);

struct SlotRead {
    std::array<bool, 4> arrived{}; // chunk i answered with a good CRC during its own GET
    EdidImage image{};             // the transfer image after the four GETs
    bool lost = false;             // the port closed on the way
    // another command went out in the middle (another slot may have been selected): the chunks
    // may not belong together
    bool interrupted = false;
    bool complete() const {
        return !lost && !interrupted && arrived[0] && arrived[1] && arrived[2] && arrived[3];
    }
};

struct SlotWrite {
    std::array<bool, 4> acknowledged{}; // chunk i answered "OK"
    bool refused = false;               // a chunk was answered "NG"
    bool lost = false;                  // the port closed on the way
    bool interrupted = false;           // another command went out in the middle
    bool acknowledgedAll() const {
        return !lost && !refused && !interrupted && acknowledged[0] && acknowledged[1] &&
               acknowledged[2] && acknowledged[3];
    }
};

struct WriteOptions {
    bool verify = true;  // read the slot back and compare
    bool history = true; // read the slot first and keep it in the history (when one is set)
    // Asked with the reason when the slot's former EDID cannot be kept in the history: true
    // writes all the same. Unset: the write stops there and nothing is sent.
    std::function<bool(SlotSelector slot, const std::string& reason)> writeWithoutHistory;
};

struct VerifiedWrite {
    SlotWrite write;
    bool historyKept = false;   // the slot's former EDID is in the history
    // the former EDID could not be kept and the write stopped before anything was sent
    bool historyRefused = false;
    std::string historyError;   // why the former EDID could not be kept (also when written anyway)
    bool verifyRun = false;     // the slot was read back
    bool readBack = false;      // the last read-back was complete
    bool secondRead = false;    // the first read-back differed: read once more after a wait
    ImageDifference difference; // between the image and the last read-back
    bool verified = false;      // the device holds the image
    bool lost = false;          // the port closed on the way
    // Without verification (WriteOptions::verify false) only a lost link or a refusal counts.
    bool ok() const {
        if (lost || historyRefused) return false;
        return verifyRun ? verified : !write.refused;
    }
};

// The verdict of the read-backs of a verified write: the last one's comparison with `sent`.
// `readBack` false (an incomplete read) leaves the difference empty and the write unverified.
void JudgeReadBack(VerifiedWrite& v, const EdidImage& sent, const SlotRead& read);

// What a status line shows after the write: "Ok." or "Upload Edid Failed."
inline constexpr std::string_view kWriteOkText = "Ok.";
inline constexpr std::string_view kWriteFailedText = "Upload Edid Failed.";
inline constexpr std::string_view kWriteNothingText = "Nothing Written."; // the history refused
std::string_view WriteStatusText(const VerifiedWrite& v);

// Why the write into the slot named `slotName` failed, one line starting with
// "Upload Edid Failed." (or, when the former EDID could not be kept, saying that nothing was
// sent); empty when it succeeded.
std::string WriteFailureText(const VerifiedWrite& v, std::string_view slotName);

} // namespace tavo
