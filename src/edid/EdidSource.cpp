#include "edid/EdidSource.h"

#include "edid/EdidBlocks.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tavo {
namespace {

constexpr std::uint8_t kHeader[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};

int HexValue(char ch) {
    if (ch >= '0' && ch <= '9') return ch - '0';
    if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
    if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
    return -1;
}

// Within a line; a carriage return is part of a Windows line break.
bool IsSeparator(char ch) {
    return ch == ' ' || ch == '\t' || ch == ',' || ch == ':' || ch == '\r';
}

// The bytes read so far: all of them counted, the first 256 kept, and those after them up to
// an EDID of 256 blocks.
struct HexBytes {
    std::uint8_t bytes[kEdidSize];
    std::vector<std::uint8_t> rest;
    std::size_t count = 0;
    void Add(std::uint8_t b) {
        if (count < kEdidSize)
            bytes[count] = b;
        else if (count < kMaxEdidBytes)
            rest.push_back(b);
        ++count;
    }
};

// What one line of hex text is.
enum class LineKind {
    Data,        // byte pairs, perhaps none (a blank line)
    Header,      // printable ASCII text ending with a colon: "EDID:", "edid-decode (hex):"
    OddDigits,   // hex digits and separators, but a run of an odd number of digits
    ForeignText, // a header line (ending with a colon) with characters outside ASCII
    Other,
};

bool IsPrintableAscii(char ch) {
    const auto c = static_cast<unsigned char>(ch);
    return (c >= 0x20 && c < 0x7F) || c == '\t' || c == '\r';
}

// A line of byte pairs: runs of an even number of hex digits, each optionally after "0x",
// between separators; bytes go to `out` only for a data line.
LineKind ReadDataLine(std::string_view line, HexBytes* out) {
    bool odd = false;
    std::size_t i = 0;
    while (i < line.size()) {
        if (IsSeparator(line[i])) {
            ++i;
            continue;
        }
        if (line[i] == '0' && i + 1 < line.size() && (line[i + 1] == 'x' || line[i + 1] == 'X'))
            i += 2;
        const std::size_t start = i;
        while (i < line.size() && HexValue(line[i]) >= 0)
            ++i;
        const std::size_t run = i - start;
        if (run == 0) return LineKind::Other;
        if (i < line.size() && !IsSeparator(line[i])) return LineKind::Other;
        if (run % 2 != 0) odd = true;
    }
    if (odd) return LineKind::OddDigits;
    if (out != nullptr) {
        for (std::size_t k = 0; k < line.size(); ++k) {
            if (line[k] == '0' && k + 1 < line.size() && (line[k + 1] == 'x' || line[k + 1] == 'X'))
                ++k;
            else if (HexValue(line[k]) >= 0) {
                out->Add(static_cast<std::uint8_t>(HexValue(line[k]) << 4 | HexValue(line[k + 1])));
                ++k;
            }
        }
    }
    return LineKind::Data;
}

LineKind Classify(std::string_view line) {
    const LineKind data = ReadDataLine(line, nullptr);
    if (data != LineKind::Other) return data;
    while (!line.empty() && IsSeparator(line.back()) && line.back() != ':')
        line.remove_suffix(1);
    if (line.empty() || line.back() != ':') return LineKind::Other;
    if (std::all_of(line.begin(), line.end(), IsPrintableAscii)) return LineKind::Header;
    // text of another character set (UTF-8, Latin-1) but no control characters
    const bool text = std::none_of(line.begin(), line.end(), [](char ch) {
        const auto c = static_cast<unsigned char>(ch);
        return (c < 0x20 && c != '\t' && c != '\r') || c == 0x7F;
    });
    return text ? LineKind::ForeignText : LineKind::Other;
}

// The lines of a text; with `cut` (the text stops in the middle of the input) its last,
// unfinished line is left out.
std::vector<std::string_view> Lines(std::string_view text, bool cut) {
    std::vector<std::string_view> out;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos && cut) break;
        out.push_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos
                                                                       : end - start));
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return out;
}

