#pragma once
// The "System" page's handlers: the description text and the defaults ("Configuration") and the
// firmware update ("Firmware"). Finds its controls on its tab sheet (SystemLayout):
//
//   auto* system = new tavo::SystemPage(form->Uart->session(), state.deviceTable, form);
//   system->setRunner(&form->Uart->runner()); // "Set" and "Default" run there
//   system->attach(form, form->TabSheet2);
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <optional>
#include <string>

#include "maintenance/qt/FirmwareTransfer.h"
#include "ui/qt/PageBase.h"

class QAbstractButton;
class QLabel;
class QLineEdit;
class QProgressBar;
class QWidget;

namespace tavo {

class DeviceOperation;
class DeviceRunner;
struct OperationResult;
struct DeviceRecord;
struct DeviceTable;
class UartSession;

inline constexpr int kConfirmDx = 115; // confirmations stand at "Commander" + (115, 130)
inline constexpr int kConfirmDy = 130;

class SystemPage : public PageBase {
    Q_OBJECT
public:
    SystemPage(UartSession& session, DeviceTable& devices, QObject* parent = nullptr);

    // Where "Set" and "Default" run their sequences (its transfers' history keeps the slots the
    // defaults reset); without one they do nothing.
    void setRunner(DeviceRunner* runner) { runner_ = runner; }

    // Finds the page's controls on its sheet and connects the buttons and the description field;
    // dialogs belong to `window` until the pages move into "Commander".
    void attach(QWidget* window, QWidget* sheet);

    // A serial row was selected: the path emptied, "Configuration" for a normally running device
    // only, its version line, "0%" and its description.
    void SerialDeviceSelected(const tavo::DeviceRecord& record, bool isp);
    // Any row was selected: "0%" and the row's description.
    void DeviceSelected(const tavo::DeviceRecord& record);
    // The device's state changed under the page (a restore): its description shown again.
    void ShowDeviceState();

    // ---- the handlers
    // The description field changed: over 31 bytes it says so.
    void Edit_Product_StringChange();
    // "Set": the description field sent to the device.
    void SpeedButton_SysConfigClick();
    // "Default": after a confirmation, the device's defaults restored (the user slots kept in
    // their history first).
    void SpeedButton_SysDefaultClick();
    // Another operation changed what the serial device holds: the description field and its
    // grid cell show what the current record (the device's last report) holds.
    void ShowDeviceValues();
    // "Open": a firmware image chosen and its header checked.
    void SpeedButton_OpenFwClick();
    // "Update": the chosen image sent to a device waiting in ISP mode, block by block.
    void SpeedButton_UpdateFwClick();

    bool Updating() const { return updating_; }
    // The window closes during an update whose stop the operator confirmed: it ends between two
    // blocks.
    void StopUpdate() { transfer_.abort(); }
    // The file the open dialog last chose (what the update sends).
    QString ChosenFirmware() const { return chosenPath_; }
    const FirmwareTransfer& Transfer() const { return transfer_; }
    FirmwareTransfer& Transfer() { return transfer_; }

    // Puts the last update's end back on the page (path, version line, result) after a row
    // selection reset it: it stays until the next update, Open or search.
    void RestoreResult();
    // Forgets the last update's end (a search starts).
    void ForgetResult() { kept_.reset(); }

signals:
    // Every text this page puts into Label1, in order (failure: shown in red).
    void progressShown(const QString& text, bool failure);
    // An update ended: the line that says how (also shown under the progress).
    void updateFinished(const QString& line);
    // The description the device `deviceIndex` holds now (set, defaults restored).
    void descriptionShown(int deviceIndex, const QString& description);

private:
    template <class T> T* find(const QString& name) const;
    bool linkFree() const;
    void descriptionSent(int index, const std::string& kept, bool cut);
    void defaultsEnded(int index, const OperationResult& result);
    void showProgress(const QString& text, bool failure, int percent = -1);
    void setDescriptionStatus(const QString& text, bool failure); // Label9
    void showFirmwareGroup(bool isp);
    bool confirmUpdate();
    void showUpdateEnd(FirmwareResult result, int index, const DeviceOperation* held);
    void showValuesOf(int deviceIndex);
    bool confirm(const QString& text, std::optional<QPoint> at = std::nullopt);
    void showResultLine(const QString& text, bool failure);
    void rejectFile(const QString& reason);
    // What to do when Update finds no accepted image ("Illegal FW."): open one, open another,
    // or, after an image was sent (the search after it forgot the image), open one again.
    QString imageMissingText() const;

    UartSession& session_;
    DeviceTable& devices_;
    DeviceRunner* runner_ = nullptr;
    bool configuring_ = false; // "Set" or "Default" runs (or asks first)
    FirmwareTransfer transfer_;
    QPointer<QLineEdit> description_, path_;
    QPointer<QLabel> status_, version_, progress_, result_;
    QPointer<QProgressBar> bar_;
    QString chosenPath_; // the open dialog's current file name
    bool updating_ = false;
    bool imageSent_ = false; // the last update sent its whole image (the device restarted)
    // What the page showed when the last update ended.
    struct KeptResult {
        QString path, version, progress, line;
        bool failure = false;
        int percent = 0;
    };
    std::optional<KeptResult> kept_;
};

} // namespace tavo
