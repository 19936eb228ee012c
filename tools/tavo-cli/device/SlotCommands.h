#pragma once
// tavo-cli device read|write|mode: slot transfers and the EDID mode over the serial link.
#include "../Command.h"

namespace tavo::cli {

// True for the actions handled here.
bool IsSlotAction(std::string_view action);
// args[0] is the action. Needs a QCoreApplication.
int RunSlotAction(const Args& args);

} // namespace tavo::cli
