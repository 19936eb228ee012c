#pragma once
// The command lines of tavo-cli and tavo-devsim: whole decimal numbers and options
// (--name VALUE, --name=VALUE, flags, aliases such as -v) read one way in both tools.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavo::cmdline {

// `text` as a whole decimal number from `min` to `max`: digits only (a leading '-' only when
// `min` is negative), no sign, space or anything after them. nullopt otherwise.
std::optional<long long> ParseInteger(std::string_view text, long long min, long long max);

// Why a command line was refused.
struct ParseFailure {
    enum class Kind {
        UnknownOption, // an option no one declared, or an argument where none is taken
        MissingValue,  // an option that takes a value came last
        BadValue,      // its handler refused the value
        ValueNotTaken, // a flag written --flag=VALUE
    };
    Kind kind = Kind::UnknownOption;
    std::string option; // the option's name; for UnknownOption the argument as written
    std::string reason; // MissingValue and BadValue: why ("expects 0 or 1")

    // One line: "unknown option --x", "--inputs: expects a number from 0 to 255",
    // "--isp takes no value".
    std::string Text() const;
    // Whether it is a fault of the command line's form (what a usage line answers).
    bool IsUsage() const { return kind != Kind::BadValue; }
};

// The options of one command. Each is declared with its names (the long name first, aliases
// after '|': "--verbose|-v") and a handler; Parse walks the arguments in order and calls the
// handlers. A value follows its option as the next argument or after '=' (--port=/dev/ttyS0;
// only long names take the '=' form). A lone "-" is an argument, not an option.
class OptionParser {
public:
    using OnFlag = std::function<void()>;
    // The option's value; returns an empty string to accept it, otherwise why it is refused.
    using OnValue = std::function<std::string(const std::string& value)>;
    // A non-option argument; returns false when it is not wanted here.
    using OnArgument = std::function<bool(const std::string& argument)>;

    OptionParser& Flag(std::string_view names, OnFlag on);
    // `missing`: the reason given when the value is absent ("needs a path").
    OptionParser& Value(std::string_view names, std::string missing, OnValue on);
    // Without this, every non-option argument is refused as an unknown option.
    OptionParser& Arguments(OnArgument on);
    // After "--" every argument is a non-option argument.
    OptionParser& DoubleDashEndsOptions();

    // nullopt when every argument was taken, otherwise the first refusal.
    std::optional<ParseFailure> Parse(const std::vector<std::string>& args) const;
    std::optional<ParseFailure> Parse(const std::vector<std::string_view>& args) const;

private:
    struct Option {
        std::vector<std::string> names;
        bool takesValue = false;
        std::string missing;
        OnFlag onFlag;
        OnValue onValue;
    };
    const Option* Find(std::string_view name) const;

    std::vector<Option> options_;
    OnArgument onArgument_;
    bool doubleDashEndsOptions_ = false;
};

// Reasons shared by the tools' number options.
std::string ExpectsNumber(long long min, long long max); // "expects a number from 0 to 255"

} // namespace tavo::cmdline
