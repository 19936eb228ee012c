#pragma once
// The one writer of the command line's JSON: a value at a time into one line, no indentation.
// Strings are escaped one way (edid/VisibleText.h): quotes and backslashes, every control
// character and direction mark as "\u001b", a byte outside valid UTF-8 as its Latin-1 character;
// Latin-1 text (what an EDID and a device hold) is written as UTF-8. A container's members are
// separated tightly ("a":1,"b":2) or spaced ("a": 1, "b": 2); a container takes its parent's
// spacing unless it is given its own.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tavo {

enum class JsonSpacing { Tight, Spaced };

class JsonWriter {
public:
    explicit JsonWriter(JsonSpacing spacing = JsonSpacing::Spaced) : spacing_(spacing) {}

    JsonWriter& BeginObject() { return Begin('{', spacing_); }
    JsonWriter& BeginObject(JsonSpacing spacing) { return Begin('{', spacing); }
    JsonWriter& BeginArray() { return Begin('[', spacing_); }
    JsonWriter& EndObject() { return End('}'); }
    JsonWriter& EndArray() { return End(']'); }

    // A member's name; its value follows.
    JsonWriter& Key(std::string_view utf8);
    JsonWriter& String(std::string_view utf8);
    JsonWriter& Latin1(std::string_view latin1);
    JsonWriter& Number(std::int64_t value);
    JsonWriter& Bool(bool value);
    JsonWriter& Null();

    // Key and value at once.
    JsonWriter& Member(std::string_view key, std::string_view utf8) {
        return Key(key).String(utf8);
    }
    JsonWriter& MemberNumber(std::string_view key, std::int64_t value) {
        return Key(key).Number(value);
    }

    // The text so far; whole once every container has ended.
    const std::string& Text() const { return out_; }

private:
    JsonWriter& Begin(char open, JsonSpacing spacing);
    JsonWriter& End(char close);
    void BeforeValue();

    struct Open {
        JsonSpacing spacing;
        bool empty = true;
    };
    JsonSpacing spacing_;
    std::vector<Open> open_;
    bool afterKey_ = false;
    std::string out_;
};

} // namespace tavo
