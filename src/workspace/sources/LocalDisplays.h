#pragma once
// The displays connected to this computer, from the kernel's DRM tree: one folder per connector,
// /sys/class/drm/<card>-<connector>/, with a `status` file ("connected", "disconnected",
// "unknown") and an `edid` file (empty without a display). Readable without privileges.
#include <string>
#include <string_view>
#include <vector>

#include "edid/EdidSource.h"

namespace tavo {

// "display:card0-HDMI-A-1" names the EDID of that connector wherever an EDID file is taken.
inline constexpr std::string_view kDisplayPrefix = "display:";

struct LocalDisplay {
    std::string connector;    // "card0-HDMI-A-1"
    std::string status;       // the status file's first line
    bool hasEdid = false;     // the edid file holds an EDID (valid or not)
    std::string manufacturer; // the analyzer's rows for that EDID (Latin-1), empty without one
    std::string monitorName;
    bool connected() const { return status == "connected"; }
};

// $TAVO_DRM_ROOT when set and not empty, else /sys/class/drm.
std::string DrmRoot();

// Every connector under `root`, by name. Empty when the folder is missing or unreadable.
std::vector<LocalDisplay> ListDisplays(const std::string& root = DrmRoot());

// The EDID of `connector` ("card0-HDMI-A-1", or "HDMI-A-1" when one card alone has it) through
// the EDID reader. False with a one-line reason in `error` when there is no such connector under
// `root` or it has no EDID.
bool ReadDisplayEdid(std::string_view connector, EdidSource& source, std::string& error,
                     const std::string& root = DrmRoot());

// One display as a JSON object on one line: connector, status, manufacturer, monitor.
std::string DisplayJson(const LocalDisplay& display);

} // namespace tavo
