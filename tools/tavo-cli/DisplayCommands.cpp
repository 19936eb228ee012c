// displays: this computer's connected displays; hex: an EDID as hex text.
#include <algorithm>
#include <iostream>
#include <string>

#include "Command.h"
#include "FileIo.h"
#include "edid/EdidSource.h"
#include "workspace/analysis/AnalyzerSummary.h"
#include "workspace/sources/LocalDisplays.h"

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
    std::vector<std::uint8_t> bytes;
    std::string error;
    if (!ReadWholeEdidFile(std::string(args[0]), bytes, error)) {
        PrintError(error);
        return kExitError;
    }
    if (bytes.size() == kEdidSize) {
        EdidImage image;
        std::copy(bytes.begin(), bytes.end(), image.begin());
        std::cout << EdidHexText(image);
        return kExitOk;
    }
    // a larger EDID: every block, in the same form
    constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 3);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        text.push_back(kDigits[bytes[i] >> 4]);
        text.push_back(kDigits[bytes[i] & 0x0F]);
        text.push_back(i % 16 == 15 || i + 1 == bytes.size() ? '\n' : ' ');
    }
    std::cout << text;
    return kExitOk;
}

const CommandRegistration displaysCommand{
    {"displays", "displays [--json]",
     "list this computer's display connectors (status, manufacturer, monitor name); "
     "display:CONNECTOR reads one's EDID wherever a FILE is taken",
     &Displays}};
const CommandRegistration hexCommand{
    {"hex", "hex FILE",
     "print the EDID of FILE (every block) as hex text, 16 bytes a line, that reads back as the "
     "same EDID",
     &Hex}};

} // namespace
} // namespace tavo::cli
