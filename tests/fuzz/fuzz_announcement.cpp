// Arbitrary datagrams through the announcement parser and back through the configuration builder.
#include <cstddef>
#include <cstdint>

#include "discovery/Discovery.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tavo::NetDeviceRecord record;
    std::vector<std::array<std::uint8_t, 6>> known(1);
    if (size > 6) std::copy(data, data + 6, known[0].begin());
    const auto verdict = tavo::ParseAnnouncement(data, size, known, record);
    if (verdict == tavo::AnnouncementVerdict::Accepted) {
        tavo::NetConfigEdits edits{1 - record.ipMode, record.ip,  record.mask,
                                   record.gateway,    record.dns, record.productName,
                                   record.serial};
        (void)tavo::BuildConfiguration(record, edits);
        (void)tavo::WebAddress(record);
    }
    return 0;
}
