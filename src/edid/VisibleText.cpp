#include "edid/VisibleText.h"

#include <cstdint>

namespace tavo {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";

void AppendByte(std::string& out, unsigned byte) {
    out += "\\x";
    out.push_back(kHex[(byte >> 4) & 0x0F]);
    out.push_back(kHex[byte & 0x0F]);
}

bool IsDirectionControl(std::uint32_t cp) {
    return cp == 0x200E || cp == 0x200F || (cp >= 0x202A && cp <= 0x202E) ||
           (cp >= 0x2066 && cp <= 0x2069);
}

// The length of the valid UTF-8 sequence at `text[at]` and its code point; 0 when invalid.
std::size_t Sequence(std::string_view text, std::size_t at, std::uint32_t& cp) {
    const auto b0 = static_cast<unsigned char>(text[at]);
    std::size_t length = 0;
    std::uint32_t min = 0;
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    } else if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2, cp = b0 & 0x1F, min = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3, cp = b0 & 0x0F, min = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4, cp = b0 & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (at + length > text.size()) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const auto b = static_cast<unsigned char>(text[at + i]);
        if ((b & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return length;
}

bool IsControl(std::uint32_t cp) {
    return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F);
}

} // namespace

std::string VisibleText(std::string_view utf8, bool keepLayout) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t at = 0; at < utf8.size();) {
        std::uint32_t cp = 0;
        const std::size_t length = Sequence(utf8, at, cp);
        if (length == 0) {
            AppendByte(out, static_cast<unsigned char>(utf8[at]));
            ++at;
            continue;
        }
        if (keepLayout && (cp == '\r' || cp == '\n' || cp == '\t')) {
            out.push_back(static_cast<char>(cp));
        } else if (IsControl(cp)) {
            AppendByte(out, cp);
        } else if (IsDirectionControl(cp)) {
            out += "\\u";
            for (int shift = 12; shift >= 0; shift -= 4)
                out.push_back(kHex[(cp >> shift) & 0x0F]);
        } else {
            out.append(utf8.substr(at, length));
        }
        at += length;
    }
    return out;
}

std::string VisibleLatin1(std::string_view latin1) {
    std::string out;
    out.reserve(latin1.size() + 8);
    for (char ch : latin1) {
        const auto c = static_cast<unsigned char>(ch);
        if (IsControl(c)) {
            AppendByte(out, c);
        } else if (c < 0x80) {
            out.push_back(ch);
        } else {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

void AppendJsonVisible(std::string& out, std::string_view utf8) {
    static constexpr char kLower[] = "0123456789abcdef";
    auto escape = [&out](std::uint32_t cp) {
        out += "\\u";
        for (int shift = 12; shift >= 0; shift -= 4)
            out.push_back(kLower[(cp >> shift) & 0x0F]);
    };
    out.push_back('"');
    for (std::size_t at = 0; at < utf8.size();) {
        std::uint32_t cp = 0;
        const std::size_t length = Sequence(utf8, at, cp);
        if (length == 0) {
            escape(static_cast<unsigned char>(utf8[at]));
            ++at;
            continue;
        }
        if (cp == '"' || cp == '\\') {
            out.push_back('\\');
            out.push_back(static_cast<char>(cp));
        } else if (IsControl(cp) || IsDirectionControl(cp)) {
            escape(cp);
        } else {
            out.append(utf8.substr(at, length));
        }
        at += length;
    }
    out.push_back('"');
}

bool IsVisibleText(std::string_view utf8) {
    for (std::size_t at = 0; at < utf8.size();) {
        std::uint32_t cp = 0;
        const std::size_t length = Sequence(utf8, at, cp);
        if (length == 0 || IsControl(cp) || IsDirectionControl(cp)) return false;
        at += length;
    }
    return true;
}

} // namespace tavo
