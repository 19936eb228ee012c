// A page that reaches up into the shell: tests/check-layers.sh must refuse it.
#include "app/qt/User_interface.h"
