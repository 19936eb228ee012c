// A Qt-side file left in the old qt/ folder, in no room: tests/check-layers.sh must refuse it.
#include "workspace/compose/qt/ComposeWindow.h"
