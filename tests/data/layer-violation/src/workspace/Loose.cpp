// A core file left beside the rooms: tests/check-layers.sh must refuse it.
#include "workspace/analysis/AnalyzerSummary.h"
