#pragma once
// An EDID file as the open dialogs read it: binary or hex text (edid/EdidSource.h).
#include <QString>

#include "edid/EdidImage.h"

namespace tavo {

// False when the file cannot be opened or holds hex text of more than 256 bytes. An empty file
// reads as all FF, as it always did, and fails validation.
bool ReadEdidFile(const QString& path, EdidImage& image);

} // namespace tavo
