#include "workspace/sources/OutputFile.h"

#include <filesystem>
#include <system_error>

namespace tavo {

OutputTarget ResolveOutputPath(const std::string& path, bool replaceReadOnly) {
    namespace fs = std::filesystem;
    OutputTarget out;
    fs::path p = path;
    std::error_code ec;
    int hops = 0;
    for (; hops < 40 && fs::is_symlink(fs::symlink_status(p, ec)); ++hops) {
        const fs::path next = fs::read_symlink(p, ec);
        if (ec) {
            out.problem = ec.message();
            return out;
        }
        p = next.is_absolute() ? next : p.parent_path() / next;
    }
    if (hops == 40) {
        out.problem = std::make_error_code(std::errc::too_many_symbolic_link_levels).message();
        return out;
    }
    out.path = p.string();
    const fs::file_status st = fs::status(p, ec);
    switch (st.type()) {
    case fs::file_type::not_found:
        return out;
    case fs::file_type::regular:
        out.exists = true;
        out.mode = static_cast<unsigned>(st.permissions()) & 07777u;
        // by the permission bits, not access(): the superuser may write anything
        out.readOnly = (out.mode & 0222u) == 0;
        if (out.readOnly && !replaceReadOnly) out.problem = kReadOnlyProblem;
        return out;
    case fs::file_type::directory:
        out.problem = "is a directory";
        return out;
    case fs::file_type::none:
    case fs::file_type::unknown:
        if (ec) {
            out.problem = ec.message();
            return out;
        }
        [[fallthrough]];
    default:
        // a plain file put in the place of a device node, a pipe or a socket would break it
        out.problem = "not a regular file (a device, pipe or socket); nothing written";
        return out;
    }
}

std::string SaveFailureText(std::string_view pageText, std::string_view fileName,
                            std::string_view reason) {
    while (!reason.empty() && (reason.back() == '.' || reason.back() == ' '))
        reason.remove_suffix(1);
    std::string text(pageText);
    text += " Not saved to ";
    text += fileName;
    if (!reason.empty()) {
        text += ": ";
        text += reason;
    }
    text += '.';
    return text;
}

} // namespace tavo
