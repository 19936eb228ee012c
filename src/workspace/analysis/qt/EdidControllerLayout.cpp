// "EDID Controller": slot choice, file to slot and slot to file, slot to slot copy, the analysis
// button and the device's EDID mode.
#include "workspace/analysis/qt/EdidControllerLayout.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "link/DeviceModel.h"
#include "ui/qt/SpeedButton.h"

namespace tavo::pages {

namespace {

QComboBox* MakeCombo(QWidget* parent, const QString& name, int x, int y, int w) {
    auto* c = new QComboBox(parent);
    c->setObjectName(name);
    c->setGeometry(x, y, w, 24);
    return c;
}

QLabel* MakeLabel(QWidget* parent, const QString& name, const QString& text, int x, int y, int w,
                  int h = 16) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setGeometry(x, y, w, h);
    return l;
}

// "Mode Select": one column per kind of EDID source, one row per slot number; every button is
// disabled until a device says which modes it offers.
void BuildModeSelect(QWidget* page) {
    auto* group = new QGroupBox("Mode Select", page);
    group->setObjectName("GroupBox12");
    group->setGeometry(8, 226, 428, 163);
    auto* header = MakeLabel(group, "Label30", "Slot", 8, 18, 30, 14);
    header->setStyleSheet("color: gray;");
    const struct {
        ModeButtonKind kind;
        const char* caption;
        int x;
    } columns[] = {{ModeButtonKind::Internal, "Internal %1", 44},
                   {ModeButtonKind::External, "External %1", 174},
                   {ModeButtonKind::User, "User %1", 304}};
    QFont small = group->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    for (const auto& column : columns) {
        for (int n = 1; n <= ModeButtonCount(column.kind); ++n) {
            auto* b = new QRadioButton(QString(column.caption).arg(n), group);
            b->setObjectName(QString::fromStdString(ModeButtonName({column.kind, n})));
            b->setFont(small);
            b->setGeometry(column.x, 18 + 14 * (n - 1), 120, 14);
            b->setEnabled(false);
        }
    }
}

} // namespace

void BuildEdidController(QWidget* page) {
    auto* group = new QGroupBox(page);
    group->setObjectName("GroupBox3");
    group->setGeometry(8, 8, 428, 112);
    MakeCombo(group, "ComboBox_EdidSel_All", 12, 34, 170);
    MakeSpeedButton(group, "SpeedButton_OpenEdid", "Upload", 200, 20);
    MakeSpeedButton(group, "SpeedButton_SaveEdid", "Save", 262, 20);
    MakeSpeedButton(group, "SpeedButton_AnalysisEdid", "Analysis", 324, 20);
    MakeLabel(group, "Label2", QString(), 12, 82, 400, 20);
    // the EDID that every output's display takes, in a window of its own
    auto* compose = new QPushButton(QStringLiteral("Compose\u2026"), group);
    compose->setObjectName("Button_Compose");
    compose->setToolTip(
        QStringLiteral("Build the EDID that every display behind the device takes"));
    compose->setGeometry(12, 60, 96, 22);
    auto* path = new QLineEdit(group);
    path->setObjectName("Edit_Edid_Path");
    path->hide();

    // The slot to slot copy, shown only for devices that offer it.
    auto* copy = new QFrame(page);
    copy->setObjectName("Panel52");
    copy->setFrameShape(QFrame::StyledPanel);
    copy->setGeometry(8, 126, 428, 94);
    auto* source = new QGroupBox("EDID Source", copy);
    source->setGeometry(6, 6, 170, 60);
    MakeCombo(source, "ComboBox_EdidSel_Src", 8, 24, 154);
    auto* dest = new QGroupBox("Destination", copy);
    dest->setGeometry(252, 6, 170, 60);
    MakeCombo(dest, "ComboBox_EdidSel_Dest", 8, 24, 154);
    MakeSpeedButton(copy, "SpeedButton_CopyEdid_Src2Dest", "Copy", 188, 14);
    // the copy reports here, beside its own controls
    MakeLabel(copy, "Label_Copy_Status", QString(), 10, 70, 408, 18);
    copy->hide();

    BuildModeSelect(page);
}

} // namespace tavo::pages