bool IsBlank(std::string_view line) {
    return std::all_of(line.begin(), line.end(), IsSeparator) &&
           line.find(':') == std::string_view::npos;
}

// Strict: every token of two hex digits ("00 ff ff ..."), or the whole line one run of an even
// number of hex digits ("00ffffff...", as database files now write it). A line of tokens of any
// other shape is not hex.
bool IsStrictHexLine(std::string_view line) {
    std::size_t i = 0, tokens = 0, longest = 0;
    while (i < line.size()) {
        if (line[i] == ' ' || line[i] == '\t' || line[i] == '\r') {
            ++i;
            continue;
        }
        std::size_t run = 0;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') {
            if (HexValue(line[i]) < 0) return false;
            ++run, ++i;
        }
        ++tokens;
        longest = std::max(longest, run);
        if (run % 2 != 0) return false;
    }
    return tokens == 1 || (tokens > 1 && longest == 2);
}

std::string LineNumber(std::size_t index) {
    return "line " + std::to_string(index + 1);
}

enum class HexResult { Read, NotHex, Refused };

// Text made only of data lines, header lines and blank lines that spells at least one byte.
// A text that would be one but for a run of an odd number of digits or a header line with
// characters outside ASCII is refused, naming the line.
HexResult ReadHexText(const std::vector<std::string_view>& lines, HexBytes& out,
                      std::string& error) {
    std::size_t odd = lines.size(), foreign = lines.size();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        switch (Classify(lines[i])) {
        case LineKind::Other:
            return HexResult::NotHex;
        case LineKind::OddDigits:
            odd = std::min(odd, i);
            break;
        case LineKind::ForeignText:
            foreign = std::min(foreign, i);
            break;
        case LineKind::Data:
            ReadDataLine(lines[i], &out);
            break;
        case LineKind::Header:
            break;
        }
    }
    if (odd < lines.size()) {
        error = "hex text with an odd number of hex digits in " + LineNumber(odd) +
                ": every byte is two digits";
        return HexResult::Refused;
    }
    if (foreign < lines.size()) {
        error = "hex text whose header " + LineNumber(foreign) +
                " has characters outside ASCII: remove that line or write it in ASCII";
        return HexResult::Refused;
    }
    return out.count > 0 ? HexResult::Read : HexResult::NotHex;
}

bool EndsWithHexHeader(std::string_view line) {
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r'))
        line.remove_suffix(1);
    return line.ends_with("(hex):");
}

// A report (edid-decode's, or a database file's): the first hex block after a line ending in
// "(hex):", up to the next paragraph (after a blank line) that is not hex. Strict: every line
// of the block is two-digit tokens or one unspaced run of byte pairs, and the block is whole
// blocks of 128 bytes, at most 256 of them.
HexResult ReadReport(const std::vector<std::string_view>& lines, HexBytes& out,
                     std::string& error) {
    std::size_t i = 0;
    while (i < lines.size() && !EndsWithHexHeader(lines[i]))
        ++i;
    if (i == lines.size()) return HexResult::NotHex;
    const std::string header = LineNumber(i);
    ++i;
    bool inParagraph = false, any = false;
    for (; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        if (IsBlank(line)) {
            inParagraph = false;
            continue;
        }
        if (!IsStrictHexLine(line)) {
            if (inParagraph || !any) {
                error = "report whose hex block after \"(hex):\" (" + header + ") has " +
                        LineNumber(i) + " that is not hex bytes (two digits each, spaced or not)";
                return HexResult::Refused;
            }
            break; // the report's text after the block
        }
        inParagraph = true;
        any = true;
        ReadDataLine(line, &out);
    }
    if (out.count == 0 || out.count % kEdidBlockSize != 0 || out.count > kMaxEdidBytes) {
        error = "report whose hex block after \"(hex):\" (" + header + ") holds " +
                std::to_string(out.count) +
                " bytes, not an EDID of whole 128-byte blocks (at most 32768 bytes)";
        return HexResult::Refused;
    }
    return HexResult::Read;
}

