#include "maintenance/qt/SystemPage.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTextCursor>

#include "link/DeviceModel.h"
#include "link/qt/UartSession.h"
#include "maintenance/qt/SystemConfig.h"
#include "ui/qt/Dialogs.h"
#include "ui/qt/StringGrid.h"

namespace tavo {
namespace {

constexpr int kDescriptionColumn = 3;
const char* const kOpenFilter = "EDID (*.bin)";

void SetTextColour(QLabel* label, bool failure) {
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, failure ? Qt::red : Qt::black);
    label->setPalette(p);
}

// Device texts are 8-bit characters.
QString DeviceText(const std::string& s) {
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

std::string FieldText(const QString& s) {
    return s.toLatin1().toStdString();
}

} // namespace

SystemPage::SystemPage(UartSession& session, DeviceTable& devices, QObject* parent)
    : QObject(parent), session_(session), devices_(devices), transfer_(session) {}

template <class T> T* SystemPage::find(const QString& name) const {
    // the pages live in "Commander" once a row was selected; it is a child window of the root
    return root_ ? root_->findChild<T*>(name) : nullptr;
}

void SystemPage::attach(QWidget* root) {
    root_ = root;
    description_ = find<QLineEdit>("Edit_Product_String");
    path_ = find<QLineEdit>("Edit_Fw_Path");
    status_ = find<QLabel>("Label9");
    version_ = find<QLabel>("Label_FW_Version");
    progress_ = find<QLabel>("Label1");
    bar_ = find<QProgressBar>("ProgressBar_Fw");
    auto button = [&](const char* name, void (SystemPage::*handler)()) {
        if (auto* b = find<QAbstractButton>(name))
            connect(b, &QAbstractButton::clicked, this, handler, Qt::UniqueConnection);
    };
    button("SpeedButton_SysConfig", &SystemPage::SpeedButton_SysConfigClick);
    button("SpeedButton_SysDefault", &SystemPage::SpeedButton_SysDefaultClick);
    button("SpeedButton_OpenFw", &SystemPage::SpeedButton_OpenFwClick);
    button("SpeedButton_UpdateFw", &SystemPage::SpeedButton_UpdateFwClick);
    if (description_)
        connect(description_, &QLineEdit::textChanged, this, &SystemPage::Edit_Product_StringChange,
                Qt::UniqueConnection);
    // Selecting a serial row empties the path and puts "0%" into Label1: the bar follows.
    if (path_)
        connect(path_, &QLineEdit::textChanged, this, [this](const QString& text) {
            if (text.isEmpty() && bar_ && !updating_) bar_->setValue(0);
        });
    if (root_) root_->installEventFilter(this);
}

bool SystemPage::eventFilter(QObject* watched, QEvent* event) {
    // a close during an update is the main window's to decide (it asks, then calls StopUpdate)
    return QObject::eventFilter(watched, event);
}

QWidget* SystemPage::commander() const {
    if (auto* form3 = find<QWidget>("Form3"); form3 && form3->isWindow()) return form3;
    return root_;
}

bool SystemPage::confirm(const QString& text) {
    QWidget* at = commander();
    const QPoint topLeft = at ? at->pos() + QPoint(kConfirmDx, kConfirmDy) : QPoint();
    return ConfirmWarning(at, QStringLiteral("Warning"), text, topLeft);
}

void SystemPage::showProgress(const QString& text, bool failure, int percent) {
    if (progress_) {
        progress_->setText(text);
        SetTextColour(progress_, failure);
    }
    if (bar_ && percent >= 0) bar_->setValue(percent);
    emit progressShown(text, failure);
}

void SystemPage::showStatus(const QString& text, bool failure) {
    if (!status_) return;
    status_->setText(text);
    SetTextColour(status_, failure);
}

void SystemPage::appendLog(const QString& text) {
    auto* memo = find<QPlainTextEdit>("Memo_Debug");
    if (!memo) return;
    QTextCursor end(memo->document());
    end.movePosition(QTextCursor::End);
    end.insertText(text);
}

void SystemPage::replaceLog(const QString& text) {
    if (auto* memo = find<QPlainTextEdit>("Memo_Debug")) memo->clear();
    appendLog(text);
}

void SystemPage::setDescriptionCell(int deviceIndex, const std::string& description) {
    if (auto* grid = find<StringGrid>("StringGrid1"))
        grid->SetCell(deviceIndex + 1, kDescriptionColumn,
                      QStringLiteral(" ") + DeviceText(description) + QStringLiteral(" "));
}

// ---- Configuration -----------------------------------------------------------------------------

void SystemPage::Edit_Product_StringChange() {
    if (!description_) return;
    if (DescriptionTooLong(FieldText(description_->text())))
        showStatus(QStringLiteral("31 Letters Limited!"), true);
    else
        showStatus(QString(), false);
}

void SystemPage::SpeedButton_SysConfigClick() {
    if (!description_) return;
    const DeviceOperation operation(session_);
    if (!operation) return;
    const int index = DeviceTable::ClampIndex(devices_.current);
    DeviceRecord& record = devices_.records[std::size_t(index)];
    // a network row: whatever the serial link reaches, it is not this device
    if (record.serialDevice != 1) return;
    const std::string text = FieldText(description_->text());
    if (text == record.description) {
        showStatus(QStringLiteral("No Changed."), false);
        return;
    }
    record.description = text;
    showStatus(QStringLiteral("Ok."), false);
    SendDescription(session_, text);
    showStatus(QString(), false);
    // the row of the device this was sent to, even if another row was selected meanwhile
    setDescriptionCell(index, text);
}

void SystemPage::SpeedButton_SysDefaultClick() {
    if (restoring_) return;
    const DeviceOperation operation(session_);
    if (!operation) return; // not even the confirmation while another operation runs
    const int index = DeviceTable::ClampIndex(devices_.current);
    if (devices_.records[std::size_t(index)].serialDevice != 1) return;
    if (!confirm(QStringLiteral("Warning!\r\nReset system to default."))) return;
    restoring_ = true;
    RestoreDefaults(session_);
    restoring_ = false;
    const std::string& description = devices_.records[std::size_t(index)].description;
    if (description_) description_->setText(DeviceText(description));
    setDescriptionCell(index, description);
}

// ---- Firmware ----------------------------------------------------------------------------------

void SystemPage::SpeedButton_OpenFwClick() {
    const QString chosen = Dialogs::Current().OpenFile(commander(), QLatin1String(kOpenFilter));
    if (!chosen.isEmpty()) chosenPath_ = chosen;
    // a cancelled dialog checks the earlier choice again; without one there is nothing to check
    if (chosenPath_.isEmpty()) return;
    if (path_) path_->setText(chosenPath_);

    const FirmwareImage image = ReadFirmwareImage(chosenPath_);
    if (!image.opened) {
        replaceLog(QStringLiteral("Fw Open Fail.\r\n"));
        showProgress(QStringLiteral("Update Fw Failed."), true);
        return;
    }
    replaceLog(QStringLiteral("Fw Open OK.\r\n"));
    if (session_.link().ispFlag == 0) return; // only an ISP device's image is examined
    DeviceRecord& record = devices_.Current();
    if (image.header.accepted) {
        showProgress(QStringLiteral("0%"), false, 0);
        record.firmwareFileFlag = 1;
    } else {
        record.firmwareFileFlag = 0;
        // 16-bit addresses cannot reach past 64 KiB: such an image would overwrite the start
        if (image.header.tooLarge) showProgress(FirmwareResultText(FirmwareResult::TooLarge), true);
    }
    if (version_) version_->setText(DeviceText(TargetLine(image.header)));
}

void SystemPage::SpeedButton_UpdateFwClick() {
    // one update at a time: the loop lets the window run, so the button can be clicked again
    if (updating_ || transfer_.running()) return;
    const DeviceOperation operation(session_);
    if (!operation) return;
    if ((session_.link().flags & kLinkIspDevice) == 0) {
        showProgress(QStringLiteral("Not ISP Mode."), true);
        return;
    }
    const int index = DeviceTable::ClampIndex(devices_.current);
    if (devices_.records[std::size_t(index)].firmwareFileFlag == 0) {
        showProgress(FirmwareResultText(FirmwareResult::Illegal), true);
        return;
    }
    updating_ = true;
    if (!confirm(QStringLiteral("Warning!\r\nUpdate system firmware."))) {
        updating_ = false;
        return;
    }
    if (progress_) SetTextColour(progress_, false);
    if (bar_) bar_->setValue(0);

    const FirmwareResult result =
        transfer_.Run(chosenPath_, [this](const QString& label, int percent) {
            showProgress(label, false, percent);
        });
    switch (result) {
    case FirmwareResult::Sent:
    case FirmwareResult::Busy:
        break;
    case FirmwareResult::OpenFailed:
        appendLog(QStringLiteral("Fw Open Fail.\r\n"));
        showProgress(FirmwareResultText(result), true);
        break;
    case FirmwareResult::Illegal:
    case FirmwareResult::TooLarge:
        // the file changed since it was checked: it is no longer an accepted image
        devices_.records[std::size_t(index)].firmwareFileFlag = 0;
        if (version_) version_->setText(QStringLiteral("Target :"));
        showProgress(FirmwareResultText(result), true);
        break;
    case FirmwareResult::Lost:
    case FirmwareResult::Aborted:
        showProgress(FirmwareResultText(result), true);
        break;
    }
    updating_ = false;
}

} // namespace tavo
