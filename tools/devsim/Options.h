#pragma once
// The command line of tavo-devsim.
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Device.h"
#include "Faults.h"

namespace tavo::devsim {

struct Options {
    DeviceConfig device;
    std::vector<std::pair<SlotSelector, std::string>> slotFiles; // --slot NAME=FILE, in order
    std::string link;                                            // --link PATH
    std::string log;                                             // --log FILE
    std::string stateDir;                                        // --state-dir DIR
    std::string fwOut;                                           // --fw-out FILE
    std::vector<FaultRule> faults;
    unsigned hangupAfter = 0;  // 0: never
    unsigned delayMs = 0;      // --delay-ms: every answer this much later
    unsigned restartMs = 0;    // --fw-restart: silent this long after FW_END, then normal mode
    unsigned net = 0;          // --net N: simulated networked devices
    bool netOnly = false;      // --net-only: no terminal, only the network side
    bool allowNetwork = false; // --allow-network: also outside an isolated namespace
    bool help = false;
};

// Parses the arguments after the program name. On failure returns nullopt with a one-line reason.
std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& error);

// Reads the --slot files into options.device.slots (256 bytes each, a short file padded with
// 0xFF). False with a reason when a file cannot be read.
bool LoadSlotFiles(Options& options, std::string& error);

std::string_view HelpText();

} // namespace tavo::devsim
