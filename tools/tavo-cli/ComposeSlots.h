#pragma once
// The `slot:NAME` sources of `tavo-cli compose`: EDIDs read from the connected device. The device
// commands set the reader when the tool is built with them (device/ComposeSlots.cpp); without
// them the front program hands the command to the full one.
#include <string>
#include <vector>

#include "edid/EdidImage.h"

namespace tavo::cli {

inline constexpr std::string_view kSlotPrefix = "slot:";

// Reads each slot ("output1", "input2", "user3") of the device on `port` (empty: search the
// ports as "Search" does) into `images`, in order. False with a reason on stderr.
using SlotReader = bool (*)(const std::string& port, bool verbose,
                            const std::vector<std::string>& slots, std::vector<EdidImage>& images);
SlotReader& ComposeSlotReader();

} // namespace tavo::cli
