// "IP Configure": the network settings of a discovered device. Filled when a network row of the
// device grid is selected; its "Select" group opens the device's web page or sends the edited
// settings back to the device.
#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>

#include "discovery/qt/IpConfigureLayout.h"

#include "ui/qt/SpeedButton.h"

namespace tavo::pages {

namespace {

constexpr int kRowTop = 22, kRowStep = 22, kRowHeight = 20;
constexpr int kCaptionLeft = 8, kCaptionWidth = 150;
constexpr int kValueLeft = 164, kValueWidth = 250;

enum class ValueKind { Label, Edit, Combo };

struct InfoRow {
    const char* caption;
    const char* control;
    ValueKind kind;
};

// The values come from the network: labels show them as plain text, never as markup.
QLabel* PlainLabel(QWidget* parent, const QString& name, const QString& text) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setTextFormat(Qt::PlainText);
    return l;
}

} // namespace

void BuildIpConfigure(QWidget* page) {
    static const InfoRow rows[] = {
        {"     Product ID :", "Label_Product_ID", ValueKind::Label},
        {"     Product Name :", "Label_Product_Name", ValueKind::Label},
        {"     MAC Address :", "Label_MAC_Addr", ValueKind::Label},
        {"     IP Mode :", "ComboBox_IP_Mode", ValueKind::Combo},
        {"     IP Address :", "Edit_IP_Address", ValueKind::Edit},
        {"     SubNet Mask :", "Edit_SubNet_Mask", ValueKind::Edit},
        {"     GateWay IP :", "Edit_GateWay_IP", ValueKind::Edit},
        {"     DNS :", "Edit_DNS", ValueKind::Edit},
        {"     WebGUI Port :", "Edit_WebGUI_Port", ValueKind::Edit},
        {"     Telnet Port :", "Edit_Telnet_Port", ValueKind::Edit},
        {"     S / N :", "Label_Serial_Num", ValueKind::Label},
        {"     Description :", "Label_Description", ValueKind::Label},
        {"     WebGUI :", "Label_Web_Link", ValueKind::Label},
    };
    constexpr int kRows = int(std::size(rows));

    auto* info = new QGroupBox("Information", page);
    info->setObjectName("GroupBox_Information");
    info->setGeometry(8, 4, 428, kRowTop + kRowStep * kRows + 4);
    for (int i = 0; i < kRows; ++i) {
        const InfoRow& r = rows[i];
        const int y = kRowTop + kRowStep * i;
        auto* caption = PlainLabel(info, QString("Panel_IpCaption%1").arg(i + 1), r.caption);
        caption->setFrameShape(QFrame::Panel);
        caption->setFrameShadow(QFrame::Raised);
        caption->setGeometry(kCaptionLeft, y, kCaptionWidth, kRowHeight);
        QWidget* value = nullptr;
        switch (r.kind) {
        case ValueKind::Label:
            value = PlainLabel(info, r.control, QString());
            break;
        case ValueKind::Edit:
            value = new QLineEdit(info);
            break;
        case ValueKind::Combo: {
            auto* combo = new QComboBox(info);
            combo->addItems({"STATIC", "DHCP"});
            value = combo;
            break;
        }
        }
        value->setObjectName(r.control);
        value->setGeometry(kValueLeft, y, kValueWidth, kRowHeight);
        if (QString(r.control) == "Label_Web_Link") {
            // the web page is opened by the "Select" group; this row stays hidden
            static_cast<QLabel*>(value)->setText("Web Link");
            value->setCursor(Qt::PointingHandCursor);
            caption->hide();
            value->hide();
        }
    }

    auto* select = new QGroupBox("Select", page);
    select->setObjectName("GroupBox_Select");
    select->setGeometry(8, info->geometry().bottom() + 6, 428, 78);
    const QAbstractButton* web = MakeSpeedButton(select, "SpeedButton1", "Web Page", 12, 18);
    const QAbstractButton* apply =
        MakeSpeedButton(select, "SpeedButton2", "Apply", web->geometry().right() + 10, 18);
    // What the last send carried, or what went wrong (red); beside the buttons, never over them.
    // The text can be selected: a web address shown there is meant to be copied.
    auto* status = PlainLabel(select, "Label_IpConfig_Status", QString());
    const int left = apply->geometry().right() + 12;
    status->setGeometry(left, 14, select->width() - left - 8, 60);
    status->setWordWrap(true);
    status->setTextInteractionFlags(Qt::TextSelectableByMouse);
}

} // namespace tavo::pages