// Text with a byte-order mark: UTF-8's is dropped; UTF-16 text (either byte order) of ASCII
// characters becomes those characters. Anything else stays as it is.
std::string_view DropByteOrderMark(std::string_view text, std::string& ascii) {
    if (text.starts_with("\xEF\xBB\xBF")) return text.substr(3);
    const bool le = text.starts_with("\xFF\xFE"), be = text.starts_with("\xFE\xFF");
    if (!le && !be) return text;
    ascii.clear();
    for (std::size_t i = 2; i + 1 < text.size(); i += 2) {
        const auto lo = static_cast<unsigned char>(text[le ? i : i + 1]);
        const auto hi = static_cast<unsigned char>(text[le ? i + 1 : i]);
        if (hi != 0 || lo >= 0x80) return text; // not ASCII: read as binary
        ascii.push_back(static_cast<char>(lo));
    }
    return ascii;
}

// The EDID that hex text or a report held.
bool Take(EdidSource& source, const HexBytes& hex, EdidForm form) {
    source.image = ImageFromBytes(hex.bytes, hex.count);
    source.form = form;
    source.size = hex.count;
    source.bytes.clear();
    if (!hex.rest.empty()) {
        source.bytes.assign(hex.bytes, hex.bytes + kEdidSize);
        source.bytes.insert(source.bytes.end(), hex.rest.begin(), hex.rest.end());
    }
    return true;
}

// "HDMI-1 connected primary 1920x1080+0+0 ...", "DP-2 disconnected ...": the connector's name.
bool ConnectorLine(std::string_view line, std::string& name) {
    if (line.empty() || line.front() == ' ' || line.front() == '\t') return false;
    const std::size_t space = line.find(' ');
    if (space == std::string_view::npos || space == 0) return false;
    const std::string_view rest = line.substr(space + 1);
    if (!rest.starts_with("connected") && !rest.starts_with("disconnected") &&
        !rest.starts_with("unknown connection"))
        return false;
    name = std::string(line.substr(0, space));
    return true;
}

std::string_view Trimmed(std::string_view line) {
    while (!line.empty() && IsSeparator(line.front()))
        line.remove_prefix(1);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r'))
        line.remove_suffix(1);
    return line;
}

// One indented line of xrandr's EDID: hex digits only, an even number of them.
bool XrandrHexLine(std::string_view line) {
    if (line.empty() || (line.front() != ' ' && line.front() != '\t')) return false;
    const std::string_view t = Trimmed(line);
    return !t.empty() && t.size() % 2 == 0 &&
           std::all_of(t.begin(), t.end(), [](char ch) { return HexValue(ch) >= 0; });
}

} // namespace

std::vector<EdidSource> ReadXrandrEdids(std::string_view text) {
    std::vector<EdidSource> out;
    const auto lines = Lines(text, false);
    std::string connector;
    bool inConnector = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string name;
        if (ConnectorLine(lines[i], name)) {
            connector = name;
            inConnector = true;
            continue;
        }
        if (!inConnector || lines[i].empty() ||
            (lines[i].front() != '\t' && lines[i].front() != ' '))
            continue;
        if (Trimmed(lines[i]) != "EDID:") continue;
        HexBytes hex;
        std::size_t k = i + 1;
        for (; k < lines.size() && XrandrHexLine(lines[k]); ++k)
            ReadDataLine(Trimmed(lines[k]), &hex);
        i = k - 1;
        if (hex.count == 0) continue;
        EdidSource source;
        Take(source, hex, EdidForm::Xrandr);
        source.connector = connector;
        out.push_back(std::move(source));
    }
    return out;
}

