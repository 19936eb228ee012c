#pragma once
// What a build of the creator changes in the EDID that was opened, on its own: the differences
// that come from the parts the creator does not model (and the blocks it adds), not from the
// operator's edits. A difference counts when the build without any edit (the creator's rebuild of
// the opened image) has it too. Each change is said in the page's terms first ("L-PCM: 176.4 and
// 192 kHz") with the block map's byte detail after it.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "edid/EdidDiff.h"
#include "workspace/creator/CreatorLoad.h"

namespace tavo::creator {

struct BuildChange {
    bool added = false; // the build adds it; otherwise the EDID loses it (or its former value)
    std::string words;  // in the page's terms: "YCbCr 4:2:0 capability map"
    std::string detail; // the block map's: "YCbCr 4:2:0 Capability Map Data Block: removed"
    // Neither lost nor gained: the same things in another order, a value that changes both ways.
    bool changed = false;
    // "words (detail)", or the detail alone when there are no words of its own
    std::string Line() const;
    // What the question says: the words, or the detail without its byte values.
    std::string Said() const;
    bool operator==(const BuildChange&) const = default;
};

// The changes from `opened` to `built` that `unedited` (the opened image built without an edit)
// shares. A build as DVI of an opened CTA extension is one change: the whole extension.
std::vector<BuildChange> BuildChanges(const EdidImage& opened, const EdidImage& unedited,
                                      const EdidImage& built);

// The same with the unedited build made here through Rebuild. Empty when the opened image does
// not rebuild (an invalid image opens as the reset page: there is nothing to lose on top).
std::vector<BuildChange> BuildChanges(const EdidImage& opened, const EdidImage& built,
                                      const CalendarDate& today);

// The same for an opened EDID of any size: one of more than two blocks as its base block and first
// CTA-861 extension (FirstTwoBlocks) above, and every other block, which the two-block build does
// not write, lost as the diff names a removed block ("DisplayID block 2: tiled display 2 x 1,
// 5120x1440 at 240 Hz"). Anything else as its slot's image.
std::vector<BuildChange> BuildChanges(std::span<const std::uint8_t> opened, const EdidImage& built,
                                      const CalendarDate& today);

// For the confirmation: "This EDID will lose:" and the losses, then "It will gain:" and the
// additions, then "It will change:" and what is neither ("This EDID will gain:" and so on when
// nothing comes before), one a line each in the page's terms, without byte values.
std::string LossQuestion(const std::vector<BuildChange>& changes);

} // namespace tavo::creator
