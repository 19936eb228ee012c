#pragma once
// The window's answer when a slot's former EDID cannot be kept in the history before a write (or
// before the defaults reset it): the operator is asked (through Dialogs) whether to go on.
#include "link/DeviceCommand.h"
#include "link/qt/SlotTransfer.h"

class QWidget;

namespace tavo {

// "The EDID in Input 1 cannot be kept in the history: write anyway?"
QString WriteWithoutHistoryQuestion(SlotSelector slot);

// "The EDID in User 1 cannot be kept in the history: reset anyway?" (before the defaults)
QString ResetWithoutHistoryQuestion(SlotSelector slot);

// `options` with writeWithoutHistory asking that question over `parent`, the reason below it.
WriteOptions AskBeforeWritingWithoutHistory(QWidget* parent, WriteOptions options = {});

} // namespace tavo
