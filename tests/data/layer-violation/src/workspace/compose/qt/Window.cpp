// The Qt sides of the rooms may include each other: no offence here.
#include "workspace/analysis/qt/EdidControllerPage.h"
#include "workspace/compose/Compose.h"
#include "workspace/creator/qt/EdidCreatorPage.h"
