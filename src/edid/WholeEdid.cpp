#include "edid/WholeEdid.h"

#include <cstdio>
#include <cstring>

#include "edid/EdidBlocks.h"

namespace tavo {
namespace {

constexpr std::uint8_t kHeader[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Hex text of any length; false (and `out` untouched) when the text is not that.
bool LongHexText(std::string_view text, std::vector<std::uint8_t>& out) {
    std::vector<std::uint8_t> bytes;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(at, end - at);
        at = end + 1;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.remove_suffix(1);
        if (line.empty()) continue;
        if (line.back() == ':' &&
            line.find_first_not_of("0123456789abcdefABCDEF :,\t") != std::string_view::npos)
            continue; // a header line such as "EDID:"
        std::size_t i = 0;
        while (i < line.size()) {
            const char c = line[i];
            if (c == ' ' || c == '\t' || c == ',' || c == ':') {
                ++i;
                continue;
            }
            if (c == '0' && i + 1 < line.size() && (line[i + 1] == 'x' || line[i + 1] == 'X'))
                i += 2;
            std::size_t run = i;
            while (run < line.size() && HexDigit(line[run]) >= 0)
                ++run;
            if (run == i || (run - i) % 2 != 0) return false;
            for (std::size_t k = i; k < run; k += 2)
                bytes.push_back(
                    static_cast<std::uint8_t>(HexDigit(line[k]) << 4 | HexDigit(line[k + 1])));
            i = run;
        }
    }
    if (bytes.empty()) return false;
    out = std::move(bytes);
    return true;
}

} // namespace

bool ReadWholeEdidBytes(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>& out,
                        EdidForm& form, std::string& error) {
    if (data == nullptr || size == 0) {
        error = "empty input, no EDID in it";
        return false;
    }
    const bool binary = size >= sizeof kHeader && std::memcmp(data, kHeader, sizeof kHeader) == 0;
    if (!binary) {
        // The ordinary reader decides the form and says what is wrong with text it refuses; only
        // hex text too long for a slot is read here.
        EdidSource source;
        std::string why;
        const std::size_t limit = std::min(size, kEdidTextLimit);
        if (ReadEdidBytes(data, limit, size, source, why)) {
            if (source.form != EdidForm::Binary) {
                if (!source.bytes.empty())
                    out = std::move(source.bytes); // a report or xrandr output of more blocks
                else
                    out.assign(source.image.begin(),
                               source.image.begin() +
                                   static_cast<long>(std::min(source.size, kEdidSize)));
                form = source.form;
                return true;
            }
        } else if (why.find("too long") == std::string::npos) {
            error = why;
            return false;
        }
        if (LongHexText({reinterpret_cast<const char*>(data), size}, out)) {
            if (out.size() % kEdidBlockSize != 0 && !why.empty()) {
                // whole blocks only: longer text is an EDID of several blocks, or a mistake
                out.clear();
                error = why;
                return false;
            }
            if (out.size() > kMaxEdidBytes) {
                error = "hex text of " + std::to_string(out.size()) +
                        " bytes, longer than an EDID of 256 blocks (32768 bytes)";
                return false;
            }
            form = EdidForm::HexText;
            return true;
        }
        if (!why.empty()) {
            error = why;
            return false;
        }
    }
    if (size > kMaxEdidBytes) {
        error = std::to_string(size) + " bytes, longer than an EDID of 256 blocks (32768 bytes)";
        return false;
    }
    out.assign(data, data + size);
    form = EdidForm::Binary;
    return true;
}

bool ReadWholeEdidPath(const std::string& path, std::vector<std::uint8_t>& out, EdidForm& form,
                       std::string& error) {
    std::string bytes;
    if (!ReadRegularFile(path, 2 * kMaxEdidBytes, bytes, error)) return false;
    if (bytes.empty()) {
        error = path + ": empty file, no EDID in it";
        return false;
    }
    if (!ReadWholeEdidBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), out,
                            form, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

} // namespace tavo
