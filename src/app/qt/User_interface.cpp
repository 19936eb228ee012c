#include "app/qt/User_interface.h"

#include "TavoVersion.h"

#include "link/qt/UartController.h"

#include <QAction>
#include <QClipboard>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdlib>
#include <exception>
#include <memory>

#include "app/qt/MainWindowLayout.h"
#include "app/qt/PageCoordinator.h"
#include "app/qt/QuitSignals.h"
#include "app/qt/SingleInstance.h"
#include "discovery/qt/DeviceGrid.h"
#include "discovery/qt/IpConfigurePage.h"
#include "discovery/qt/UdpEndpoints.h"
#include "edid/EdidSource.h"
#include "edid/VisibleText.h"
#include "link/qt/UartSession.h"
#include "maintenance/qt/DeviceMenu.h"
#include "maintenance/qt/SystemPage.h"
#include "ui/qt/Dialogs.h"
#include "ui/qt/ScreenPlacement.h"
#include "ui/qt/StringGrid.h"
#include "ui/qt/TabKeys.h"
#include "workspace/analysis/qt/EdidControllerPage.h"
#include "workspace/creator/qt/EdidCreatorPage.h"

namespace tavo {

namespace {

// Where the pop-ups go relative to the window they belong to.
constexpr int kCommanderMaxDy = 280, kCommanderMaxDx = 850;
constexpr int kCommanderDy = 80, kCommanderDx = 520;
constexpr int kBesideGap = 15; // between a pop-up and the window it is placed beside
constexpr int kAboutOffset = 150;

// The version line comes from the build (the project's version and, from a checkout, the commit).
QString AboutText() {
    return QStringLiteral("TAVO 2016\nVersion %1\n\n"
                          "EDID and device manager for HDMI signal distribution.\n"
                          "Copyright (c) 2016 the TAVO owners. All rights reserved.")
        .arg(QString::fromUtf8(kVersionText));
}

} // namespace

// ---- pop-ups -----------------------------------------------------------------------------------

void DebugPanel::mouseDoubleClickEvent(QMouseEvent* event) {
    QFrame::mouseDoubleClickEvent(event);
    emit doubleClicked();
}

TPopupForm::TPopupForm(const QString& name, const QString& caption, int width, int height,
                       QWidget* owner)
    : QWidget(owner, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setObjectName(name);
    setWindowTitle(caption);
    setFixedSize(width, height);
    Panel1 = new QFrame(this);
    Panel1->setObjectName("Panel1");
    auto* fill = new QVBoxLayout(this);
    fill->setContentsMargins(0, 0, 0, 0);
    fill->addWidget(Panel1);
    auto* inner = new QVBoxLayout(Panel1);
    inner->setContentsMargins(0, 0, 0, 0);
}

void TPopupForm::Host(QWidget* control) {
    if (!control || control->parentWidget() == Panel1) return;
    Panel1->layout()->addWidget(control); // re-parents it
    control->show();
}

TForm2::TForm2(QWidget* owner) : TPopupForm("Form2", "EDID Analyzer", 422, 481, owner) {
    move(889, 154);
}

TForm3::TForm3(QWidget* owner) : TPopupForm("Form3", "Commander", 450, 450, owner) {
    move(424, 154);
}

// ---- main window -------------------------------------------------------------------------------

TForm1::TForm1(AppState& state, QWidget* parent, LinkTransport* transport)
    : QMainWindow(parent), state_(state) {
    pages::BuildMainWindow(*this);
    ConnectWindow();
    FormCreate();
    Form2 = new TForm2(this);
    Form3 = new TForm3(this);
    CreatePages(transport);
    Pages = new PageCoordinator(*this);
    SetUpKeyboard();
    // a deferred close comes once the link is free and the runner has nothing left to run
    const auto closeWhenFree = [this] {
        if (closePending_)
            QTimer::singleShot(0, this, [this] {
                if (!Uart->session().operationRunning() && Uart->runner().idle()) close();
            });
    };
    connect(&Uart->session(), &UartSession::operationEnded, this, closeWhenFree);
    connect(&Uart->runner(), &DeviceRunner::becameIdle, this, closeWhenFree);
}

TForm1::~TForm1() = default;

// The window's own controls to its handlers.
void TForm1::ConnectWindow() {
    connect(CopyEdidHex, &QAction::triggered, this, &TForm1::CopyEdidHexClick);
    connect(PasteEdid, &QAction::triggered, this, &TForm1::PasteEdidClick);
    // copying needs an analysed EDID
    connect(EditMenu, &QMenu::aboutToShow, this, [this] {
        CopyEdidHex->setEnabled(EdidController && EdidController->AnalysedRecord().has_value());
    });
    connect(DebugLogAction, &QAction::triggered, this, &TForm1::Panel_DebugDblClick);
    connect(About2, &QAction::triggered, this, &TForm1::About2Click);
    connect(Panel_Debug, &DebugPanel::doubleClicked, this, &TForm1::Panel_DebugDblClick);
    connect(Button_debug_clear, &QPushButton::clicked, this, &TForm1::Button_debug_clearClick);
}

// The serial link and the pages' behaviour, each on its own tab sheet.
void TForm1::CreatePages(LinkTransport* transport) {
    Uart = new UartController(state_.uartLink, state_.deviceTable, state_.edidTransfer.image,
                              transport, this);
    Uart->setDiscoverySender([this] {
        if (Udp) Udp->SendDiscoveryRequest();
    });
    Uart->setFixedColourSetter([this](const QColor& c) { StringGrid1->SetFixedColor(c); });
    Uart->attach({this, StringGrid1, Memo_Debug, BitBtn_Search, BitBtn_Disconnect});
    Grid = new DeviceGrid(state_.deviceTable, state_.netDeviceTable, this);
    Grid->attach(this, StringGrid1, Udp);
    Grid->ConnectLink(*Uart);
    IpConfigure = new IpConfigurePage(this);
    IpConfigure->attach(this, TabSheet10, *Grid, Udp);
    // columns wider than the grid (a long description, a MAC address): the grid and the window
    // widen, the log pane moving along, so that no column is cut
    connect(Grid, &DeviceGrid::widthWanted, this, [this](int wanted) {
        const int delta = wanted - StringGrid1->width();
        if (delta <= 0) return;
        StringGrid1->resize(wanted, StringGrid1->height());
        for (QWidget* w : {static_cast<QWidget*>(Panel_Debug), static_cast<QWidget*>(Memo_Debug),
                           static_cast<QWidget*>(Button_debug_clear)})
            if (w) w->move(w->x() + delta, w->y());
        setFixedWidth(width() + delta);
        if (isVisible()) MoveOnScreenOf(this, nullptr, pos());
    });
    System = new SystemPage(Uart->session(), state_.deviceTable, this);
    System->setRunner(&Uart->runner()); // Default keeps the user slots in the runner's history
    System->attach(this, TabSheet2);
    Grid->setUpdateQuery([this] { return System->Updating(); });
    EdidController = new EdidControllerPage(state_.deviceTable, state_.edidTransfer, *Uart, this);
    EdidController->setAnalyzerShower([this] {
        // the window names the slot it shows: several analyses look alike
        const QString slot = EdidController->AnalysedSlotName();
        Form2->setWindowTitle(slot.isEmpty() ? QStringLiteral("EDID Analyzer")
                                             : QStringLiteral("EDID Analyzer - ") + slot);
        ShowAnalyzer();
    });
    EdidController->attach(this, TabSheet1, TabSheet3);
    Creator = new EdidCreatorPage(state_.creatorRecord, Uart, this);
    Creator->setAnalysedImage([this]() -> std::optional<EdidImage> {
        // the EDID the analyzer window shows, kept apart from the transfer buffer that later
        // saves and uploads reuse; none before an analysis or after an invalid or incomplete one
        const auto& analysed = EdidController->AnalysedRecord();
        if (!analysed || (analysed->status & kStatusValidationMask)) return std::nullopt;
        return analysed->image;
    });
    Creator->attach(this, TabSheet4);
    DeviceActions = new DeviceMenu(Uart->session(), this);
    DeviceActions->attach(this, menuBar());
}

void TForm1::FormCreate() {
    // 1.-2. One copy per user: a later copy raises this one and ends without showing a window.
    Guard = new SingleInstanceGuard(windowTitle(), QString(), this);
    if (Guard->TryAcquire()) {
        connect(Guard, &SingleInstanceGuard::raiseRequested, this, &TForm1::BringToFront);
    } else {
        terminateRequested_ = true;
    }

    // 3. The discovery's endpoints. The receive port is bound exclusively, so this also fails
    // when another copy runs.
    Udp = new UdpEndpoints(this);
    if (!Udp->ActivateReceiver()) {
        ShowWarning(nullptr, "Warning", kAlreadyRunningText);
        terminateRequested_ = true;
    } else if (!Udp->JoinedGroup()) {
        DebugLog("Multicast join failed: " + Udp->ReceiverError() + "\r\n");
    }

    // 4. The grid's header row.
    const char* const header[] = {"#",           "Interface",  "Product",
                                  "Description", "IP Address", "MAC Address"};
    for (int c = 0; c < 6; ++c)
        StringGrid1->SetCell(0, c, header[c]);

    // 5. Only the left part of the window is shown: the device pages open in "Commander".
    setFixedWidth(pages::kGridWidth + 30);

    // 6. Only command mode recognises complete response lines.
    state_.uartLink.receiveMode = kReceiveCommandMode;

    // 7. Tabs: the analyzer's sheet only holds what "EDID Analyzer" shows.
    PageControl1->setTabVisible(PageControl1->indexOf(TabSheet3), false);
    PageControl1->setTabVisible(PageControl1->indexOf(TabSheet4), true);
}

void TForm1::WriteLog(const QString& raw, LogWrite how) {
    // what devices and files say is shown, never acted on
    const QString text = QString::fromStdString(VisibleText(raw.toStdString(), true));
    if (how == LogWrite::Replace) {
        Memo_Debug->setPlainText(text);
        return;
    }
    QScrollBar* bar = Memo_Debug->verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    QTextCursor end(Memo_Debug->document());
    end.movePosition(QTextCursor::End);
    end.insertText(text);
    if (atEnd) bar->setValue(bar->maximum());
}

// The EDID the analyzer window shows, as hex text that every EDID input reads back.
void TForm1::CopyEdidHexClick() {
    if (!EdidController || !EdidController->AnalysedRecord()) return;
    const EdidImage& image = EdidController->AnalysedRecord()->image;
    QGuiApplication::clipboard()->setText(QString::fromLatin1(EdidHexText(image)));
}

QString TForm1::CreatorUnavailableReason() const {
    if (PageControl1->isTabVisible(PageControl1->indexOf(TabSheet4))) return QString();
    if (state_.uartLink.flags & kLinkIspDevice)
        return QStringLiteral("The device is in ISP mode: only its firmware can be updated.");
    return QStringLiteral("The EDID Creator works with the serial device: select its row.");
}

// The clipboard's EDID (hex text) into the creator, as its Open loads a file; shown in
// "Commander". Where the creator has no page (a networked row, an ISP session) the status bar
// says why and nothing changes.
void TForm1::PasteEdidClick() {
    if (!Creator || Creator->busy()) return;
    if (const QString why = CreatorUnavailableReason(); !why.isEmpty()) {
        statusBar()->showMessage(QStringLiteral("Paste EDID: ") + why);
        return;
    }
    Creator->openPasted(QGuiApplication::clipboard()->text().toUtf8());
    PageControl1->setCurrentWidget(TabSheet4);
    ShowCommander();
}

void TForm1::SetUpKeyboard() {
    // Search, Disconnect, then the grid as one stop; the log's Clear only while the log shows
    setTabOrder(BitBtn_Search, BitBtn_Disconnect);
    setTabOrder(BitBtn_Disconnect, StringGrid1);
    setTabOrder(StringGrid1, Memo_Debug);
    setTabOrder(Memo_Debug, Button_debug_clear);
    Button_debug_clear->setVisible(debugShown_);
    // F5 searches from every window of the program while Search can be pressed
    auto* search = new QShortcut(QKeySequence(Qt::Key_F5), BitBtn_Search);
    search->setContext(Qt::ApplicationShortcut);
    connect(search, &QShortcut::activated, BitBtn_Search, &QAbstractButton::animateClick);
    BitBtn_Search->setToolTip(QStringLiteral("Search (F5)"));
    KeepKeysOnShownTabs(PageControl1);
}

void TForm1::About2Click() {
    ShowInformation(this, "Information", AboutText(), pos() + QPoint(kAboutOffset, kAboutOffset));
}

void TForm1::Panel_DebugDblClick() {
    debugShown_ = !debugShown_;
    Memo_Debug->setVisible(debugShown_);
    Button_debug_clear->setVisible(debugShown_);
    if (DebugLogAction) DebugLogAction->setChecked(debugShown_);
    setFixedWidth(width() + (debugShown_ ? pages::kDebugPaneExtra : -pages::kDebugPaneExtra));
    if (debugShown_) {
        MoveOnScreenOf(this, nullptr, pos()); // widened near the screen's edge: all of it in sight
        ShowDebugLogInView();
    }
}

void TForm1::Button_debug_clearClick() {
    Memo_Debug->clear();
}

void TForm1::ShowCommander() {
    Form3->Host(PageControl1);
    const QPoint main = pos();
    QPoint at = Form3->pos();
    // The first time: its start place counts from the main window's corner, where the window
    // manager may have put the main window anywhere (taken from the screen's corner, it could
    // stand over the grid); moved beside the main window when that is far from it. After that it
    // stays where the operator put it.
    if (!commanderPlaced_) {
        at += main;
        if (std::abs(at.y() - main.y()) > kCommanderMaxDy ||
            std::abs(at.x() - main.x()) > kCommanderMaxDx)
            at = QPoint(main.x() + kCommanderDx, main.y() + kCommanderDy);
    }
    commanderPlaced_ = true;
    // wherever it goes, all of it stays on the main window's screen
    MoveOnScreenOf(Form3, this, at);
    Form3->show();
    Form3->raise();
}

void TForm1::ShowAnalyzer() {
    Form2->Host(EdidController->AnalyzerGroup());
    // the first time beside "Commander", on the side where it covers no window of the program;
    // after that where the operator put it
    if (!analyzerPlaced_)
        PlaceBesideOnScreen(Form2, Form3, kBesideGap);
    else
        MoveOnScreenOf(Form2, this, Form2->pos());
    analyzerPlaced_ = true;
    Form2->show();
}

void TForm1::ShowDebugLogInView() {
    // the newest line in view, also once the pane has its size
    auto toEnd = [memo = QPointer<QPlainTextEdit>(Memo_Debug)] {
        if (!memo) return;
        memo->moveCursor(QTextCursor::End);
        memo->verticalScrollBar()->setValue(memo->verticalScrollBar()->maximum());
    };
    toEnd();
    QTimer::singleShot(0, Memo_Debug, toEnd);
    // "Commander" stays above the main window: it moves off the log
    const QRect log(Memo_Debug->mapToGlobal(QPoint(0, 0)), Memo_Debug->size());
    if (Form3 && Form3->isVisible() && Form3->frameGeometry().intersects(log))
        PlaceBesideOnScreen(Form3, this, kBesideGap);
}

void TForm1::BringToFront() {
    if (isMinimized()) {
        setWindowState(windowState() & ~Qt::WindowMinimized);
        show();
    } else {
        raise();
    }
    activateWindow();
}

void TForm1::closeEvent(QCloseEvent* event) {
    // An operation holds the link: a slot transfer finishes first (a half-written slot holds
    // neither EDID); a firmware update stops between two blocks if the operator says so. The
    // window closes when the operation has ended.
    if (Uart && (Uart->session().operationRunning() || !Uart->runner().idle())) {
        event->ignore();
        if (System && System->Updating() && !closePending_ && !closeBySignal_) {
            if (!ConfirmWarning(this, QStringLiteral("Warning"), kTextStopFirmware)) return;
            System->StopUpdate();
        }
        closePending_ = true;
        return;
    }
    QMainWindow::closeEvent(event);
    if (event->isAccepted()) emit closed();
}

void TForm1::CloseOnSignal() {
    closeBySignal_ = true;
    if (System && System->Updating()) System->StopUpdate();
    if (DeviceActions) DeviceActions->Stop(true);
    close();
}

// ---- entry -------------------------------------------------------------------------------------

int RunApplication(QApplication& app) {
    // Anything thrown out of the start-up or the message loop is shown, then the program ends.
    try {
        auto state = std::make_unique<AppState>();
        TForm1 form1(*state);
        if (form1.TerminateRequested()) return 0;
        QObject::connect(&form1, &TForm1::closed, &app, &QCoreApplication::quit);
        const QuitSignals quitSignals([&form1] { form1.CloseOnSignal(); });
        form1.show();
        return app.exec();
    } catch (const std::exception& e) {
        Dialogs::Current().Message(nullptr, {DialogKind::Error, kMainCaption, e.what(), {}});
    }
    return 0;
}

} // namespace tavo
