#pragma once
// The one way a file is written: whole or not at all. Every save, the history, backups and
// tavo-cli's outputs go through it, so that a full disk or a failing device never leaves a
// truncated file in the place of a good one, nor reports a save that did not happen.
#include <string>
#include <string_view>

namespace tavo {

// Writes `bytes` to `path` through a temporary file beside it: every byte written (a short
// write is continued, one that writes nothing is a failure), the data synced to the disk, then
// the temporary file renamed over `path` and the folder synced. On any failure the temporary
// file is removed and whatever was at `path` stays as it was. `mode`: the new file's permission
// bits; negative: 0666 less the umask. `path` is replaced as it is (a symbolic link there is
// replaced, not followed: callers resolve it first when they mean its target). False with the
// system's reason ("No space left on device") in `error`.
bool WriteWholeFile(const std::string& path, std::string_view bytes, int mode, std::string& error);

// Syncs the folder `path` (a rename or a new file in it made durable). False with the reason.
bool SyncFolder(const std::string& path, std::string& error);

} // namespace tavo
