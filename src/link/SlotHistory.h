#pragma once
// The history of what slots held before a write replaced them, without the files: names, the
// index file, the limit. The Qt side (link/qt/SlotHistory) reads and writes the files.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "edid/EdidImage.h"

namespace tavo {

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
