#include "link/SlotName.h"

#include <array>

#include "link/Frame.h"

namespace tavo {
namespace {

struct KindWords {
    SlotKind kind;
    std::string_view lower;
    std::string_view file;
};
constexpr std::array<KindWords, 4> kKinds = {{{SlotKind::Input, "input", "Input"},
                                              {SlotKind::Output, "output", "Output"},
                                              {SlotKind::User, "user", "User"},
                                              {SlotKind::Internal, "internal", "Internal"}}};

const KindWords& WordsOf(SlotKind kind) {
    for (const KindWords& k : kKinds)
        if (k.kind == kind) return k;
    return kKinds[0];
}

unsigned Waits(std::uint8_t mode, std::uint16_t command, SlotSelector slot) {
    return PostSendWaits(mode, command, slot).totalMs();
}

} // namespace

std::optional<SlotSelector> ParseSlotName(std::string_view name) {
    for (const KindWords& k : kKinds) {
        if (name.substr(0, k.lower.size()) != k.lower) continue;
        const std::string_view digits = name.substr(k.lower.size());
        if (digits.empty() || digits.size() > 4 || digits[0] == '0') return std::nullopt;
        unsigned n = 0;
        for (char c : digits) {
            if (c < '0' || c > '9') return std::nullopt;
            n = n * 10 + static_cast<unsigned>(c - '0');
        }
        if (n > 4096) return std::nullopt;
        return SlotSelector::Make(k.kind, n - 1);
    }
    return std::nullopt;
}

std::string SlotName(SlotSelector slot) {
    return std::string(WordsOf(slot.kind()).lower) + std::to_string(slot.index() + 1);
}

std::string SlotTitle(SlotSelector slot) {
    return std::string(WordsOf(slot.kind()).file) + ' ' + std::to_string(slot.index() + 1);
}

std::string ProposedEdidFileName(SlotSelector slot) {
    return std::string(WordsOf(slot.kind()).file) + std::to_string(slot.index() + 1) + " EDID.bin";
}

bool SlotExists(SlotSelector slot, unsigned inputs, unsigned outputs, unsigned users,
                unsigned internals) {
    const unsigned counts[] = {inputs, outputs, users, internals};
    return slot.index() < counts[slot.kindCode() & 3];
}

unsigned SlotReadFloorMs(SlotSelector slot) {
    unsigned t = Waits(kModeSet, ND_SEL, slot);
    for (std::uint16_t c : {ND_ED0A, ND_ED0B, ND_ED1A, ND_ED1B})
        t += Waits(kModeGet, c, slot);
    return t;
}

unsigned SlotWriteFloorMs(SlotSelector slot) {
    unsigned t = Waits(kModeSet, ND_SEL, slot);
    for (std::uint16_t c : {ND_ED0A, ND_ED0B, ND_ED1A, ND_ED1B})
        t += Waits(kModeSet, c, slot);
    return t;
}

} // namespace tavo
