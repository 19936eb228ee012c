#pragma once
// Where a save goes: the file a path names once its symbolic links are followed, and whether a
// saved file may replace what is there.
#include <string>
#include <string_view>

namespace tavo {

struct OutputTarget {
    std::string path;    // the file to replace or create
    std::string problem; // empty when the save may go ahead, else why not ("is a directory", ...)
    bool exists = false; // a regular file is there
    unsigned mode = 0;   // its permission bits when it exists
    explicit operator bool() const { return problem.empty(); }
};

// Follows the symbolic links of `path` (a dangling link names the file it would create). A save
// may replace a regular file or create a new one; a directory, a device node, a pipe, a socket
// or a loop of links is refused with a reason.
OutputTarget ResolveOutputPath(const std::string& path);

// The line a failed save leaves on its page: the page's own words first, then the file and why
// ("Edid Open Fail. Not saved to out.bin: is a directory.").
std::string SaveFailureText(std::string_view pageText, std::string_view fileName,
                            std::string_view reason);

} // namespace tavo
