#include "maintenance/qt/SystemPage.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTextCursor>

#include "link/DeviceModel.h"
#include "link/SlotName.h"
#include "link/qt/DeviceRunner.h"
#include "link/qt/UartSession.h"
#include "maintenance/Firmware.h"
#include "maintenance/qt/SystemConfig.h"
#include "ui/qt/Dialogs.h"
#include "ui/qt/HistoryQuestion.h"
#include "ui/qt/ShownText.h"
#include "ui/qt/SpeedButton.h"

namespace tavo {
namespace {

constexpr int kFirmwareGroupShort = 48; // little more than the caption
constexpr int kFirmwareGroupFull = 175; // the result line may take two lines
const char* const kOpenFilter = "Firmware image (*.bin)";
const char* const kOpenCaption = "Open Firmware Image";
constexpr int kConfirmGap = 8; // the firmware confirmation stands this far below the group

QColor Colour(bool failure) {
    return failure ? QColor(Qt::red) : QColor(Qt::black);
}

// The description travels as UTF-8, as the search shows it in the grid and tavo-cli sends it.
QString DeviceText(const std::string& s) {
    return QString::fromStdString(s);
}

std::string FieldText(const QString& s) {
    return s.toStdString();
}

} // namespace

SystemPage::SystemPage(UartSession& session, DeviceTable& devices, QObject* parent)
    : PageBase(parent), session_(session), devices_(devices), transfer_(session) {}

template <class T> T* SystemPage::find(const QString& name) const {
    return control<T>(name);
}

void SystemPage::attach(QWidget* window, QWidget* sheet) {
    attachTo(window, {sheet});
    description_ = find<QLineEdit>("Edit_Product_String");
    path_ = find<QLineEdit>("Edit_Fw_Path");
    status_ = find<QLabel>("Label9");
    version_ = find<QLabel>("Label_FW_Version");
    progress_ = find<QLabel>("Label1");
    result_ = find<QLabel>("Label_Fw_Result");
    bar_ = find<QProgressBar>("ProgressBar_Fw");
    auto button = [&](const char* name, void (SystemPage::*handler)()) {
        if (auto* b = find<QAbstractButton>(name))
            connect(b, &QAbstractButton::clicked, this, handler, Qt::UniqueConnection);
    };
    button("SpeedButton_SysConfig", &SystemPage::SpeedButton_SysConfigClick);
    button("SpeedButton_SysDefault", &SystemPage::SpeedButton_SysDefaultClick);
    button("SpeedButton_OpenFw", &SystemPage::SpeedButton_OpenFwClick);
    button("SpeedButton_UpdateFw", &SystemPage::SpeedButton_UpdateFwClick);
    pages::GiveShortcut(find<QAbstractButton>("SpeedButton_OpenFw"), QKeySequence::Open);
    if (description_)
        connect(description_, &QLineEdit::textChanged, this, &SystemPage::Edit_Product_StringChange,
                Qt::UniqueConnection);
    // Selecting a serial row empties the path and puts "0%" into Label1: the bar follows, and the
    // image accepted before is forgotten, so that Update never sends a file shown nowhere.
    if (path_)
        connect(path_, &QLineEdit::textChanged, this, [this](const QString& text) {
            if (!text.isEmpty()) return;
            if (bar_ && !updating_) bar_->setValue(0);
            chosenPath_.clear();
            devices_.Current().firmwareFileFlag = 0;
        });
    connect(&session_, &UartSession::deviceFound, this, &SystemPage::showFirmwareGroup);
}

// Only the version line shows while the device runs normally: no half-cut button peeks out below
// it. The whole group when it waits in ISP mode.
void SystemPage::showFirmwareGroup(bool isp) {
    auto* box = find<QWidget>("GroupBox4");
    if (!box) return;
    box->setFixedHeight(isp ? kFirmwareGroupFull : kFirmwareGroupShort);
    for (auto* child : box->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        if (child != version_) child->setVisible(isp);
}

void SystemPage::SerialDeviceSelected(const DeviceRecord& record, bool isp) {
    if (path_) path_->clear();
    if (auto* configuration = find<QWidget>("GroupBox11")) configuration->setVisible(!isp);
    if (version_)
        version_->setText(isp ? QStringLiteral("Target :")
                              : QString::fromStdString(
                                    CurrentLine(record.vid, record.pid, record.firmwareVersion)));
    DeviceSelected(record);
}

void SystemPage::DeviceSelected(const DeviceRecord& record) {
    showStatus(progress_, QStringLiteral("0%"), Qt::black);
    if (description_) description_->setText(QString::fromStdString(record.description));
}

void SystemPage::ShowDeviceState() {
    const int index = DeviceTable::ClampIndex(devices_.current);
    const DeviceRecord& record = devices_.records[std::size_t(index)];
    if (record.serialDevice != 1) return;
    if (description_) description_->setText(DeviceText(record.description));
    emit descriptionShown(index, ShownText(record.description));
}

bool SystemPage::confirm(const QString& text, std::optional<QPoint> at) {
    QWidget* window = dialogParent();
    const QPoint topLeft =
        at ? *at : (window ? window->pos() + QPoint(kConfirmDx, kConfirmDy) : QPoint());
    return ConfirmWarning(window, QStringLiteral("Warning"), text, topLeft);
}

void SystemPage::showResultLine(const QString& text, bool failure) {
    showStatus(result_, text, Colour(failure));
}

void SystemPage::rejectFile(const QString& reason) {
    showProgress(reason, true);
    showResultLine(QString(), false);
}

void SystemPage::RestoreResult() {
    if (!kept_ || updating_) return;
    if (path_) path_->setText(kept_->path);
    if (version_) version_->setText(kept_->version);
    showStatus(progress_, kept_->progress, Colour(kept_->failure));
    if (bar_) bar_->setValue(kept_->percent);
    showResultLine(kept_->line, kept_->failure);
}

void SystemPage::showProgress(const QString& text, bool failure, int percent) {
    showStatus(progress_, text, Colour(failure));
    if (bar_ && percent >= 0) bar_->setValue(percent);
    emit progressShown(text, failure);
}

void SystemPage::setDescriptionStatus(const QString& text, bool failure) {
    showStatus(status_, text, Colour(failure));
}

// ---- Configuration -----------------------------------------------------------------------------

void SystemPage::Edit_Product_StringChange() {
    if (!description_) return;
    const QString text = description_->text();
    if (DescriptionTooLong(FieldText(text)))
        // the limit is of bytes: a text of fewer letters is over it when some take more than one
        setDescriptionStatus(text.size() <= qsizetype(kDescriptionLimit)
                                 ? QStringLiteral("31 Letters Limited! (31 bytes: a letter "
                                                  "outside ASCII takes two or more)")
                                 : QStringLiteral("31 Letters Limited!"),
                             true);
    else
        setDescriptionStatus(QString(), false);
}

bool SystemPage::linkFree() const {
    // one device operation at a time: not while this page or another one uses the link
    return runner_ && !configuring_ && !busy() && !session_.operationRunning() && runner_->idle();
}

void SystemPage::SpeedButton_SysConfigClick() {
    if (!description_ || !linkFree()) return;
    const int index = DeviceTable::ClampIndex(devices_.current);
    DeviceRecord& record = devices_.records[std::size_t(index)];
    // a network row: whatever the serial link reaches, it is not this device
    if (record.serialDevice != 1) return;
    const std::string text = FieldText(description_->text());
    if (text == record.description) {
        setDescriptionStatus(QStringLiteral("No Changed."), false);
        return;
    }
    // the device keeps at most 31 bytes, cut between characters: so do the record and the grid
    const std::string kept(CutAtCharacter(text, kDescriptionLimit));
    record.description = kept;
    setDescriptionStatus(QStringLiteral("Sending..."), false);
    configuring_ = true;
    const QPointer<SystemPage> self(this);
    runner_->submit(SetDescription{text},
                    [self, index, kept, cut = kept.size() < text.size()](const OperationResult&) {
                        if (self) self->descriptionSent(index, kept, cut);
                    });
}

// The description went to the device `index` and it had its time to take it; what is said stays
// until the next action. A cut the operator did not make is said, with what the device keeps.
void SystemPage::descriptionSent(int index, const std::string& kept, bool cut) {
    configuring_ = false;
    if (cut)
        setDescriptionStatus(QStringLiteral("Cut to %1 bytes: the device keeps \"%2\".")
                                 .arg(kDescriptionLimit)
                                 .arg(DeviceText(kept)),
                             false);
    else
        setDescriptionStatus(QStringLiteral("Ok."), false);
    // the row of the device this was sent to, even if another row was selected meanwhile
    emit descriptionShown(index, ShownText(kept));
}

void SystemPage::SpeedButton_SysDefaultClick() {
    if (!linkFree()) return; // not even the confirmation while another operation runs
    const int index = DeviceTable::ClampIndex(devices_.current);
    if (devices_.records[std::size_t(index)].serialDevice != 1) return;
    const unsigned users = devices_.records[std::size_t(index)].userCount;
    configuring_ = true; // while the question is asked too
    if (!confirm(QString::fromStdString(DefaultsQuestion(users)))) {
        configuring_ = false;
        return;
    }
    // what the defaults replace is kept first, as a write keeps what it replaces; when it
    // cannot be kept, nothing is sent unless the operator says so
    const QPointer<SystemPage> self(this);
    DefaultsOptions options;
    options.progress = [self](int n, int total, SlotSelector slot) {
        if (self)
            self->setDescriptionStatus(QString::fromStdString(DefaultsKeepingText(slot, n, total)),
                                       false);
    };
    QPointer<QWidget> over(dialogParent());
    options.resetWithoutHistory = [over](SlotSelector slot, const std::string& reason) {
        return ConfirmWarning(over, QStringLiteral("Warning"),
                              ResetWithoutHistoryQuestion(slot) + QStringLiteral("\n") +
                                  QString::fromStdString(reason));
    };
    options.restoring = [self] {
        if (self) self->setDescriptionStatus(QStringLiteral("Restoring defaults..."), false);
    };
    runner_->submit(RestoreDefaults{options}, [self, index](const OperationResult& r) {
        if (self) self->defaultsEnded(index, r);
    });
}

// How the defaults of device `index` ended.
void SystemPage::defaultsEnded(int index, const OperationResult& r) {
    configuring_ = false;
    DefaultsKeep keep = r.keep.value_or(DefaultsKeep{});
    if (!r.keep) keep.lost = true; // it ended before it began
    if (!keep.ok()) {
        setDescriptionStatus(keep.lost ? QStringLiteral("Nothing reset: the device was lost.")
                                       : QStringLiteral("Nothing reset: the EDID in ") +
                                             QString::fromStdString(SlotTitle(keep.slot)) +
                                             QStringLiteral(" cannot be kept in the history."),
                             true);
        return;
    }
    showValuesOf(index);
    // the slots, the mode and the description changed: what the pages said of them goes
    emit session_.deviceStateChanged();
    // after the field's own check
    if (r.reported)
        setDescriptionStatus(keep.kept > 0 ? QStringLiteral("Defaults restored; the former "
                                                            "EDIDs are in the history.")
                                           : QStringLiteral("Defaults restored."),
                             false);
    else
        setDescriptionStatus(
            QStringLiteral("Defaults sent: the device did not report its description."), true);
}

void SystemPage::ShowDeviceValues() {
    const int index = DeviceTable::ClampIndex(devices_.current);
    if (devices_.records[std::size_t(index)].serialDevice == 1) showValuesOf(index);
}

void SystemPage::showValuesOf(int index) {
    const std::string& description = devices_.records[std::size_t(index)].description;
    if (description_) description_->setText(DeviceText(description));
    emit descriptionShown(index, ShownText(description));
}

// ---- Firmware ----------------------------------------------------------------------------------

void SystemPage::SpeedButton_OpenFwClick() {
    const QString chosen = Dialogs::Current().OpenFile(dialogParent(), QLatin1String(kOpenFilter),
                                                       QLatin1String(kOpenCaption));
    if (!chosen.isEmpty()) chosenPath_ = chosen;
    // a cancelled dialog checks the earlier choice again; without one there is nothing to check
    if (chosenPath_.isEmpty()) return;
    if (path_) path_->setText(chosenPath_);
    // a new file: what was said about the last one (or the last update) goes
    kept_.reset();
    imageSent_ = false;
    showProgress(QStringLiteral("0%"), false, 0);
    showResultLine(QString(), false);

    const FirmwareImage image = ReadFirmwareImage(chosenPath_);
    if (!image.opened) {
        replaceLog(QStringLiteral("Fw Open Fail.\r\n"));
        showProgress(QStringLiteral("Update Fw Failed."), true);
        return;
    }
    replaceLog(QStringLiteral("Fw Open OK.\r\n"));
    // a file that is no firmware image is said so at once, whatever the device
    if (!image.header.accepted)
        rejectFile(FirmwareResultText(image.header.tooLarge ? FirmwareResult::TooLarge
                                                            : FirmwareResult::Illegal));
    if (session_.link().ispFlag == 0) return; // only an ISP device's image is examined
    DeviceRecord& record = devices_.Current();
    record.firmwareFileFlag = image.header.accepted ? 1 : 0;
    if (version_) version_->setText(DeviceText(TargetLine(image.header)));
}

void SystemPage::SpeedButton_UpdateFwClick() {
    // one update at a time: the loop lets the window run, so the button can be clicked again
    if (updating_ || transfer_.running()) return;
    const Operation operation(*this, session_);
    if (!operation) return;
    if ((session_.link().flags & kLinkIspDevice) == 0) {
        showProgress(QStringLiteral("Not ISP Mode."), true);
        return;
    }
    const int index = DeviceTable::ClampIndex(devices_.current);
    if (devices_.records[std::size_t(index)].firmwareFileFlag == 0) {
        // the device's own words, and below them what to do
        showProgress(FirmwareResultText(FirmwareResult::Illegal), true);
        showResultLine(imageMissingText(), true);
        return;
    }
    updating_ = true;
    if (!confirmUpdate()) {
        updating_ = false;
        return;
    }
    kept_.reset();
    imageSent_ = false;
    showResultLine(QString(), false);
    if (progress_) showStatus(progress_, progress_->text(), Qt::black);
    if (bar_) bar_->setValue(0);

    const FirmwareResult result =
        transfer_.Run(chosenPath_, [this](const QString& label, int percent) {
            showProgress(label, false, percent);
        });
    if (result != FirmwareResult::Busy) showUpdateEnd(result, index, operation.held());
    updating_ = false;
}

QString SystemPage::imageMissingText() const {
    if (imageSent_)
        return QStringLiteral("The image was sent and the device searched for again: to update "
                              "once more, open a firmware image again.");
    if (chosenPath_.isEmpty()) return QStringLiteral("Open a firmware image first.");
    return QStringLiteral("The file opened is not a firmware image: open another.");
}

// The confirmation names the image it will write and stands below the firmware group, clear of
// the version line and the progress.
bool SystemPage::confirmUpdate() {
    const FirmwareHeader header = ReadFirmwareImage(chosenPath_).header;
    std::optional<QPoint> below;
    if (auto* group = find<QWidget>("GroupBox4"); group && dialogParent())
        below = QPoint(dialogParent()->pos().x() + kConfirmDx,
                       group->mapToGlobal(QPoint(0, group->height() + kConfirmGap)).y());
    return confirm(QStringLiteral("Warning!\r\nUpdate system firmware.\r\n") +
                       DeviceText(TargetLine(header))
                           .replace(QStringLiteral("Target :"), QStringLiteral("Image :")),
                   below);
}

// How an update of device `index` ended (`held`: the operation the update runs under); it stays
// on the page until the next update, Open or search.
void SystemPage::showUpdateEnd(FirmwareResult result, int index, const DeviceOperation* held) {
    bool failed = FirmwareResultFailed(result);
    switch (result) {
    case FirmwareResult::Busy:
        return;
    case FirmwareResult::Sent: {
        // the device restarts: the version it then reports says whether the update took
        showResultLine(QStringLiteral("Image sent; waiting for the device to restart..."), false);
        const QPointer<PageBase> self(this);
        const FirmwareConfirmation c = transfer_.Confirm(held);
        if (!self) return;
        log(QString::fromStdString(c.text()) + QStringLiteral("\r\n"));
        failed = c.check == FirmwareCheck::Mismatch;
        imageSent_ = true; // the search after it forgot the image: Update needs another Open
        showResultLine(QString::fromStdString(c.text()), failed);
        break;
    }
    case FirmwareResult::OpenFailed:
        log(QStringLiteral("Fw Open Fail.\r\n"));
        showProgress(FirmwareResultText(result), true);
        break;
    case FirmwareResult::Illegal:
    case FirmwareResult::TooLarge:
        // the file changed since it was checked: it is no longer an accepted image
        devices_.records[std::size_t(index)].firmwareFileFlag = 0;
        if (version_) version_->setText(QStringLiteral("Target :"));
        showProgress(FirmwareResultText(result), true);
        break;
    case FirmwareResult::Refused:
        log(transfer_.refusal() + QStringLiteral("\r\n"));
        showProgress(FirmwareResultText(result), true);
        break;
    case FirmwareResult::Lost:
    case FirmwareResult::Aborted:
        showProgress(FirmwareResultText(result), true);
        break;
    }
    if (FirmwareResultFailed(result)) showResultLine(FirmwareStopText(result, transfer_), true);
    KeptResult kept;
    kept.path = path_ ? path_->text() : chosenPath_;
    kept.version = version_ ? version_->text() : QString();
    kept.progress = progress_ ? progress_->text() : QString();
    kept.failure = failed;
    kept.percent = bar_ ? bar_->value() : 0;
    kept.line = result_ ? result_->text() : QString();
    kept_ = kept;
    emit updateFinished(kept.line.isEmpty() ? kept.progress : kept.line);
}

} // namespace tavo
