#include "FileIo.h"

#include "Command.h"
#include "edid/EdidSource.h"
#include "edid/WholeEdid.h"
#include "edid/WholeFile.h"
#include "workspace/sources/LocalDisplays.h"
#include "workspace/sources/OutputFile.h"
#include "workspace/sources/Presets.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <ostream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace tavo::cli {

namespace {

// `wholeFile`: the caller reads a long binary file whole, so no note that only 256 bytes count.
bool ReadEdid(const std::string& path, EdidImage& image, std::string& error, std::size_t& edidSize,
              bool wholeFile) {
    edidSize = 0;
    if (path.rfind(kPresetPrefix, 0) == 0) {
        const PresetBuild built = BuildPreset(std::string_view(path).substr(kPresetPrefix.size()));
        if (!built) {
            error = path + ": " + built.message;
            return false;
        }
        image = built.image;
        return true;
    }
    EdidSource source;
    const bool display = path.rfind(kDisplayPrefix, 0) == 0;
    if (display
            ? !ReadDisplayEdid(std::string_view(path).substr(kDisplayPrefix.size()), source, error)
            : !ReadEdidPath(path, source, error))
        return false;
    const std::size_t size = source.size;
    if (source.form == EdidForm::HexText) {
        if (size != kEdidSize && size != kEdidSize / 2)
            PrintError(path + ": hex text of " + std::to_string(size) +
                       (size == 1 ? " byte" : " bytes") +
                       ", not a whole EDID block; the missing bytes read as FF");
    } else if (size > kEdidSize) {
        if (!wholeFile)
            PrintError(path + ": " + std::to_string(size) + " bytes, only the first " +
                       std::to_string(kEdidSize) + " are read");
    } else if (size != kEdidSize && size != kEdidSize / 2) {
        PrintError(path + ": " + std::to_string(size) + (size == 1 ? " byte" : " bytes") +
                   ", not a whole EDID block; the missing bytes read as FF");
    }
    image = source.image;
    edidSize = size;
    return true;
}

} // namespace

bool ReadEdidFile(const std::string& path, EdidImage& image, std::string& error) {
    std::size_t size = 0;
    return ReadEdid(path, image, error, size, false);
}

bool ReadEdidFile(const std::string& path, EdidImage& image, std::string& error,
                  std::size_t& size) {
    return ReadEdid(path, image, error, size, true);
}

namespace {

// The EDID of a "display:" path when it has more than 256 bytes (the connector's edid file in
// sysfs, read whole); false, printing nothing, for anything else.
bool ReadLargeDisplayEdid(const std::string& path, std::vector<std::uint8_t>& bytes) {
    if (path.rfind(kDisplayPrefix, 0) != 0) return false;
    EdidSource source;
    std::string error;
    if (!ReadDisplayEdid(std::string_view(path).substr(kDisplayPrefix.size()), source, error) ||
        source.bytes.empty())
        return false;
    bytes = std::move(source.bytes);
    return true;
}

} // namespace

bool ReadWholeEdidFile(const std::string& path, std::vector<std::uint8_t>& bytes,
                       std::string& error) {
    if (ReadLargeDisplayEdid(path, bytes)) return true;
    const bool named = path.rfind(kPresetPrefix, 0) == 0 || path.rfind(kDisplayPrefix, 0) == 0;
    if (!named) {
        EdidForm form = EdidForm::Binary;
        std::vector<std::uint8_t> all;
        // a path ReadRegularFile refuses (a pipe, a device) is left to ReadEdidFile's reasons
        if (ReadWholeEdidPath(path, all, form, error)) {
            if (all.size() > kEdidSize) {
                bytes = std::move(all);
                return true;
            }
        } else {
            // a regular file it refuses (longer than 32 KiB, text it cannot read) stays refused;
            // anything else (a pipe, a device) is left to ReadEdidFile and its reasons
            std::error_code ec;
            if (std::filesystem::is_regular_file(path, ec)) return false;
        }
    }
    EdidImage image;
    if (!ReadEdidFile(path, image, error)) return false;
    bytes.assign(image.begin(), image.end());
    return true;
}

bool ReadLargeEdidFile(const std::string& path, std::vector<std::uint8_t>& bytes) {
    if (ReadLargeDisplayEdid(path, bytes)) return true;
    if (path.rfind(kPresetPrefix, 0) == 0 || path.rfind(kDisplayPrefix, 0) == 0) return false;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return false;
    EdidForm form = EdidForm::Binary;
    std::string error;
    return ReadWholeEdidPath(path, bytes, form, error) && bytes.size() > kEdidSize;
}

FileArgs ParseFileArgs(const Args& args) {
    FileArgs parsed;
    for (std::string_view a : args) {
        if (a == "--json")
            parsed.json = true;
        else
            parsed.files.emplace_back(a);
    }
    return parsed;
}

int ForEachEdidFile(const std::vector<std::string>& files,
                    const std::function<void(const std::string&, const EdidImage&)>& use) {
    int rc = kExitOk;
    for (const auto& file : files) {
        EdidImage image;
        std::string error;
        if (!ReadEdidFile(file, image, error)) {
            PrintError(error);
            rc = kExitError;
            continue;
        }
        use(file, image);
    }
    return rc;
}

std::string AnalysisCaption(std::string_view title) {
    return "    " + std::string(title) + " :";
}

void PrintAnalysis(std::ostream& out, std::string_view file, const AnalyzerSummary& s) {
    // the audio formats (each ends in a comma) go on as a second line, under the first, from the
    // entry that would start after the 30th character: the row as the analyzer window shows it
    constexpr std::size_t kAudioLineLength = 30;
    out << file << '\n';
    for (int i = 0; i < kSummaryRowCount; ++i) {
        const std::string caption = AnalysisCaption(kSummaryTitles[i]);
        std::string value = Latin1ToUtf8(s.rows[i].View());
        if (i == static_cast<int>(SummaryRow::AudioFormats) && s.valid)
            for (std::size_t end = value.find(','); end != std::string::npos;
                 end = value.find(',', end + 1))
                if (end + 1 > kAudioLineLength && end + 1 < value.size()) {
                    value.insert(end + 1, "\n" + std::string(caption.size() + 1, ' '));
                    break;
                }
        out << caption << ' ' << value << '\n';
    }
}

bool WriteFileAtomically(const std::string& path, const std::uint8_t* data, std::size_t size,
                         std::string& error, bool force) {
    // a symbolic link is written through: its target gets the new file, the link stays
    const OutputTarget out = ResolveOutputPath(path, force);
    if (!out) {
        error = path + ": " + out.problem + (out.readOnly ? " (--force replaces it)" : "");
        return false;
    }
    std::string why;
    if (!WriteWholeFile(out.path, {reinterpret_cast<const char*>(data), size},
                        out.exists ? static_cast<int>(out.mode) : -1, why)) {
        error = path + ": " + why;
        return false;
    }
    return true;
}

} // namespace tavo::cli
