// A sources core file: the analysis below it is fine, the creator above it is refused.
#include "workspace/analysis/AnalyzerSummary.h"
#include "workspace/creator/CreatorPage.h"
