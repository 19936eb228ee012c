#pragma once
// The main window "TAVO 2016", the two pop-up windows "EDID Analyzer" and "Commander", and the
// application's entry sequence.
#include <QApplication>
#include <QFrame>
#include <QMainWindow>
#include <QString>

#include "app/qt/AppState.h"
#include "ui/qt/PageBase.h"

class QAction;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

namespace tavo {

class DeviceGrid;
class IpConfigurePage;
class EdidControllerPage;
class EdidCreatorPage;
class PageCoordinator;
class SingleInstanceGuard;
class StringGrid;
class UdpEndpoints;
class UartController;
class DeviceMenu;
class SystemPage;
class LinkTransport;

inline constexpr const char* kMainCaption = "TAVO 2016";
// Asked when the window closes during a firmware update.
inline constexpr const char* kTextStopFirmware =
    "A firmware update is running.\r\nStop it? The device stays in ISP mode until the update is "
    "run again.";
inline constexpr const char* kAlreadyRunningText = "TAVO already executed !";

// A small borderless panel that reports double-clicks.
class DebugPanel : public QFrame {
    Q_OBJECT
public:
    using QFrame::QFrame;
signals:
    void doubleClicked();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

// A pop-up window: fixed size, close box only, one client-filling panel `Panel1` that receives a
// control moved in from the main window.
class TPopupForm : public QWidget {
    Q_OBJECT
public:
    TPopupForm(const QString& name, const QString& caption, int width, int height, QWidget* owner);
    QFrame* Panel1 = nullptr;
    // Moves `control` into Panel1, filling it.
    void Host(QWidget* control);
};

class TForm2 : public TPopupForm {
    Q_OBJECT
public:
    explicit TForm2(QWidget* owner);
};

class TForm3 : public TPopupForm {
    Q_OBJECT
public:
    explicit TForm3(QWidget* owner);
};

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    // Builds the window and runs FormCreate; then creates the hidden pop-ups Form2 and Form3.
    // `transport` replaces the serial ports (tests pass an in-memory one); the window owns it.
    explicit TForm1(AppState& state, QWidget* parent = nullptr, LinkTransport* transport = nullptr);
    ~TForm1() override;

    AppState& State() { return state_; }

    // True when FormCreate found another copy running or could not open the discovery's receive
    // port: the window must not be shown and the program ends.
    bool TerminateRequested() const { return terminateRequested_; }

    // Appends text to the debug log as it stands (no line break added).
    void DebugLog(const QString& text) { WriteLog(text, LogWrite::Append); }
    // Writes the debug log: `text` at its end (which stays in view when it was), or in place of
    // everything it holds.
    void WriteLog(const QString& text, tavo::LogWrite how);

    // Handlers.
    void About2Click();
    void CopyEdidHexClick();
    void PasteEdidClick();
    void Panel_DebugDblClick();
    void Button_debug_clearClick();

    // Moves the device pages into "Commander", places it beside the main window and shows it.
    void ShowCommander();
    // Moves the "EDID Information" group into "EDID Analyzer", places it beside "Commander" and
    // shows it.
    void ShowAnalyzer();
    // Restores the window when minimised, else raises it; then activates it.
    void BringToFront();

    bool DebugPaneShown() const { return debugShown_; }

    // Why the EDID Creator cannot take an EDID now ("" when it can): its page is offered only for
    // the serial device, and not in an ISP session.
    QString CreatorUnavailableReason() const;

    // The window's own controls (MainWindowLayout).
    QMenu* EditMenu = nullptr;
    QLabel* Image1 = nullptr;
    QPushButton* BitBtn_Search = nullptr;
    QPushButton* BitBtn_Disconnect = nullptr;
    StringGrid* StringGrid1 = nullptr;
    DebugPanel* Panel_Debug = nullptr;
    QPlainTextEdit* Memo_Debug = nullptr;
    QPushButton* Button_debug_clear = nullptr;
    QAction* About2 = nullptr;
    QAction* CopyEdidHex = nullptr; // Edit menu
    QAction* PasteEdid = nullptr;
    QAction* DebugLogAction = nullptr; // "View" > "Debug log": the debug pane, like the panel
    QTabWidget* PageControl1 = nullptr;
    QWidget* TabSheet10 = nullptr; // "IP Configure"
    QWidget* TabSheet1 = nullptr;  // "EDID Controller"
    QWidget* TabSheet3 = nullptr;  // "EDID Analyzer" (tab hidden)
    QWidget* TabSheet4 = nullptr;  // "EDID Creator"
    QWidget* TabSheet2 = nullptr;  // "System"
    // Made by FormCreate.
    UdpEndpoints* Udp = nullptr;
    SingleInstanceGuard* Guard = nullptr;
    // The pop-ups, made right after FormCreate.
    TForm2* Form2 = nullptr;
    TForm3* Form3 = nullptr;
    // The device grid's rows, drawing and selection, and the networked devices; made last.
    DeviceGrid* Grid = nullptr;
    // "IP Configure": the settings of the networked device whose row was selected.
    IpConfigurePage* IpConfigure = nullptr;
    // The serial link: search, disconnect, every command sent to the device and its answers.
    UartController* Uart = nullptr;
    // The "System" page: description, defaults and the firmware update.
    SystemPage* System = nullptr;
    // The "Device" menu: History…, Backup…, Restore Backup….
    DeviceMenu* DeviceActions = nullptr;
    // "EDID Controller" and the "EDID Analyzer" window: slot transfers, modes, the analysis.
    EdidControllerPage* EdidController = nullptr;
    // The "EDID Creator" pages: the page value, its rules, New/Open/Save/Upload.
    EdidCreatorPage* Creator = nullptr;
    // What one page's event means for the others and for the window.
    PageCoordinator* Pages = nullptr;

    // SIGTERM or SIGHUP: a close that asks nothing. A slot transfer finishes first, a firmware
    // update and a backup or restore stop between two items, then the window closes.
    void CloseOnSignal();

signals:
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    bool closePending_ = false;    // a close waits for the running device operation
    bool closeBySignal_ = false;   // the close was asked by a signal: no questions
    bool commanderPlaced_ = false; // shown once: it stays where the operator puts it
    bool analyzerPlaced_ = false;
    // The debug pane just opened: at its newest line, not under "Commander".
    void ShowDebugLogInView();
    void ConnectWindow();
    void FormCreate();
    void CreatePages(LinkTransport* transport);
    // Tab order, shortcuts (F5 Search) and the keys that skip hidden pages.
    void SetUpKeyboard();

    AppState& state_;
    bool terminateRequested_ = false;
    bool debugShown_ = false;
};

// The entry sequence: the shared state, the main window with its pop-ups, then the message loop
// until the main window closes. Returns the exit code.
int RunApplication(QApplication& app);

} // namespace tavo
