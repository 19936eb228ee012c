#pragma once
// An EDID as the open dialogs read it: a file, binary or hex text (edid/EdidSource.h), or a
// connected display's EDID (workspace/LocalDisplays.h).
#include <QList>
#include <QString>

#include "edid/EdidImage.h"
#include "ui/qt/Dialogs.h"

namespace tavo {

// `name` is a file name, "display:CONNECTOR" or "preset:NAME" (Dialogs::OpenEdid's answer).
// False when the file cannot be opened, holds hex text of more than 256 bytes, the display has no
// EDID or there is no such ready-made EDID. An empty file reads as all FF, as it always did, and
// fails validation.
bool ReadEdidFile(const QString& name, EdidImage& image);

// Hex text (or a binary image) held in memory, as pasted: false when it is hex text that is too
// long or nothing at all.
bool ReadEdidText(const QByteArray& bytes, EdidImage& image);

// The connected displays that have an EDID, for the "From a connected display…" chooser.
QList<DisplayChoice> ConnectedDisplays();

// The ready-made EDIDs (workspace/Presets.h), for the choosers.
QList<ListChoice> PresetChoices();

} // namespace tavo
