#pragma once
// The last guard of the terminal: whatever tavo-cli prints on standard output and standard error
// passes edid/VisibleText.h's VisibleText line by line (line breaks and tabs kept), so that a
// control character from a file or a device (an escape sequence in an EDID's name, a firmware
// image's product field, the device's description) is shown as "\x1B" and never acted on.
#include <iosfwd>
#include <string_view>

namespace tavo::cli {

// Puts the guard on std::cout and std::cerr for the rest of the program.
void GuardStandardStreams();

// Writes `text` through the guard untouched: the tool's own control characters (the carriage
// return that redraws a progress line). Never for text from a file or a device.
void WriteRaw(std::ostream& out, std::string_view text);

} // namespace tavo::cli
