#pragma once
// What a verified slot write decides without the link: how the bytes read back compare with the
// bytes sent, and the history of what slots held before they were overwritten (names, the index
// file, the limit). The Qt side (link/qt/SlotHistory, link/qt/SlotTransfer) reads and writes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "edid/EdidImage.h"

namespace tavo {

// ---- verification ------------------------------------------------------------------------------

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

// ---- history -----------------------------------------------------------------------------------

// Entries kept per device and slot; the oldest goes when one more is kept.
inline constexpr std::size_t kHistoryLimit = 100;
inline constexpr std::string_view kHistoryIndexName = "index";

// The folder name of a device: its VID, PID and product from the system descriptor, with every
// byte outside [A-Za-z0-9._-] as '_', at most 120 characters; "unknown" when all are empty. (The
// descriptor carries no serial number: two units of one product share their history.)
std::string DeviceIdentityKey(std::string_view vid, std::string_view pid, std::string_view product);

struct HistoryIndexEntry {
    std::string file; // "20250102T030405123Z.bin" (a plain name, no folder)
    std::string time; // "2025-01-02T03:04:05.123Z"
    friend bool operator==(const HistoryIndexEntry&, const HistoryIndexEntry&) = default;
};

// The index file: one "FILE<TAB>TIME" line per entry, oldest first. Lines that are malformed or
// name anything but a plain "*.bin" file are skipped.
std::vector<HistoryIndexEntry> ParseHistoryIndex(std::string_view text);
std::string FormatHistoryIndex(const std::vector<HistoryIndexEntry>& entries);
// The entry file name for an ISO time "2025-01-02T03:04:05.123Z": its digits, 'T' and 'Z'
// ("20250102T030405123Z.bin"); `serial` > 0 adds "-N" before ".bin" for a second entry in the
// same millisecond.
std::string HistoryFileName(std::string_view isoTime, unsigned serial = 0);
// Appends `entry` and drops the oldest lines beyond `limit`; returns the files that may go: those
// of the dropped lines that no kept line names (an index edited by hand may name a file twice).
std::vector<HistoryIndexEntry> AppendHistoryEntry(std::vector<HistoryIndexEntry>& entries,
                                                  HistoryIndexEntry entry,
                                                  std::size_t limit = kHistoryLimit);

} // namespace tavo
