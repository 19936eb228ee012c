#include "link/SlotHistory.h"

#include <algorithm>

namespace tavo {

namespace {
bool PlainChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '_' || c == '-';
}
bool PlainBinName(std::string_view name) {
    if (name.size() < 5 || name.size() > 64 || name.substr(name.size() - 4) != ".bin") return false;
    if (name[0] == '.') return false;
    for (char c : name)
        if (!PlainChar(c)) return false;
    return true;
}
} // namespace

std::string DeviceIdentityKey(std::string_view vid, std::string_view pid,
                              std::string_view product) {
    if (vid.empty() && pid.empty() && product.empty()) return "unknown";
    std::string key;
    for (std::string_view part : {vid, pid, product}) {
        if (!key.empty()) key += '-';
        for (char c : part)
            key += PlainChar(c) ? c : '_';
    }
    if (key.size() > 120) key.resize(120);
    if (key[0] == '.') key[0] = '_'; // never "." or ".." or a hidden folder
    return key;
}

std::vector<HistoryIndexEntry> ParseHistoryIndex(std::string_view text) {
    std::vector<HistoryIndexEntry> entries;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const std::size_t tab = line.find('\t');
        if (tab == std::string_view::npos) continue;
        const std::string_view file = line.substr(0, tab), time = line.substr(tab + 1);
        if (!PlainBinName(file) || time.empty() || time.size() > 40 ||
            time.find('\t') != std::string_view::npos)
            continue;
        entries.push_back({std::string(file), std::string(time)});
    }
    return entries;
}

std::string FormatHistoryIndex(const std::vector<HistoryIndexEntry>& entries) {
    std::string text;
    for (const HistoryIndexEntry& e : entries)
        text += e.file + '\t' + e.time + '\n';
    return text;
}

std::string HistoryFileName(std::string_view isoTime, unsigned serial) {
    std::string name;
    for (char c : isoTime)
        if ((c >= '0' && c <= '9') || c == 'T' || c == 'Z') name += c;
    if (name.empty()) name = "entry";
    if (serial > 0) name += '-' + std::to_string(serial);
    return name + ".bin";
}

std::vector<HistoryIndexEntry> AppendHistoryEntry(std::vector<HistoryIndexEntry>& entries,
                                                  HistoryIndexEntry entry, std::size_t limit) {
    entries.push_back(std::move(entry));
    std::vector<HistoryIndexEntry> dropped;
    if (entries.size() > limit) {
        const auto cut = entries.begin() + static_cast<std::ptrdiff_t>(entries.size() - limit);
        for (auto it = entries.begin(); it != cut; ++it) {
            const auto named = [&](const HistoryIndexEntry& e) { return e.file == it->file; };
            if (std::none_of(cut, entries.end(), named) &&
                std::none_of(dropped.begin(), dropped.end(), named))
                dropped.push_back(*it);
        }
        entries.erase(entries.begin(), cut);
    }
    return dropped;
}

} // namespace tavo
