// "System": the device's description and defaults ("Configuration") and the firmware update
// ("Firmware").
#include "app/qt/Pages.h"

#include <QGroupBox>
#include <QLabel>

namespace tavo::pages {

void BuildSystem(QWidget* page) {
    auto* config = new QGroupBox("Configuration", page);
    config->setObjectName("GroupBox11");
    config->setGeometry(8, 8, 428, 120);

    auto* firmware = new QGroupBox("Firmware", page);
    firmware->setObjectName("GroupBox4");
    firmware->setGeometry(8, 136, 428, 155);
    auto* version = new QLabel(firmware);
    version->setObjectName("Label_FW_Version");
    version->setGeometry(12, 22, 408, 18);
}

} // namespace tavo::pages
