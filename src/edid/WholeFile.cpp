#include "edid/WholeFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tavo {

bool SyncFolder(const std::string& path, std::string& error) {
    const int fd = ::open(path.empty() ? "." : path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    // some file systems cannot sync a folder (EINVAL): nothing more can be done there
    const bool ok = ::fsync(fd) == 0 || errno == EINVAL;
    if (!ok) error = std::strerror(errno);
    ::close(fd);
    return ok;
}

bool WriteWholeFile(const std::string& path, std::string_view bytes, int mode, std::string& error) {
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".")
                               : slash == 0               ? std::string("/")
                                                          : path.substr(0, slash);
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    if (mode < 0) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = static_cast<int>(0666 & ~mask);
    }
    auto fail = [&](int err, bool open) {
        if (open) ::close(fd);
        ::unlink(temp.c_str());
        error = std::strerror(err);
        return false;
    };
    // mkstemp makes the file private: give it the mode asked for
    if (::fchmod(fd, static_cast<mode_t>(mode)) != 0) return fail(errno, true);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t w = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (w < 0 && errno == EINTR) continue;
        if (w < 0) return fail(errno, true);
        if (w == 0) return fail(ENOSPC, true);
        done += static_cast<std::size_t>(w);
    }
    // the data is on the disk before the name points at it, or a crash leaves an empty file
    if (::fsync(fd) != 0) return fail(errno, true);
    if (::close(fd) != 0) return fail(errno, false);
    // what was written is all there (a file system that loses data at close shows it here)
    struct stat st {};
    if (::stat(temp.c_str(), &st) != 0) return fail(errno, false);
    if (static_cast<std::size_t>(st.st_size) != bytes.size()) return fail(EIO, false);
    if (std::rename(temp.c_str(), path.c_str()) != 0) return fail(errno, false);
    std::string why;
    if (!SyncFolder(folder, why)) {
        // the new file is in place and whole; only its durability across a crash is in doubt
        error = why;
        return false;
    }
    return true;
}

} // namespace tavo
