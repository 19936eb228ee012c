#include "edid/JsonWriter.h"

#include "edid/VisibleText.h"

namespace tavo {

void JsonWriter::BeforeValue() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (open_.empty()) return;
    Open& in = open_.back();
    if (!in.empty) out_ += in.spacing == JsonSpacing::Spaced ? ", " : ",";
    in.empty = false;
}

JsonWriter& JsonWriter::Begin(char open, JsonSpacing spacing) {
    BeforeValue();
    out_.push_back(open);
    open_.push_back({spacing});
    spacing_ = spacing;
    return *this;
}

JsonWriter& JsonWriter::End(char close) {
    out_.push_back(close);
    open_.pop_back();
    if (!open_.empty()) spacing_ = open_.back().spacing;
    return *this;
}

JsonWriter& JsonWriter::Key(std::string_view utf8) {
    BeforeValue();
    AppendJsonVisible(out_, utf8);
    out_ += !open_.empty() && open_.back().spacing == JsonSpacing::Tight ? ":" : ": ";
    afterKey_ = true;
    return *this;
}

JsonWriter& JsonWriter::String(std::string_view utf8) {
    BeforeValue();
    AppendJsonVisible(out_, utf8);
    return *this;
}

JsonWriter& JsonWriter::Latin1(std::string_view latin1) {
    std::string utf8;
    utf8.reserve(latin1.size() + 8);
    for (char ch : latin1) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            utf8.push_back(ch);
        } else {
            utf8.push_back(static_cast<char>(0xC0 | (c >> 6)));
            utf8.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return String(utf8);
}

JsonWriter& JsonWriter::Number(std::int64_t value) {
    BeforeValue();
    out_ += std::to_string(value);
    return *this;
}

JsonWriter& JsonWriter::Bool(bool value) {
    BeforeValue();
    out_ += value ? "true" : "false";
    return *this;
}

JsonWriter& JsonWriter::Null() {
    BeforeValue();
    out_ += "null";
    return *this;
}

} // namespace tavo
