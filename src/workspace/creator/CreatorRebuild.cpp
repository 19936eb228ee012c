#include "workspace/creator/CreatorRebuild.h"

namespace tavo::creator {

BuildResult Rebuild(const EdidImage& in, const CalendarDate& today, EdidImage& out) {
    EdidRecord record;
    CreatorPage page;
    OpenImage(record, page, in, today);
    if (record.status & kStatusValidationMask)
        return {false, std::string(ValidationMessage(record.status))};
    if (auto built = Build(page, record); !built) return built;
    std::uint16_t status = 0;
    if (!ValidateImage(record.image, status))
        return {false, std::string(ValidationMessage(status))};
    out = record.image;
    return {};
}

} // namespace tavo::creator
