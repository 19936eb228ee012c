#include "workspace/CreatorLoss.h"

#include <algorithm>

#include "workspace/CreatorRebuild.h"

namespace tavo::creator {

std::vector<std::string> LostParts(const EdidImage& opened, const EdidImage& unedited,
                                   const EdidImage& built) {
    const auto byCreator = DiffImages(opened, unedited);
    auto kept = DiffImages(opened, built);
    std::erase_if(kept, [&](const Difference& d) {
        return d.structural || std::find(byCreator.begin(), byCreator.end(), d) == byCreator.end();
    });
    return DifferenceTexts(kept);
}

std::vector<std::string> LostParts(const EdidImage& opened, const EdidImage& built,
                                   const CalendarDate& today) {
    EdidImage unedited;
    if (!Rebuild(opened, today, unedited)) return {};
    return LostParts(opened, unedited, built);
}

std::string LossQuestion(const std::vector<std::string>& lost) {
    std::string out = "This EDID will lose:";
    for (const auto& line : lost)
        out += "\n" + line;
    return out;
}

} // namespace tavo::creator
