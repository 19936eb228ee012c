// "EDID Creator": the template buttons, the upload slot and the seven pages of EDID settings.
#include "app/qt/Pages.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QTabWidget>

namespace tavo::pages {

void BuildEdidCreator(QWidget* page) {
    auto* warning = new QLabel(page);
    warning->setObjectName("Label_EdidCreator_Warning");
    warning->setGeometry(8, 2, 428, 16);

    auto* select = new QGroupBox("Select", page);
    select->setObjectName("GroupBox9");
    select->setGeometry(8, 18, 428, 78);
    MakeSpeedButton(select, "SpeedButton_OpenEdid_Creator", "Open", 8, 18);
    MakeSpeedButton(select, "SpeedButton_OpenEdid_New", "New", 62, 18);
    MakeSpeedButton(select, "SpeedButton_SaveEdid_Creator", "Save", 116, 18);
    MakeSpeedButton(select, "SpeedButton_CopyEdid_Creator", "Upload", 170, 18);
    auto* upload = new QComboBox(select);
    upload->setObjectName("ComboBox_EdidSel_Upload");
    upload->setGeometry(232, 24, 180, 24);
    auto* status = new QLabel(select);
    status->setObjectName("Label3");
    status->setGeometry(232, 52, 180, 18);

    auto* pages = new QTabWidget(page);
    pages->setObjectName("PageControl2");
    pages->setGeometry(4, 100, 436, 322);
    const struct {
        const char* name;
        const char* caption;
    } sheets[] = {{"TabSheet5", "Descriptor"}, {"TabSheet6", "PC Timing"},
                  {"TabSheet7", "SD/HD/UHD"},  {"TabSheet8", "Audio1"},
                  {"TabSheet11", "Audio2"},    {"TabSheet9", "Color Space"},
                  {"TabSheet12", "Others"}};
    for (const auto& s : sheets) {
        auto* sheet = new QWidget;
        sheet->setObjectName(s.name);
        pages->addTab(sheet, s.caption);
    }
    // The row titles beside the speaker check boxes of "Audio1".
    auto* speakerRows = new QLabel(pages->findChild<QWidget*>("TabSheet8"));
    speakerRows->setObjectName("Label6");
    speakerRows->setGeometry(8, 8, 60, 80);
    speakerRows->setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

} // namespace tavo::pages
