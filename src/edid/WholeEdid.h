#pragma once
// Reading every byte of an EDID of any size (up to 32 KiB, EdidBlocks.h), where EdidSource.h's
// reader gives the 256-byte image a slot holds.
#include <cstdint>
#include <string>
#include <vector>

#include "edid/EdidSource.h"

namespace tavo {

// Every byte of the input: binary as it is, hex text of any number of bytes (the forms
// EdidSource.h reads; longer than 256 bytes: lines of hex digit pairs, optionally after "0x",
// separated by spaces, tabs, commas or colons, and header lines ending in a colon; whole blocks
// of 128 bytes only), a report's hex block or xrandr output of any number of whole blocks. Input
// past 32 KiB of EDID is refused. False with a
// one-line reason in `error`.
bool ReadWholeEdidBytes(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>& out,
                        EdidForm& form, std::string& error);

// The file at `path` through ReadWholeEdidBytes (at most 64 KiB of it are read: hex text of
// 32 KiB takes more than that and is refused). False with a reason starting with the path.
bool ReadWholeEdidPath(const std::string& path, std::vector<std::uint8_t>& out, EdidForm& form,
                       std::string& error);

} // namespace tavo
