// displays: this computer's connected displays; hex: an EDID as hex text.
#include <algorithm>
#include <iostream>
#include <string>

#include "Command.h"
#include "FileIo.h"
#include "edid/EdidSource.h"
#include "workspace/AnalyzerSummary.h"
#include "workspace/LocalDisplays.h"

namespace tavo::cli {
namespace {

int Displays(const Args& args) {
    bool json = false;
    for (std::string_view a : args) {
        if (a != "--json") return UsageError("displays");
        json = true;
    }
    const std::string root = DrmRoot();
    const std::vector<LocalDisplay> displays = ListDisplays(root);
    if (displays.empty()) {
        PrintError("no display connector under " + root);
        return kExitOk;
    }
    std::size_t width = 0, statusWidth = 0;
    for (const LocalDisplay& d : displays) {
        width = std::max(width, d.connector.size());
        statusWidth = std::max(statusWidth, d.status.size());
    }
    for (const LocalDisplay& d : displays) {
        if (json) {
            std::cout << DisplayJson(d) << '\n';
            continue;
        }
        std::string line = d.connector + std::string(width - d.connector.size() + 2, ' ') +
                           d.status + std::string(statusWidth - d.status.size() + 2, ' ');
        line += d.hasEdid ? Latin1ToUtf8(d.manufacturer) + "  " + Latin1ToUtf8(d.monitorName)
                          : std::string("(no EDID)");
        std::cout << line << '\n';
    }
    return kExitOk;
}

int Hex(const Args& args) {
    if (args.size() != 1) return UsageError("hex");
    EdidImage image;
    std::string error;
    if (!ReadEdidFile(std::string(args[0]), image, error)) {
        PrintError(error);
        return kExitError;
    }
    std::cout << EdidHexText(image);
    return kExitOk;
}

const CommandRegistration displaysCommand{
    {"displays", "displays [--json]",
     "list this computer's display connectors (status, manufacturer, monitor name); "
     "display:CONNECTOR reads one's EDID wherever a FILE is taken",
     &Displays}};
const CommandRegistration hexCommand{
    {"hex", "hex FILE",
     "print the EDID of FILE as hex text, 16 bytes a line, that reads back as the same EDID",
     &Hex}};

} // namespace
} // namespace tavo::cli
