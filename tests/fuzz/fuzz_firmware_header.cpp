// Arbitrary files through the firmware header check and the transfer plan: the plan covers every
// byte once, in order, padded with 0xFF, and a refused image never gets a plan from the tools.
#include <cstddef>
#include <cstdint>

#include "fuzz_common.h"
#include "maintenance/Firmware.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tavo;
    using tavo::fuzz::Check;
    const FirmwareHeader h = CheckFirmwareHeader(data, size);
    Check(h.version.size() <= 8 && h.vid.size() <= 4 && h.pid.size() <= 4);
    Check(!h.accepted || size >= kFwHeaderOffset + 7);
    (void)TargetLine(h);

    const std::vector<FirmwareStep> plan = FirmwarePlan(data, size);
    const std::size_t blocks = (size + kFwBlock - 1) / kFwBlock;
    Check(plan.size() == 2 * blocks + 1 && plan.back().kind == FirmwareStep::End);
    for (std::size_t b = 0; b < blocks; ++b) {
        const FirmwareStep& a = plan[2 * b];
        const FirmwareStep& d = plan[2 * b + 1];
        Check(a.kind == FirmwareStep::Address && a.address == b * kFwBlock);
        Check(d.kind == FirmwareStep::Data && !d.label.empty());
        for (std::size_t i = 0; i < kFwBlock; ++i) {
            const std::size_t at = b * kFwBlock + i;
            Check(d.data[i] == (at < size ? data[at] : 0xFF));
        }
    }
    return 0;
}
