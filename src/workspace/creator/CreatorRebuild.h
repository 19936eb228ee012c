#pragma once
// An EDID run through the creator without an edit: loaded as the Open button loads a file, then
// built. Used by `tavo-cli rebuild` and by anything that wants the creator's normal form of an
// EDID.
#include "edid/EdidImage.h"
#include "workspace/creator/CreatorBuild.h"
#include "workspace/creator/CreatorLoad.h"

namespace tavo::creator {

// On success `out` holds the built image, which validates. Fails, leaving `out` alone, with
// - the validation message of an invalid input image (the creator would show only its reset
//   page, and building that would turn the EDID into a page of zeros);
// - the build's message ("... Not A Number!", "Edid Over Size.");
// - the validation message of the built image (only a template with a bad header could cause it).
BuildResult Rebuild(const EdidImage& in, const CalendarDate& today, EdidImage& out);

} // namespace tavo::creator
