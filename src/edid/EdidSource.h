#pragma once
// The one reader of every EDID input (the open dialogs, tavo-cli's file arguments, a display's
// EDID file): binary, hex text or a report, decided from the bytes themselves.
//
//   - bytes that start with the EDID header (00 FF FF FF FF FF FF 00) are binary;
//   - otherwise text made only of hex digit pairs (each run of digits optionally after "0x"),
//     separators (spaces, tabs, line breaks, commas, colons) and header lines ("EDID:",
//     "edid-decode (hex):": a line of other text that ends with a colon) is hex text of at most
//     256 bytes, as pasted from a ticket or printed by `xrandr --verbose`. Such text with a run
//     of an odd number of digits, or with a header line of characters outside ASCII, is refused
//     with a reason naming the line;
//   - otherwise text with a line ending in "(hex):" is a report (a whole edid-decode report, or
//     an EDID database file: "EDID (hex):", the hex, then the analysis): its first hex block
//     after that line is read up to the next paragraph that is not hex. The block is strict:
//     every token two hex digits, or every line one unspaced run of byte pairs (the database's
//     current form), 128 or 256 bytes; any other block is refused with a reason;
//   - anything else is binary, so that validation names what is wrong with it.
// Text may start with a byte-order mark (UTF-8, or UTF-16 of ASCII characters).
// Every form becomes the 256-byte image the way a file always did: the first 256 bytes, a short
// input padded with 0xFF.
#include <cstddef>
#include <cstdint>
#include <string>

#include "edid/EdidImage.h"

namespace tavo {

// The most of a file the reader looks at: longer hex text is refused as too long, a longer
// binary file is read for its first 256 bytes.
inline constexpr std::size_t kEdidTextLimit = 64 * 1024;

enum class EdidForm { Binary, HexText, Report };

struct EdidSource {
    EdidImage image{};
    EdidForm form = EdidForm::Binary;
    // Binary: the input's size in bytes. Hex text, report: the bytes the text spells out.
    std::size_t size = 0;
};

// Reads `size` bytes of input. `total` is the whole input's size when `data` holds only its
// first kEdidTextLimit bytes or more (0: `size` is the whole input). False with a one-line reason
// in `error` for hex text of more than 256 bytes, hex text with an odd run of digits or a header
// line outside ASCII, and a report whose hex block is not a strict 128 or 256 bytes.
bool ReadEdidBytes(const std::uint8_t* data, std::size_t size, std::size_t total,
                   EdidSource& source, std::string& error);

// The file at `path` through ReadEdidBytes. False with a one-line reason starting with the path
// in `error` for a missing, unreadable, empty or directory path and for the refusals of
// ReadEdidBytes. Reads to the end of the file, so files that report no size (sysfs, pipes) read
// whole. `regularOnly`: anything but a regular file (a pipe, a device node) is refused without
// waiting for it, for paths the tool finds by itself rather than paths an operator names.
bool ReadEdidPath(const std::string& path, EdidSource& source, std::string& error,
                  bool regularOnly = false);

// Up to `limit` + 1 bytes of the regular file at `path` into `bytes` (one past the limit tells a
// longer file). The path is opened without blocking and refused unless it is a regular file: a
// pipe, a device node or a socket where a file should be never holds the tool. False with a
// one-line reason starting with the path in `error`.
bool ReadRegularFile(const std::string& path, std::size_t limit, std::string& bytes,
                     std::string& error);

// The image as hex text, 16 lower-case byte pairs a line: the base block alone when the rest of
// the image is all 0xFF (it reads back padded with 0xFF), else all 256 bytes. Reads back through
// ReadEdidBytes to the same image.
std::string EdidHexText(const EdidImage& image);

} // namespace tavo
