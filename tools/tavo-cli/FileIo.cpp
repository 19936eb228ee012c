#include "FileIo.h"

#include "Command.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace tavo::cli {

bool ReadEdidFile(const std::string& path, EdidImage& image, std::string& error) {
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
    // the size as the file system reports it; a pipe or device reports none and is read as it
    // comes, up to 256 bytes
    struct stat st {};
    const bool regular = ::fstat(::fileno(f), &st) == 0 && S_ISREG(st.st_mode);
    std::uint8_t buffer[kEdidSize];
    const std::size_t n = std::fread(buffer, 1, sizeof buffer, f);
    const bool failed = std::ferror(f) != 0;
    const int readErrno = errno;
    std::fclose(f);
    if (failed) {
        error = path + ": " + std::strerror(readErrno);
        return false;
    }
    if (n == 0) {
        error = path + ": empty file, no EDID in it";
        return false;
    }
    const auto size = regular ? static_cast<std::uintmax_t>(st.st_size) : std::uintmax_t(n);
    if (size > kEdidSize)
        PrintError(path + ": " + std::to_string(size) + " bytes, only the first " +
                   std::to_string(kEdidSize) + " are read");
    else if (size != kEdidSize && size != kEdidSize / 2)
        PrintError(path + ": " + std::to_string(size) + (size == 1 ? " byte" : " bytes") +
                   ", not a whole EDID block; the missing bytes read as FF");
    image = ImageFromBytes(buffer, n);
    return true;
}

bool WriteFileAtomically(const std::string& path, const std::uint8_t* data, std::size_t size,
                         std::string& error) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        error = path + ": is a directory";
        return false;
    }
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    // mkstemp makes the file private; give it the usual mode of a new file.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);

    auto fail = [&](int err) {
        ::close(fd);
        ::unlink(temp.c_str());
        error = path + ": " + std::strerror(err);
        return false;
    };
    std::size_t done = 0;
    while (done < size) {
        const ssize_t w = ::write(fd, data + done, size - done);
        if (w < 0) {
            if (errno == EINTR) continue;
            return fail(errno);
        }
        done += static_cast<std::size_t>(w);
    }
    if (::fsync(fd) != 0) return fail(errno);
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        error = path + ": " + std::strerror(err);
        return false;
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        error = path + ": " + std::strerror(err);
        return false;
    }
    return true;
}

} // namespace tavo::cli
