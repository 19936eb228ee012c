#pragma once
// The "System" page's handlers: the description text and the defaults ("Configuration") and the
// firmware update ("Firmware"). Attaches to the page's controls by object name, like the link's
// controller and the device grid:
//
//   auto* system = new tavo::SystemPage(form->Uart->session(), state.deviceTable, form);
//   system->attach(form);
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <optional>

#include "maintenance/qt/FirmwareTransfer.h"

class QAbstractButton;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QWidget;

namespace tavo {

struct DeviceTable;
class StringGrid;
class UartSession;

inline constexpr int kConfirmDx = 115; // confirmations stand at "Commander" + (115, 130)
inline constexpr int kConfirmDy = 130;

class SystemPage : public QObject {
    Q_OBJECT
public:
    SystemPage(UartSession& session, DeviceTable& devices, QObject* parent = nullptr);

    // Finds the page's controls (and the grid, the debug log and "Commander") under `root` and
    // connects the buttons and the description field.
    void attach(QWidget* root);

    // ---- the handlers
    void Edit_Product_StringChange();
    void SpeedButton_SysConfigClick();
    void SpeedButton_SysDefaultClick();
    void SpeedButton_OpenFwClick();
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

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    template <class T> T* find(const QString& name) const;
    void showProgress(const QString& text, bool failure, int percent = -1);
    void showStatus(const QString& text, bool failure); // Label9
    void replaceLog(const QString& text);
    void appendLog(const QString& text);
    void setDescriptionCell(int deviceIndex, const std::string& description);
    QWidget* commander() const;
    bool confirm(const QString& text, std::optional<QPoint> at = std::nullopt);
    void showResultLine(const QString& text, bool failure);
    void rejectFile(const QString& reason);

    UartSession& session_;
    DeviceTable& devices_;
    FirmwareTransfer transfer_;
    QPointer<QWidget> root_;
    QPointer<QLineEdit> description_, path_;
    QPointer<QLabel> status_, version_, progress_, result_;
    QPointer<QProgressBar> bar_;
    QString chosenPath_; // the open dialog's current file name
    bool updating_ = false;
    // What the page showed when the last update ended.
    struct KeptResult {
        QString path, version, progress, line;
        bool failure = false;
        int percent = 0;
    };
    std::optional<KeptResult> kept_;
    bool restoring_ = false;
};

} // namespace tavo
