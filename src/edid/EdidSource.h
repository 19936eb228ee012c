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
//     current form), whole blocks of 128 bytes (at most 256 blocks); any other block is
//     refused with a reason;
//   - otherwise the output of `xrandr --verbose` (connector lines "NAME connected ..." with an
//     indented "EDID:" and lines of 32 hex digits under it): the one EDID it holds, read as hex
//     text; output with several is refused naming their connectors (ReadXrandrEdids gives all
//     of them, for a choice);
//   - anything else is binary, so that validation names what is wrong with it.
// Text may start with a byte-order mark (UTF-8, or UTF-16 of ASCII characters).
// Every form becomes the 256-byte image the way a file always did: the first 256 bytes, a short
// input padded with 0xFF; an EDID of more bytes (binary, a report, xrandr output) also keeps all
// of them (up to 32 KiB) for the readers of whole EDIDs (WholeEdid.h).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "edid/EdidImage.h"

namespace tavo {

// The most of a file the reader looks at: longer hex text is refused as too long, a longer
// binary file is read for its first 256 bytes.
inline constexpr std::size_t kEdidTextLimit = 64 * 1024;

enum class EdidForm { Binary, HexText, Report, Xrandr };

struct EdidSource {
    EdidImage image{};
    EdidForm form = EdidForm::Binary;
    // Binary: the input's size in bytes. Hex text, report, xrandr: the bytes the text spells out.
    std::size_t size = 0;
    std::string connector; // xrandr: the connector the EDID belongs to
    // Every byte when the input holds more than 256 (up to 32 KiB) and all of it was read;
    // empty otherwise.
    std::vector<std::uint8_t> bytes{};
};

// Every EDID of `xrandr --verbose` output, in the order of their connectors, each with its
// connector's name ("HDMI-1") and `size` the bytes its hex lines spell (the first 256 in the
// image, all of them in `bytes` when there are more).
// Empty for any other text. A connector without an EDID (a disconnected one) gives none.
std::vector<EdidSource> ReadXrandrEdids(std::string_view text);

// Reads `size` bytes of input. `total` is the whole input's size when `data` holds only its
// first kEdidTextLimit bytes or more (0: `size` is the whole input). False with a one-line reason
// in `error` for hex text of more than 256 bytes, hex text with an odd run of digits or a header
// line outside ASCII, a report whose hex block is not strict whole blocks, and xrandr
// output with more than one EDID ("xrandr output with 2 EDIDs (HDMI-1, DP-2): ...").
bool ReadEdidBytes(const std::uint8_t* data, std::size_t size, std::size_t total,
                   EdidSource& source, std::string& error);

// The file at `path` through ReadEdidBytes. False with a one-line reason starting with the path
// in `error` for a missing, unreadable, empty or directory path and for the refusals of
// ReadEdidBytes. Only a regular file is read (sysfs files are): a pipe, a device node or a socket
// named where an EDID file belongs is refused at once rather than waited on.
bool ReadEdidPath(const std::string& path, EdidSource& source, std::string& error);

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
