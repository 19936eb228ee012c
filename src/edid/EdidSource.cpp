#include "edid/EdidSource.h"

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

// The bytes read so far: all of them counted, the first 256 kept.
struct HexBytes {
    std::uint8_t bytes[kEdidSize];
    std::size_t count = 0;
    void Add(std::uint8_t b) {
        if (count < kEdidSize) bytes[count] = b;
        ++count;
    }
};

// A line of byte pairs: runs of an even number of hex digits, each optionally after "0x",
// between separators. False (leaving `out` partly filled) for any other line.
bool ReadDataLine(std::string_view line, HexBytes& out) {
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
        if (run == 0 || run % 2 != 0) return false;
        if (i < line.size() && !IsSeparator(line[i])) return false;
        for (std::size_t k = start; k < i; k += 2)
            out.Add(static_cast<std::uint8_t>(HexValue(line[k]) << 4 | HexValue(line[k + 1])));
    }
    return true;
}

// "EDID:", "edid-decode (hex):": printable text ending with a colon.
bool IsHeaderLine(std::string_view line) {
    while (!line.empty() && IsSeparator(line.back()) && line.back() != ':')
        line.remove_suffix(1);
    if (line.empty() || line.back() != ':') return false;
    return std::all_of(line.begin(), line.end(), [](char ch) {
        const auto c = static_cast<unsigned char>(ch);
        return (c >= 0x20 && c < 0x7F) || c == '\t' || c == '\r';
    });
}

// True when the text is made only of data lines, header lines and blank lines and spells at
// least one byte. With `cut`, the text stops in the middle of the input: its last, unfinished
// line is left out.
bool ReadHexText(std::string_view text, bool cut, HexBytes& out) {
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos && cut) break;
        const std::string_view line = text.substr(
            start, end == std::string_view::npos ? std::string_view::npos : end - start);
        const std::size_t before = out.count;
        if (!ReadDataLine(line, out)) {
            if (!IsHeaderLine(line)) return false;
            out.count = before;
        }
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return out.count > 0;
}

} // namespace

bool ReadEdidBytes(const std::uint8_t* data, std::size_t size, std::size_t total,
                   EdidSource& source, std::string& error) {
    if (data == nullptr) size = 0;
    const bool cut = total > size;
    if (size < sizeof kHeader || std::memcmp(data, kHeader, sizeof kHeader) != 0) {
        HexBytes hex;
        const std::string_view text(reinterpret_cast<const char*>(data), size);
        if (ReadHexText(text, cut, hex)) {
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
            source.image = ImageFromBytes(hex.bytes, hex.count);
            source.form = EdidForm::HexText;
            source.size = hex.count;
            return true;
        }
    }
    source.image = ImageFromBytes(data, size);
    source.form = EdidForm::Binary;
    source.size = cut ? total : size;
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

bool ReadEdidPath(const std::string& path, EdidSource& source, std::string& error,
                  bool regularOnly) {
    if (regularOnly) {
        std::string bytes;
        if (!ReadRegularFile(path, kEdidTextLimit, bytes, error)) return false;
        if (bytes.empty()) {
            error = path + ": empty file, no EDID in it";
            return false;
        }
        const std::size_t total = bytes.size();
        if (!ReadEdidBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                           std::min(total, kEdidTextLimit), total, source, error)) {
            error = path + ": " + error;
            return false;
        }
        return true;
    }
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        error = path + ": is a directory";
        return false;
    }
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    // one byte past the limit tells a longer file from one of exactly the limit
    std::vector<std::uint8_t> buffer(kEdidTextLimit + 1);
    std::size_t n = 0;
    while (n < buffer.size()) {
        const std::size_t got = std::fread(buffer.data() + n, 1, buffer.size() - n, f);
        if (got == 0) break;
        n += got;
    }
    const bool failed = std::ferror(f) != 0;
    const int readErrno = errno;
    struct stat st {};
    const bool regular = ::fstat(::fileno(f), &st) == 0 && S_ISREG(st.st_mode);
    std::fclose(f);
    if (failed) {
        error = path + ": " + std::strerror(readErrno);
        return false;
    }
    if (n == 0) {
        error = path + ": empty file, no EDID in it";
        return false;
    }
    std::size_t total = n;
    if (n > kEdidTextLimit) {
        n = kEdidTextLimit;
        if (regular && static_cast<std::uintmax_t>(st.st_size) > total)
            total = static_cast<std::size_t>(st.st_size);
    }
    if (!ReadEdidBytes(buffer.data(), n, total, source, error)) {
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