bool ReadEdidBytes(const std::uint8_t* data, std::size_t size, std::size_t total,
                   EdidSource& source, std::string& error) {
    if (data == nullptr) size = 0;
    const bool cut = total > size;
    if (size < sizeof kHeader || std::memcmp(data, kHeader, sizeof kHeader) != 0) {
        std::string ascii;
        const std::string_view text =
            DropByteOrderMark({reinterpret_cast<const char*>(data), size}, ascii);
        const auto lines = Lines(text, cut);
        HexBytes hex;
        switch (ReadHexText(lines, hex, error)) {
        case HexResult::Refused:
            return false;
        case HexResult::Read:
            if (cut) {
                error = "hex text longer than " + std::to_string(size) +
                        " characters, too long for an EDID of at most 256 bytes";
                return false;
            }
            if (hex.count > kEdidSize) {
                error = "hex text of " + std::to_string(hex.count) +
                        " bytes, too long for an EDID of at most 256 bytes";
                return false;
            }
            return Take(source, hex, EdidForm::HexText);
        case HexResult::NotHex:
            break;
        }
        HexBytes report;
        switch (ReadReport(lines, report, error)) {
        case HexResult::Refused:
            return false;
        case HexResult::Read:
            return Take(source, report, EdidForm::Report);
        case HexResult::NotHex:
            break;
        }
        auto found = ReadXrandrEdids(text);
        if (found.size() == 1) {
            source = std::move(found.front());
            return true;
        }
        if (found.size() > 1) {
            std::string names;
            for (const auto& f : found)
                names += (names.empty() ? "" : ", ") + f.connector;
            error = "xrandr output with " + std::to_string(found.size()) + " EDIDs (" + names +
                    "): choose one connector";
            return false;
        }
    }
    source.image = ImageFromBytes(data, size);
    source.form = EdidForm::Binary;
    source.size = cut ? total : size;
    source.bytes.clear();
    if (!cut && size > kEdidSize && size <= kMaxEdidBytes) source.bytes.assign(data, data + size);
    return true;
}

bool ReadRegularFile(const std::string& path, std::size_t limit, std::string& bytes,
                     std::string& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        error = path + (S_ISDIR(st.st_mode) ? ": is a directory"
                                            : ": not a regular file (a pipe, device or socket)");
        return false;
    }
    bytes.assign(limit + 1, '\0');
    std::size_t n = 0;
    while (n < bytes.size()) {
        const ssize_t got = ::read(fd, bytes.data() + n, bytes.size() - n);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            error = path + ": " + std::strerror(errno);
            ::close(fd);
            return false;
        }
        if (got == 0) break;
        n += static_cast<std::size_t>(got);
    }
    ::close(fd);
    bytes.resize(n);
    return true;
}

bool ReadEdidPath(const std::string& path, EdidSource& source, std::string& error) {
    // a pipe, a device node or a socket is refused at once: waiting on one would hold the tool
    std::string bytes;
    if (!ReadRegularFile(path, kEdidTextLimit, bytes, error)) return false;
    if (bytes.empty()) {
        error = path + ": empty file, no EDID in it";
        return false;
    }
    std::size_t total = bytes.size();
    if (total > kEdidTextLimit) {
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0 && static_cast<std::uintmax_t>(st.st_size) > total)
            total = static_cast<std::size_t>(st.st_size);
    }
    if (!ReadEdidBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                       std::min(bytes.size(), kEdidTextLimit), total, source, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

std::string EdidHexText(const EdidImage& image) {
    constexpr char kDigits[] = "0123456789abcdef";
    const bool baseOnly = std::all_of(image.begin() + kEdidSize / 2, image.end(),
                                      [](std::uint8_t b) { return b == 0xFF; });
    const std::size_t count = baseOnly ? kEdidSize / 2 : kEdidSize;
    std::string text;
    text.reserve(count * 3);
    for (std::size_t i = 0; i < count; ++i) {
        text.push_back(kDigits[image[i] >> 4]);
        text.push_back(kDigits[image[i] & 0x0F]);
        text.push_back(i % 16 == 15 ? '\n' : ' ');
    }
    return text;
}

} // namespace tavo
