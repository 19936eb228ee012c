#pragma once
// An EDID as the open dialogs read it: a file, binary or hex text (edid/EdidSource.h), or a
// connected display's EDID (workspace/sources/LocalDisplays.h).
#include <QList>
#include <QString>
#include <cstdint>
#include <vector>

#include "edid/EdidImage.h"
#include "ui/qt/Dialogs.h"

namespace tavo {

// What the open dialogs offer: EDIDs as binary, hex text or reports, and any file.
inline constexpr const char* kEdidOpenFilter = "EDID (*.bin *.txt *.hex);;All files (*)";

// The EDID an open dialog's answer names: `name` is a file name, "display:CONNECTOR" or
// "preset:NAME" (Dialogs::OpenEdid's answer). With `whole`, a file of more than two blocks with
// a CTA-861 extension (up to 32 KiB, binary or hex text) gives its base block and first CTA-861
// extension as `image` (FirstTwoBlocks) and every byte of it in `whole`, which is emptied for
// anything else; without it, such a file reads as a slot's image of its first 256 bytes (the
// controller asks to fit it first). False when the file cannot be opened, the reader refuses it
// (`error`, when given, says why: an odd number of digits, a report's broken hex block), the
// display has no EDID
// (`error` says why) or there is no such ready-made EDID.
// An empty file reads as all FF, as it always did, and fails validation.
// With `chooser`, `xrandr --verbose` output that holds several EDIDs is not refused: the
// operator picks the connector in a list (Dialogs::ChooseFromList over `chooser`); a cancelled
// choice is false with "xrandr output, but no connector chosen".
bool ReadChosenEdid(const QString& name, EdidImage& image, QString* error = nullptr,
                    QWidget* chooser = nullptr, std::vector<std::uint8_t>* whole = nullptr);

// Every byte of an EDID file that holds more than 256 bytes of EDID (edid/WholeEdid.h: up to
// 32 KiB, binary or hex text): empty for anything else (a smaller EDID, a display, a ready-made
// EDID, something that is no regular file, a file the reader refuses), which ReadChosenEdid reads.
std::vector<std::uint8_t> ReadLargeEdidFile(const QString& name);

// Hex text (or a binary image) held in memory, as pasted: false when the reader refuses it
// (`error` says why) or it is nothing at all. `chooser` and `whole` as for ReadChosenEdid.
bool ReadEdidText(const QByteArray& bytes, EdidImage& image, QString* error = nullptr,
                  QWidget* chooser = nullptr, std::vector<std::uint8_t>* whole = nullptr);

// Writes `size` bytes of `image` to `name` as every page saves: a symbolic link is written
// through, a device node, a pipe or a read-only file is refused (workspace/sources/OutputFile.h),
// and the file appears whole or not at all (edid/WholeFile.h: a full disk leaves the former file as
// it was). False with the reason in `error` ("No space left on device").
bool SaveEdidFile(const QString& name, const EdidImage& image, QString* error,
                  std::size_t size = kEdidSize);

// `image` into the file `path` as the window's saves write one (SaveEdidFile: whole or not at
// all, a one-block EDID as its 128 bytes), never over a directory, a device node, a pipe or a
// read-only file. Empty when written, else why not ("is a directory", the file system's reason).
QString WriteEdidFile(const QString& path, const EdidImage& image);

// The connected displays that have an EDID, for the "From a connected display…" chooser.
QList<DisplayChoice> ConnectedDisplays();

// The ready-made EDIDs (workspace/sources/Presets.h), for the choosers.
QList<ListChoice> PresetChoices();

} // namespace tavo
