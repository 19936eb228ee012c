#pragma once
// What a build of the creator loses from the EDID that was opened: the differences that come from
// the parts the creator does not model, not from the operator's edits. A difference counts when
// the build without any edit (the creator's rebuild of the opened image) has it too.
#include <string>
#include <vector>

#include "edid/EdidDiff.h"
#include "workspace/CreatorLoad.h"

namespace tavo::creator {

// The differences from `opened` to `built` that `unedited` (the opened image built without an
// edit) shares, as lines of text ("YCbCr 4:2:0 Capability Map Data Block: removed").
std::vector<std::string> LostParts(const EdidImage& opened, const EdidImage& unedited,
                                   const EdidImage& built);

// The same with the unedited build made here through Rebuild. Empty when the opened image does
// not rebuild (an invalid image opens as the reset page: there is nothing to lose on top).
std::vector<std::string> LostParts(const EdidImage& opened, const EdidImage& built,
                                   const CalendarDate& today);

// "This EDID will lose:" and the lines below it, one a line, for the confirmation.
std::string LossQuestion(const std::vector<std::string>& lost);

} // namespace tavo::creator
