#include "link/DeviceModel.h"

namespace tavo {
namespace {

void AddNumbered(std::vector<std::string>& items, const char* word, unsigned count) {
    for (unsigned i = 1; i <= count; ++i) items.push_back(std::string(word) + " " + std::to_string(i));
}

bool IsFullList(SlotList list) { return list == SlotList::All || list == SlotList::Src; }

} // namespace

std::vector<std::string> SlotListItems(SlotList list, unsigned inputs, unsigned outputs,
                                       unsigned users, unsigned internals) {
    std::vector<std::string> items;
    AddNumbered(items, "Input", inputs);
    if (IsFullList(list)) {
        items.push_back(kSeparatorItem);
        AddNumbered(items, "Output", outputs);
    }
    items.push_back(kSeparatorItem);
    AddNumbered(items, "User", users);
    if (IsFullList(list)) {
        items.push_back(kSeparatorItem);
        AddNumbered(items, "Internal", internals);
    }
    return items;
}

int SlotListInitialPosition(SlotList list, unsigned inputs) {
    return list == SlotList::Src ? static_cast<int>(inputs) + 1 : 0;
}

std::optional<SlotSelector> SlotAtPosition(SlotList list, int position, unsigned inputs,
                                           unsigned outputs, unsigned users, unsigned internals) {
    if (position < 0) return std::nullopt;
    const unsigned p = static_cast<unsigned>(position);
    const unsigned I = inputs, O = outputs, U = users, N = internals;
    if (p < I) return SlotSelector::Make(SlotKind::Input, p);
    if (p == I) return std::nullopt;
    if (!IsFullList(list)) {
        if (p <= I + U) return SlotSelector::Make(SlotKind::User, p - I - 1);
        return std::nullopt;
    }
    if (p <= I + O) return SlotSelector::Make(SlotKind::Output, p - I - 1);
    if (p == I + O + 1) return std::nullopt;
    if (p <= I + O + U + 1) return SlotSelector::Make(SlotKind::User, p - I - O - 2);
    if (p == I + O + U + 2) return std::nullopt;
    if (p <= I + O + U + N + 2) return SlotSelector::Make(SlotKind::Internal, p - I - O - U - 3);
    return std::nullopt;
}

const char* ModeButtonPrefix(ModeButtonKind kind) {
    switch (kind) {
    case ModeButtonKind::Internal: return "RadioButton_Set_IntEdid";
    case ModeButtonKind::External: return "RadioButton_Set_ExtEdid";
    case ModeButtonKind::User: return "RadioButton_Set_UserEdid";
    }
    return "";
}

std::string ModeButtonName(const ModeButton& b) {
    return std::string(ModeButtonPrefix(b.kind)) + std::to_string(b.number);
}

int ModeButtonCount(ModeButtonKind kind) {
    switch (kind) {
    case ModeButtonKind::Internal: return kModeButtonsInternal;
    case ModeButtonKind::External: return kModeButtonsExternal;
    case ModeButtonKind::User: return kModeButtonsUser;
    }
    return 0;
}

std::optional<ModeButton> ModeToButton(unsigned mode, unsigned internals, unsigned outputs,
                                       unsigned users) {
    auto make = [](ModeButtonKind kind, unsigned number) -> std::optional<ModeButton> {
        if (number < 1 || number > static_cast<unsigned>(ModeButtonCount(kind))) return std::nullopt;
        return ModeButton{kind, static_cast<int>(number)};
    };
    const unsigned N = internals, O = outputs, U = users;
    if (mode < N) return make(ModeButtonKind::Internal, mode + 1);
    if (mode < N + O) return make(ModeButtonKind::External, mode - N + 1);
    if (mode < N + O + U) return make(ModeButtonKind::User, mode - N - O + 1);
    return std::nullopt;
}

unsigned ButtonToMode(const ModeButton& b, unsigned internals, unsigned outputs) {
    const unsigned n = static_cast<unsigned>(b.number) - 1;
    switch (b.kind) {
    case ModeButtonKind::Internal: return n;
    case ModeButtonKind::External: return internals + n;
    case ModeButtonKind::User: return internals + outputs + n;
    }
    return n;
}

std::vector<ModeButton> ModeButtonsInUse(unsigned internals, unsigned outputs, unsigned users) {
    std::vector<ModeButton> out;
    auto add = [&](ModeButtonKind kind, unsigned count) {
        const unsigned limit = static_cast<unsigned>(ModeButtonCount(kind));
        for (unsigned i = 1; i <= count && i <= limit; ++i)
            out.push_back({kind, static_cast<int>(i)});
    };
    add(ModeButtonKind::Internal, internals);
    add(ModeButtonKind::External, outputs);
    add(ModeButtonKind::User, users);
    return out;
}

ShowModeActions ComputeShowEdidMode(const DeviceRecord& record, std::uint8_t mode) {
    ShowModeActions a;
    const PortDescriptor& d = record.inputs[0];
    const unsigned N = record.internalCount, O = record.outputCount, U = record.userCount;
    a.newMode = mode;
    if (mode != kModeNone && mode == d.currentMode) return a; // the same mode again
    a.changed = true;
    if (d.modesSelectable == 0 && d.currentMode < N + O + U)
        a.disable = ModeToButton(d.currentMode, N, O, U);
    if (mode < N + O + U) a.enableAndCheck = ModeToButton(mode, N, O, U);
    return a;
}

void StoreShownMode(DeviceRecord& record, const ShowModeActions& actions) {
    if (actions.changed) record.inputs[0].currentMode = actions.newMode;
}

} // namespace tavo
