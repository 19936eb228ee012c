#pragma once
// The main window's "Device" menu: "History…" (the EDIDs the connected device's slots held before
// they were overwritten, the analyzer summary of the one selected, and its restore), "Backup…"
// and "Restore Backup…" (the whole device into a folder and back). Every dialog goes through
// Dialogs::Current(); the history window is an ordinary window that blocks nothing. Like a page,
// it runs one device operation at a time and shows its results on a status line (PageBase).
#include <QList>
#include <QPointer>

#include "link/qt/SlotHistory.h"
#include "ui/qt/PageBase.h"

class QLabel;
class QListWidget;
class QMenuBar;
class QPushButton;
class QWidget;

namespace tavo {

class SlotTransfer;
class UartSession;
struct BackupReport;
struct BackupOptions;

inline constexpr const char* kTextNoDevice = "No device connected.";

class DeviceMenu : public PageBase {
    Q_OBJECT
public:
    DeviceMenu(UartSession& session, QObject* parent = nullptr);
    ~DeviceMenu() override;

    // Adds the menu to `bar`; dialogs are placed over `window`.
    void attach(QWidget* window, QMenuBar* bar);

    void HistoryClick();        // shows "Form_History" with the connected device's entries
    void BackupClick();         // a folder, then every slot, the mode and the description into it
    void RestoreBackupClick();  // a folder, a confirmation, then the backup written back
    void RestoreSelected();     // the history window's "Restore"
    void keepHistoryOnScreen(); // the history window within its screen's work area
    // A backup or restore in progress stops before its next item (its progress window's Stop).
    // `quietly`: the window is closing; no report box is shown afterwards.
    void Stop(bool quietly = false);
    QWidget* progressWindow() const { return progress_; }

    QWidget* historyWindow() const { return historyWindow_; }
    SlotHistory& history() { return history_; }

signals:
    void finished(); // an action that talked to the device has ended
    // what the device holds changed (slots, mode, description): the current record holds the
    // device's values as it reported them afterwards
    void deviceChanged();

private:
    bool ready(); // a normally running device is connected; says so when not
    void fillHistory();
    void showEntry(int row);
    void showReport(const QString& caption, const BackupReport& report);
    BackupOptions progressOptions(const QString& caption);
    void endProgress();

    UartSession& session_;
    SlotHistory history_;
    SlotTransfer* transfers_ = nullptr;
    QPointer<QWidget> historyWindow_;
    QListWidget* list_ = nullptr;
    QLabel* summary_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* restore_ = nullptr;
    QList<HistoryEntry> entries_;
    QPointer<QWidget> progress_; // "Form_Progress" while a backup or restore runs
    bool stopRequested_ = false;
    bool quiet_ = false; // no report box: the window is closing
};

} // namespace tavo
