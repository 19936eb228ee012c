#include "CommandLine.h"

#include <charconv>

namespace tavo::cmdline {

std::optional<long long> ParseInteger(std::string_view text, long long min, long long max) {
    if (text.empty() || (text[0] == '-' && min >= 0)) return std::nullopt;
    long long v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc{} || end != text.data() + text.size() || v < min || v > max)
        return std::nullopt;
    return v;
}

std::string ExpectsNumber(long long min, long long max) {
    return "expects a number from " + std::to_string(min) + " to " + std::to_string(max);
}

std::string ParseFailure::Text() const {
    switch (kind) {
    case Kind::UnknownOption:
        return "unknown option " + option;
    case Kind::ValueNotTaken:
        return option + " takes no value";
    case Kind::MissingValue:
    case Kind::BadValue:
        break;
    }
    return option + ": " + reason;
}

namespace {

std::vector<std::string> SplitNames(std::string_view names) {
    std::vector<std::string> out;
    while (!names.empty()) {
        const auto bar = names.find('|');
        out.emplace_back(names.substr(0, bar));
        names = bar == std::string_view::npos ? std::string_view() : names.substr(bar + 1);
    }
    return out;
}

} // namespace

OptionParser& OptionParser::Flag(std::string_view names, OnFlag on) {
    options_.push_back({SplitNames(names), false, {}, std::move(on), {}});
    return *this;
}

OptionParser& OptionParser::Value(std::string_view names, std::string missing, OnValue on) {
    options_.push_back({SplitNames(names), true, std::move(missing), {}, std::move(on)});
    return *this;
}

OptionParser& OptionParser::Arguments(OnArgument on) {
    onArgument_ = std::move(on);
    return *this;
}

OptionParser& OptionParser::DoubleDashEndsOptions() {
    doubleDashEndsOptions_ = true;
    return *this;
}

const OptionParser::Option* OptionParser::Find(std::string_view name) const {
    for (const Option& o : options_)
        for (const std::string& n : o.names)
            if (n == name) return &o;
    return nullptr;
}

std::optional<ParseFailure> OptionParser::Parse(const std::vector<std::string_view>& args) const {
    using Kind = ParseFailure::Kind;
    bool onlyArguments = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string arg(args[i]);
        if (onlyArguments || arg.empty() || arg[0] != '-' || arg == "-") {
            if (!onArgument_ || !onArgument_(arg))
                return ParseFailure{Kind::UnknownOption, arg, {}};
            continue;
        }
        if (arg == "--" && doubleDashEndsOptions_) {
            onlyArguments = true;
            continue;
        }
        std::string name = arg;
        std::optional<std::string> inlineValue;
        if (const auto eq = name.find('='); name.starts_with("--") && eq != std::string::npos) {
            inlineValue = name.substr(eq + 1);
            name.resize(eq);
        }
        const Option* option = Find(name);
        if (!option) return ParseFailure{Kind::UnknownOption, arg, {}};
        if (!option->takesValue) {
            if (inlineValue) return ParseFailure{Kind::ValueNotTaken, name, {}};
            option->onFlag();
            continue;
        }
        if (!inlineValue && i + 1 >= args.size())
            return ParseFailure{Kind::MissingValue, name, option->missing};
        const std::string value = inlineValue ? *inlineValue : std::string(args[++i]);
        if (std::string why = option->onValue(value); !why.empty())
            return ParseFailure{Kind::BadValue, name, std::move(why)};
    }
    return std::nullopt;
}

std::optional<ParseFailure> OptionParser::Parse(const std::vector<std::string>& args) const {
    return Parse(std::vector<std::string_view>(args.begin(), args.end()));
}

} // namespace tavo::cmdline
