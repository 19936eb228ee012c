// A creator core file: the rooms below it are fine; its own qt/ header and Qt itself are refused
// (tests/check-layers.sh and tests/check-core-std-only.sh).
#include <QString>

#include "workspace/analysis/WriteCheck.h"
#include "workspace/creator/qt/EdidCreatorPage.h"
#include "workspace/sources/OutputFile.h"
