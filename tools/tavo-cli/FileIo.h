#pragma once
// File access shared by the subcommands.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "Command.h"
#include "edid/EdidImage.h"
#include "workspace/analysis/AnalyzerSummary.h"

namespace tavo::cli {

// Reads an EDID file as the open dialogs do, binary or hex text (edid/EdidSource.h): the first
// 256 bytes, a short file padded with 0xFF. False with a one-line reason in `error` for a
// missing, unreadable, empty or directory path and for hex text of more than 256 bytes. An EDID
// that is neither 128 nor 256 bytes long is read all the same, with a note about it on stderr
// (longer: only the first 256 bytes count; shorter: the rest reads as FF).
// "display:CONNECTOR" reads the EDID of that connected display (workspace/sources/LocalDisplays.h),
// "preset:NAME" the ready-made EDID of that name (workspace/sources/Presets.h).
bool ReadEdidFile(const std::string& path, EdidImage& image, std::string& error);
// The same, with the EDID's own length in `size`: the bytes the file or the text holds, also
// past 256 (0 for a preset, whose image is read as a slot's is: see CheckImage); a longer binary
// file gets no note, as the caller reads it whole.
bool ReadEdidFile(const std::string& path, EdidImage& image, std::string& error, std::size_t& size);

// Every byte of an EDID file, however many blocks it has (edid/WholeEdid.h; up to 32 KiB): binary,
// hex text, a report or xrandr output, and "display:" (the connector's sysfs edid file). An EDID
// of 256 bytes or fewer and "preset:" read as ReadEdidFile reads them, as the 256-byte image; a
// larger one as it is. False with a one-line reason in `error`, also for a file of more than
// 32 KiB of EDID.
bool ReadWholeEdidFile(const std::string& path, std::vector<std::uint8_t>& bytes,
                       std::string& error);

// Every byte of a regular file or a "display:" that holds more than 256 bytes of EDID, binary,
// hex text, a report or xrandr output (edid/WholeEdid.h); false, printing nothing, for anything
// else, which ReadEdidFile then reads with its notes and reasons.
bool ReadLargeEdidFile(const std::string& path, std::vector<std::uint8_t>& bytes);

// The arguments of the file commands: "--json" anywhere, the rest file names.
struct FileArgs {
    bool json = false;
    std::vector<std::string> files;
};
FileArgs ParseFileArgs(const Args& args);

// Reads each file as ReadEdidFile does and hands it to `use`; an unreadable one is reported on
// stderr and skipped. kExitError when any was skipped, kExitOk otherwise.
int ForEachEdidFile(const std::vector<std::string>& files,
                    const std::function<void(const std::string&, const EdidImage&)>& use);

// Writes `size` bytes to `path` through a temporary file in the same directory and a rename,
// so the target is either the old file or the complete new one. A symbolic link is followed and
// its target replaced (the link stays); a directory, a device node, a pipe or a socket is refused.
// A replaced file keeps its permission bits; a read-only one is refused unless `force`. False
// with a reason in `error`.
bool WriteFileAtomically(const std::string& path, const std::uint8_t* data, std::size_t size,
                         std::string& error, bool force = false);

// A row's caption as the terminal shows it: "    EDID Header :".
std::string AnalysisCaption(std::string_view title);

// The rows as the analyzer window shows them, after a line with `file`: caption, then the value;
// the audio row's second line is indented to the value column.
void PrintAnalysis(std::ostream& out, std::string_view file, const AnalyzerSummary& summary);

} // namespace tavo::cli
