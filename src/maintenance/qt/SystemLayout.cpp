// "System": the device's description and defaults ("Configuration") and the firmware update
// ("Firmware").
#include "maintenance/qt/SystemLayout.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>

#include "ui/qt/SpeedButton.h"

namespace tavo::pages {

namespace {

QLabel* MakeLabel(QWidget* parent, const QString& name, const QString& text, int x, int y, int w,
                  int h = 18) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setTextFormat(Qt::PlainText); // device texts are never markup
    l->setGeometry(x, y, w, h);
    return l;
}

// A line that may run to two: it wraps between words and starts at its top.
QLabel* MakeWrappedLabel(QWidget* parent, const QString& name, int x, int y, int w, int h) {
    QLabel* l = MakeLabel(parent, name, QString(), x, y, w, h);
    l->setWordWrap(true);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return l;
}

} // namespace

void BuildSystem(QWidget* page) {
    auto* config = new QGroupBox("Configuration", page);
    config->setObjectName("GroupBox11");
    config->setGeometry(8, 8, 428, 120);
    MakeLabel(config, "Label10", "Description :", 12, 34, 80);
    auto* text = new QLineEdit(config);
    text->setObjectName("Edit_Product_String");
    text->setGeometry(96, 32, 208, 22);
    // below the field and the buttons, the group's whole width: a cut description is said with
    // all that the device keeps
    MakeWrappedLabel(config, "Label9", 12, 74, 408, 40);
    MakeSpeedButton(config, "SpeedButton_SysConfig", "Set", 314, 20);
    MakeSpeedButton(config, "SpeedButton_SysDefault", "Default", 368, 20);

    // Only the version line (and little more) shows while the device runs normally; the whole
    // group when it waits in ISP mode.
    auto* firmware = new QGroupBox("Firmware", page);
    firmware->setObjectName("GroupBox4");
    firmware->setGeometry(8, 136, 428, 175);
    MakeLabel(firmware, "Label_FW_Version", QString(), 12, 22, 408);
    auto* path = new QLineEdit(firmware);
    path->setObjectName("Edit_Fw_Path");
    path->setReadOnly(true);
    path->setGeometry(12, 62, 292, 22);
    MakeSpeedButton(firmware, "SpeedButton_OpenFw", "Open", 314, 46);
    MakeSpeedButton(firmware, "SpeedButton_UpdateFw", "Update", 368, 46);
    MakeLabel(firmware, "Label1", "0%", 12, 112, 120);
    auto* bar = new QProgressBar(firmware);
    bar->setObjectName("ProgressBar_Fw");
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setTextVisible(false);
    bar->setGeometry(136, 112, 284, 18);
    // how the last update ended ("V2.10 running: update confirmed" or why it stopped), on two
    // lines when it needs them; stays until the next
    MakeWrappedLabel(firmware, "Label_Fw_Result", 12, 132, 408, 38);
}

} // namespace tavo::pages
