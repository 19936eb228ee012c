#include "Faults.h"

#include <cctype>

#include "CommandLine.h"
#include "link/DeviceCommand.h"
#include "link/Response.h"

namespace tavo::devsim {
namespace {

constexpr struct {
    std::string_view name;
    FaultKind kind;
} kKinds[] = {
    {"drop", FaultKind::Drop},   {"badcrc", FaultKind::BadCrc}, {"lowercrc", FaultKind::LowerCrc},
    {"split", FaultKind::Split}, {"late", FaultKind::Late},     {"flood", FaultKind::Flood},
    {"ng", FaultKind::Ng}};

// The key a bare number stands for.
std::string_view MainKey(FaultKind kind) {
    switch (kind) {
    case FaultKind::Split:
    case FaultKind::Late:
        return "ms";
    case FaultKind::Flood:
        return "bytes";
    default:
        return "count";
    }
}

std::string_view NextPart(std::string_view& rest, char sep) {
    const std::size_t at = rest.find(sep);
    const std::string_view part = rest.substr(0, at);
    rest = at == std::string_view::npos ? std::string_view{} : rest.substr(at + 1);
    return part;
}

} // namespace

std::string_view FaultKindName(FaultKind kind) {
    for (const auto& k : kKinds)
        if (k.kind == kind) return k.name;
    return "?";
}

std::optional<FaultRule> ParseFaultRule(std::string_view text, std::string& error) {
    std::string_view rest = text;
    const std::string_view kindName = NextPart(rest, ':');
    FaultRule rule;
    bool known = false;
    for (const auto& k : kKinds)
        if (k.name == kindName) {
            rule.kind = k.kind;
            known = true;
        }
    if (!known) {
        error = "unknown fault kind '" + std::string(kindName) + "'";
        return std::nullopt;
    }
    const std::string_view cmd = NextPart(rest, ':');
    if (cmd == "*" || cmd.empty()) {
        rule.command = kAnyCommand;
    } else {
        rule.command = -2;
        for (std::size_t i = 0; i < kCommandNames.size(); ++i)
            if (kCommandNames[i] == cmd) rule.command = static_cast<int>(i);
        if (rule.command == -2) {
            error = "unknown command '" + std::string(cmd) + "'";
            return std::nullopt;
        }
    }
    bool haveMs = false;
    while (!rest.empty()) {
        std::string_view item = NextPart(rest, ',');
        std::string_view key = MainKey(rule.kind);
        if (const std::size_t eq = item.find('='); eq != std::string_view::npos) {
            key = item.substr(0, eq);
            item = item.substr(eq + 1);
        }
        const auto value = cmdline::ParseInteger(item, 0, 0xFFFFFFFFu);
        if (!value) {
            error = "'" + std::string(item) + "' is not a number";
            return std::nullopt;
        }
        if (key == "count")
            rule.count = *value;
        else if (key == "skip")
            rule.skip = *value;
        else if (key == "ms")
            rule.ms = *value, haveMs = true;
        else if (key == "pieces")
            rule.pieces = *value;
        else if (key == "bytes")
            rule.bytes = *value;
        else {
            error = "unknown key '" + std::string(key) + "'";
            return std::nullopt;
        }
    }
    if (rule.kind == FaultKind::Late && !haveMs) {
        error = "late needs a delay: late:CMD:MS";
        return std::nullopt;
    }
    if (rule.kind == FaultKind::Split && rule.pieces < 2) {
        error = "split needs at least 2 pieces";
        return std::nullopt;
    }
    if (rule.kind == FaultKind::Flood && rule.bytes <= 1024) {
        error = "a flood is more than 1024 bytes";
        return std::nullopt;
    }
    return rule;
}

std::vector<AnswerPiece> FaultPlan::Apply(std::uint16_t command, const std::string& answer,
                                          std::vector<std::string>* notes) {
    std::string line = answer;
    unsigned lateMs = 0;
    const FaultRule* split = nullptr;
    std::string flood;
    for (FaultRule& rule : rules_) {
        if (rule.command != kAnyCommand && rule.command != command) continue;
        if (rule.seen++ < rule.skip) continue;
        if (rule.count != 0 && rule.applied >= rule.count) continue;
        ++rule.applied;
        if (notes) notes->push_back(std::string(FaultKindName(rule.kind)));
        // the CRC is the four characters before the final LF
        const bool hasCrc = line.size() >= 5 && line.back() == '\n';
        switch (rule.kind) {
        case FaultKind::Drop:
            return {};
        case FaultKind::Ng:
            line = MakeResponseLine("NG\x0C");
            break;
        case FaultKind::BadCrc:
            if (hasCrc) {
                char& last = line[line.size() - 2];
                last = last == '0' ? '1' : '0'; // still an upper-case digit, never the right one
            }
            break;
        case FaultKind::LowerCrc:
            if (hasCrc)
                for (std::size_t i = line.size() - 5; i < line.size() - 1; ++i)
                    line[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(line[i])));
            break;
        case FaultKind::Split:
            split = &rule;
            break;
        case FaultKind::Late:
            lateMs += rule.ms;
            break;
        case FaultKind::Flood: {
            static constexpr std::string_view kFiller = "FLOOD-";
            for (unsigned i = 0; i < rule.bytes; ++i)
                flood += kFiller[i % kFiller.size()];
            break;
        }
        }
    }
    line = flood + line;
    std::vector<AnswerPiece> pieces;
    if (split && line.size() >= 2) {
        const std::size_t n = std::min<std::size_t>(split->pieces, line.size());
        std::size_t pos = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const std::size_t end = line.size() * (i + 1) / n;
            pieces.push_back({line.substr(pos, end - pos), i == 0 ? lateMs : split->ms});
            pos = end;
        }
    } else {
        pieces.push_back({line, lateMs});
    }
    return pieces;
}

} // namespace tavo::devsim
