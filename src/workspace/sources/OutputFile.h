#pragma once
// Where a save goes: the file a path names once its symbolic links are followed, and whether a
// saved file may replace what is there.
#include <string>
#include <string_view>

namespace tavo {

struct OutputTarget {
    std::string path;      // the file to replace or create
    std::string problem;   // empty when the save may go ahead, else why not ("is a directory", ...)
    bool exists = false;   // a regular file is there
    unsigned mode = 0;     // its permission bits when it exists
    bool readOnly = false; // the file there has no write permission for anyone
    explicit operator bool() const { return problem.empty(); }
};

// Follows the symbolic links of `path` (a dangling link names the file it would create). A save
// may replace a regular file or create a new one; a directory, a device node, a pipe, a socket
// or a loop of links is refused with a reason. A read-only file is refused too (a rename in a
// writable folder would replace it all the same) unless `replaceReadOnly`.
inline constexpr const char* kReadOnlyProblem = "is read-only; not replaced";
OutputTarget ResolveOutputPath(const std::string& path, bool replaceReadOnly = false);

// The line a failed save leaves on its page: the page's own words first, then the file and why
// ("Edid Open Fail. Not saved to out.bin: is a directory.").
std::string SaveFailureText(std::string_view pageText, std::string_view fileName,
                            std::string_view reason);

} // namespace tavo
