#include "workspace/sources/LocalDisplays.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "edid/EdidRecord.h"
#include "edid/JsonWriter.h"
#include "workspace/analysis/AnalyzerSummary.h"

namespace tavo {
namespace {

namespace fs = std::filesystem;

// "card0-HDMI-A-1": a card's name, a dash, the connector. The card folders themselves
// ("card0") and the render nodes have no dash.
bool IsConnectorName(const std::string& name) {
    if (name.rfind("card", 0) != 0) return false;
    const std::size_t dash = name.find('-');
    return dash != std::string::npos && dash > 4 && dash + 1 < name.size() &&
           std::all_of(name.begin() + 4, name.begin() + static_cast<long>(dash),
                       [](char c) { return c >= '0' && c <= '9'; });
}

std::vector<std::string> ConnectorNames(const std::string& root) {
    std::vector<std::string> names;
    std::error_code ec;
    fs::directory_iterator it(root, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (IsConnectorName(name) && fs::is_directory(it->path(), ec)) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// (a pipe or a device node in a display's folder is not read: it could hold the tool forever)
std::string FirstLine(const fs::path& file) {
    std::string line, error;
    if (!ReadRegularFile(file.string(), 4096, line, error)) return {};
    line = line.substr(0, line.find('\n'));
    while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
        line.pop_back();
    return line;
}

} // namespace

std::string DrmRoot() {
    const char* root = std::getenv("TAVO_DRM_ROOT");
    return root != nullptr && *root != '\0' ? root : "/sys/class/drm";
}

std::vector<LocalDisplay> ListDisplays(const std::string& root) {
    std::vector<LocalDisplay> displays;
    for (const std::string& name : ConnectorNames(root)) {
        LocalDisplay d;
        d.connector = name;
        d.status = FirstLine(fs::path(root) / name / "status");
        EdidSource source;
        std::string error;
        if (ReadEdidPath((fs::path(root) / name / "edid").string(), source, error)) {
            d.hasEdid = true;
            EdidRecord record;
            record.image = source.image;
            const AnalyzerSummary summary = AnalyseEdid(record);
            d.manufacturer = std::string(summary.Row(SummaryRow::ManufacturerName));
            d.monitorName = std::string(summary.Row(SummaryRow::MonitorName));
        }
        displays.push_back(std::move(d));
    }
    return displays;
}

bool ReadDisplayEdid(std::string_view connector, EdidSource& source, std::string& error,
                     const std::string& root) {
    const std::vector<std::string> names = ConnectorNames(root);
    // only a name found in the tree is ever joined to the path
    std::vector<std::string> matches;
    for (const std::string& name : names) {
        if (name == connector) {
            matches = {name};
            break;
        }
        const std::size_t dash = name.find('-');
        if (std::string_view(name).substr(dash + 1) == connector) matches.push_back(name);
    }
    const std::string label = std::string(kDisplayPrefix) + std::string(connector);
    if (matches.size() != 1) {
        std::string known;
        for (const std::string& name : names)
            known += (known.empty() ? "" : ", ") + name;
        error = label + (matches.empty() ? ": no such connector under " : ": ambiguous under ") +
                root + (known.empty() ? " (none there)" : " (connectors: " + known + ")");
        return false;
    }
    const fs::path edid = fs::path(root) / matches.front() / "edid";
    std::string readError;
    if (!ReadEdidPath(edid.string(), source, readError)) {
        std::error_code ec;
        if (fs::exists(edid, ec) && readError.find(": empty file") == std::string::npos) {
            error = label + ": " + readError;
        } else {
            const std::string status = FirstLine(fs::path(root) / matches.front() / "status");
            error = label + ": no EDID" + (status.empty() ? "" : " (" + status + ")");
        }
        return false;
    }
    return true;
}

std::string DisplayJson(const LocalDisplay& display) {
    JsonWriter json(JsonSpacing::Tight);
    json.BeginObject()
        .Key("connector")
        .Latin1(display.connector)
        .Key("status")
        .Latin1(display.status)
        .Key("manufacturer")
        .Latin1(display.manufacturer)
        .Key("monitor")
        .Latin1(display.monitorName);
    return json.EndObject().Text();
}

} // namespace tavo
