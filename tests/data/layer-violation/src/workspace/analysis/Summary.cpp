// The analysis core reaching over to the sources: tests/check-layers.sh must refuse it (the
// sources use the analysis, not the other way round).
#include "edid/EdidImage.h"
#include "workspace/analysis/HexGrid.h"
#include "workspace/sources/Presets.h"
