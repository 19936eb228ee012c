// "EDID Analyzer": holds the "EDID Information" group, which is shown inside the "EDID Analyzer"
// window; the page's own tab is never shown.
#include "app/qt/Pages.h"

#include <QGroupBox>
#include <QVBoxLayout>

namespace tavo::pages {

void BuildEdidAnalyzer(QWidget* page) {
    auto* group = new QGroupBox("EDID Information", page);
    group->setObjectName("GroupBox5");
    group->setGeometry(8, 8, 422, 420);
    MakeSpeedButton(group, "SpeedButton_OpenEdid_Analysis", "Modify", 360, 360);
}

} // namespace tavo::pages
