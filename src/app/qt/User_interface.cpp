#include "app/qt/User_interface.h"

#include "TavoVersion.h"

#include "link/qt/UartController.h"

#include <QAction>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
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

#include "app/qt/SingleInstance.h"
#include "discovery/qt/DeviceGrid.h"
#include "discovery/qt/IpConfigureLayout.h"
#include "discovery/qt/UdpEndpoints.h"
#include "edid/EdidSource.h"
#include "link/qt/Thread_uart_api.h"
#include "link/qt/UartSession.h"
#include "maintenance/qt/DeviceMenu.h"
#include "maintenance/qt/SystemLayout.h"
#include "maintenance/qt/SystemPage.h"
#include "ui/qt/Dialogs.h"
#include "ui/qt/Glyphs.h"
#include "ui/qt/ScreenPlacement.h"
#include "ui/qt/StringGrid.h"
#include "ui/qt/TabKeys.h"
#include "workspace/qt/EdidAnalyzerLayout.h"
#include "workspace/qt/EdidControllerLayout.h"
#include "workspace/qt/EdidControllerPage.h"
#include "workspace/qt/EdidCreatorLayout.h"
#include "workspace/qt/EdidCreatorPage.h"

namespace tavo {

namespace {

// Main window layout, client coordinates.
constexpr int kClientWidth = 1350; // as designed; narrowed to the grid by FormCreate
constexpr int kClientHeight = 506;
constexpr int kGridLeft = 12, kGridTop = 64, kGridWidth = 553, kGridHeight = 433;
constexpr int kMemoLeft = 592, kMemoTop = 8, kMemoWidth = 289, kMemoHeight = 465;
constexpr int kDebugPaneExtra = kMemoWidth + 25; // the window widens by this for the log
constexpr int kPagesLeft = 896;

// Where the pop-ups go relative to the window they belong to.
constexpr int kCommanderMaxDy = 280, kCommanderMaxDx = 850;
constexpr int kCommanderDy = 80, kCommanderDx = 520;
constexpr int kBesideGap = 15; // between a pop-up and the window it is placed beside
constexpr int kAboutOffset = 150;

const QColor kMoneyGreen(192, 220, 192);

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
    BuildWindow();
    FormCreate();
    Form2 = new TForm2(this);
    Form3 = new TForm3(this);
    Uart = new UartController(state_.uartLink, state_.deviceTable, state_.edidTransfer.image,
                              transport, this);
    Uart->setGlyphSetter([](QAbstractButton* b, const char* name) { SetGlyph(b, name); });
    Uart->setDiscoverySender([this] {
        if (Udp) Udp->SendDiscoveryRequest();
    });
    Uart->setFixedColourSetter([this](const QColor& c) { StringGrid1->SetFixedColor(c); });
    Uart->setPopupCloser([this] {
        Form2->close();
        Form3->close();
    });
    Uart->setWorker(Thread_Uart_Api);
    Uart->attach(this);
    Discovery = new DeviceGrid(state_.deviceTable, state_.netDeviceTable, this);
    Discovery->setIspQuery([this] { return (state_.uartLink.flags & kLinkIspDevice) != 0; });
    Discovery->setCommanderShower([this] { ShowCommander(); });
    Discovery->attach(this, Udp);
    Discovery->ConnectLink(*Uart);
    System = new SystemPage(Uart->session(), state_.deviceTable, this);
    System->attach(this);
    // the update goes on while "Commander" is closed: its progress shows here too
    connect(System, &SystemPage::progressShown, this, [this](const QString& text, bool) {
        if (System->Updating())
            statusBar()->showMessage(QStringLiteral("Firmware update: ") + text);
    });
    connect(System, &SystemPage::updateFinished, this, [this](const QString& line) {
        statusBar()->showMessage(QStringLiteral("Firmware update: ") + line);
    });
    // a lost device closes "Commander" with the page that would show a failure: the main window
    // says what happened, and that an operation it cut has no known result
    connect(&Uart->session(), &UartSession::deviceLost, this, [this] {
        statusBar()->showMessage(
            Uart->session().operationRunning()
                ? QStringLiteral("Device lost during a device operation: its result is not known. "
                                 "Search again and check the device.")
                : QStringLiteral("Device lost."));
    });
    // the end of an update stays on "System" until the next update or search
    Discovery->setUpdateQuery([this] { return System->Updating(); });
    connect(Discovery, &DeviceGrid::rowSelected, System, &SystemPage::RestoreResult);
    connect(&Uart->session(), &UartSession::searchStarted, System, &SystemPage::ForgetResult);
    EdidController = new EdidControllerPage(state_.deviceTable, state_.edidTransfer, *Uart, this);
    EdidController->setAnalyzerShower([this] {
        // the window names the slot it shows: several analyses look alike
        const QString slot = EdidController->AnalysedSlotName();
        Form2->setWindowTitle(slot.isEmpty() ? QStringLiteral("EDID Analyzer")
                                             : QStringLiteral("EDID Analyzer - ") + slot);
        ShowAnalyzer();
    });
    EdidController->attach(this);
    Creator = new EdidCreatorPage(state_.creatorRecord, Uart, this);
    Creator->setAnalysedImage([this]() -> std::optional<EdidImage> {
        // the EDID the analyzer window shows, kept apart from the transfer buffer that later
        // saves and uploads reuse; none before an analysis or after an invalid or incomplete one
        const auto& analysed = EdidController->AnalysedRecord();
        if (!analysed || (analysed->status & kStatusValidationMask)) return std::nullopt;
        return analysed->image;
    });
    Creator->attach(this);
    Device = new DeviceMenu(Uart->session(), this);
    Device->attach(this, menuBar());
    SetUpKeyboard();
    connect(&Uart->session(), &UartSession::operationEnded, this, [this] {
        if (closePending_)
            QTimer::singleShot(0, this, [this] {
                if (!Uart->session().operationRunning()) close();
            });
    });
}

TForm1::~TForm1() = default;

// The window as designed, before FormCreate adjusts it.
void TForm1::BuildWindow() {
    setObjectName("Form1");
    setWindowTitle(kMainCaption);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

    QMenu* edit = menuBar()->addMenu("&Edit");
    CopyEdidHex = edit->addAction("Copy EDID as hex");
    CopyEdidHex->setObjectName("CopyEdidHex");
    connect(CopyEdidHex, &QAction::triggered, this, &TForm1::CopyEdidHexClick);
    PasteEdid = edit->addAction("Paste EDID");
    PasteEdid->setObjectName("PasteEdid");
    connect(PasteEdid, &QAction::triggered, this, &TForm1::PasteEdidClick);
    // copying needs an analysed EDID
    connect(edit, &QMenu::aboutToShow, this, [this] {
        CopyEdidHex->setEnabled(EdidController && EdidController->AnalysedRecord().has_value());
    });

    // the debug log is also reached from the menu; the double-click on its panel stays
    QMenu* view = menuBar()->addMenu("&View");
    DebugLogAction = view->addAction("Debug log");
    DebugLogAction->setObjectName("Action_DebugLog");
    DebugLogAction->setCheckable(true);
    connect(DebugLogAction, &QAction::triggered, this, &TForm1::Panel_DebugDblClick);

    QMenu* help = menuBar()->addMenu("&Help");
    About2 = help->addAction("About");
    About2->setObjectName("About2");
    connect(About2, &QAction::triggered, this, &TForm1::About2Click);

    auto* client = new QWidget(this);
    client->setObjectName("ClientArea");
    setCentralWidget(client);

    Image1 = new QLabel(client);
    Image1->setObjectName("Image1");
    Image1->setGeometry(368, 8, 200, 52);
    Image1->setPixmap(LogoPixmap());

    BitBtn_Search = new QPushButton("Search", client);
    BitBtn_Search->setObjectName("BitBtn_Search");
    BitBtn_Search->setGeometry(12, 22, 100, 32);
    BitBtn_Disconnect = new QPushButton("Disconnect", client);
    BitBtn_Disconnect->setObjectName("BitBtn_Disconnect");
    BitBtn_Disconnect->setGeometry(120, 22, 100, 32);
    BitBtn_Disconnect->setEnabled(false);

    StringGrid1 = new StringGrid(6, client);
    StringGrid1->setObjectName("StringGrid1");
    StringGrid1->setGeometry(kGridLeft, kGridTop, kGridWidth, kGridHeight);
    QFont gridFont("Consolas");
    gridFont.setStyleHint(QFont::Monospace);
    gridFont.setBold(true);
    StringGrid1->setFont(gridFont);
    StringGrid1->horizontalHeader()->setFont(gridFont);
    StringGrid1->SetDefaultRowHeight(21);
    StringGrid1->SetColumnWidths({22, 75, 75, 75, 75, 75});
    StringGrid1->SetRowCount(2);
    StringGrid1->SetFixedColor(kMoneyGreen);

    Panel_Debug = new DebugPanel(client);
    Panel_Debug->setObjectName("Panel_Debug");
    Panel_Debug->setFrameShape(QFrame::NoFrame);
    Panel_Debug->setGeometry(552, 48, 17, 17);
    connect(Panel_Debug, &DebugPanel::doubleClicked, this, &TForm1::Panel_DebugDblClick);

    Memo_Debug = new QPlainTextEdit(client);
    Memo_Debug->setObjectName("Memo_Debug");
    Memo_Debug->setGeometry(kMemoLeft, kMemoTop, kMemoWidth, kMemoHeight);
    Memo_Debug->setReadOnly(true);
    Memo_Debug->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // the status poll adds a line every two seconds: keep the newest lines, not a day of them
    Memo_Debug->setMaximumBlockCount(20000);
    Memo_Debug->hide();

    Button_debug_clear = new QPushButton("Clear", client);
    Button_debug_clear->setObjectName("Button_debug_clear");
    Button_debug_clear->setGeometry(600, 480, 49, 17);
    connect(Button_debug_clear, &QPushButton::clicked, this, &TForm1::Button_debug_clearClick);

    PageControl1 = new QTabWidget(client);
    PageControl1->setObjectName("PageControl1");
    PageControl1->setGeometry(kPagesLeft, 8, 450, 450);
    const struct {
        QWidget** sheet;
        const char* name;
        const char* caption;
        void (*build)(QWidget*);
    } sheets[] = {{&TabSheet10, "TabSheet10", "IP Configure", pages::BuildIpConfigure},
                  {&TabSheet1, "TabSheet1", "EDID Controller", pages::BuildEdidController},
                  {&TabSheet3, "TabSheet3", "EDID Analyzer", pages::BuildEdidAnalyzer},
                  {&TabSheet4, "TabSheet4", "EDID Creator", pages::BuildEdidCreator},
                  {&TabSheet2, "TabSheet2", "System", pages::BuildSystem}};
    for (const auto& s : sheets) {
        *s.sheet = new QWidget;
        (*s.sheet)->setObjectName(s.name);
        s.build(*s.sheet);
        PageControl1->addTab(*s.sheet, s.caption);
    }

    PageControl2 = Find<QTabWidget>("PageControl2");
    Label6 = Find<QLabel>("Label6");
    GroupBox3 = Find<QGroupBox>("GroupBox3");
    GroupBox4 = Find<QGroupBox>("GroupBox4");
    GroupBox5 = Find<QGroupBox>("GroupBox5");
    GroupBox11 = Find<QGroupBox>("GroupBox11");
    GroupBox12 = Find<QGroupBox>("GroupBox12");
    Panel52 = Find<QFrame>("Panel52");
    SpeedButton_OpenEdid = Find<QAbstractButton>("SpeedButton_OpenEdid");
    SpeedButton_SaveEdid = Find<QAbstractButton>("SpeedButton_SaveEdid");
    SpeedButton_CopyEdid_Src2Dest = Find<QAbstractButton>("SpeedButton_CopyEdid_Src2Dest");
    SpeedButton_CopyEdid_Creator = Find<QAbstractButton>("SpeedButton_CopyEdid_Creator");
    SpeedButton_AnalysisEdid = Find<QAbstractButton>("SpeedButton_AnalysisEdid");
    SpeedButton_OpenEdid_Creator = Find<QAbstractButton>("SpeedButton_OpenEdid_Creator");
    SpeedButton_SaveEdid_Creator = Find<QAbstractButton>("SpeedButton_SaveEdid_Creator");
    SpeedButton_OpenEdid_New = Find<QAbstractButton>("SpeedButton_OpenEdid_New");
    SpeedButton_OpenEdid_Analysis = Find<QAbstractButton>("SpeedButton_OpenEdid_Analysis");
    ComboBox_EdidSel_All = Find<QComboBox>("ComboBox_EdidSel_All");
    ComboBox_EdidSel_Src = Find<QComboBox>("ComboBox_EdidSel_Src");
    ComboBox_EdidSel_Dest = Find<QComboBox>("ComboBox_EdidSel_Dest");
    ComboBox_EdidSel_Upload = Find<QComboBox>("ComboBox_EdidSel_Upload");

    // The pages live in "Commander", which shows them when it takes them; left visible here,
    // the hundreds of controls beyond the main window's right edge would be polished and laid
    // out before its first frame for nothing.
    PageControl1->hide();

    // A single fixed border: the operator cannot resize the window; only the code changes its
    // width (start-up, debug pane).
    statusBar()->setObjectName("StatusBar1");
    statusBar()->setSizeGripEnabled(false);
    setFixedSize(kClientWidth,
                 kClientHeight + menuBar()->sizeHint().height() + statusBar()->sizeHint().height());
}

void TForm1::FormCreate() {
    // 1. The serial worker, suspended until a search resumes it.
    Thread_Uart_Api = new TThread_Uart_Api(this);

    // 2.-3. One copy per user: a later copy raises this one and ends without showing a window.
    Guard = new SingleInstanceGuard(windowTitle(), QString(), this);
    if (Guard->TryAcquire()) {
        connect(Guard, &SingleInstanceGuard::raiseRequested, this, &TForm1::BringToFront);
    } else {
        terminateRequested_ = true;
    }

    // 4. The discovery's endpoints. The receive port is bound exclusively, so this also fails
    // when another copy runs.
    Udp = new UdpEndpoints(this);
    if (!Udp->ActivateReceiver()) {
        ShowWarning(nullptr, "Warning", kAlreadyRunningText);
        terminateRequested_ = true;
    } else if (!Udp->JoinedGroup()) {
        DebugLog("Multicast join failed: " + Udp->ReceiverError() + "\r\n");
    }

    // 5. The grid's header row.
    const char* const header[] = {"#",           "Interface",  "Product",
                                  "Description", "IP Address", "MAC Address"};
    for (int c = 0; c < 6; ++c)
        StringGrid1->SetCell(0, c, header[c]);

    // 6. Only the left part of the window is shown: the device pages open in "Commander".
    setFixedWidth(kGridWidth + 30);

    // 7.-8. Creator page state.
    PageControl2->setCurrentWidget(Find<QWidget>("TabSheet5"));
    Label6->setText("High\nFront\nCenter\nRear\nLow");

    // 9. Glyphs: colour where the action is available now, grey where it needs a device.
    SetGlyph(SpeedButton_OpenEdid_Creator, "OpenColor");
    SetGlyph(SpeedButton_OpenEdid, "OpenGray");
    SetGlyph(SpeedButton_SaveEdid_Creator, "SaveColor");
    SetGlyph(SpeedButton_SaveEdid, "SaveGray");
    SetGlyph(SpeedButton_AnalysisEdid, "AnalysisGray");
    SetGlyph(SpeedButton_OpenEdid_New, "BrandNewColor");
    SetGlyph(SpeedButton_CopyEdid_Creator, "CopyUpGray");
    SetGlyph(SpeedButton_CopyEdid_Src2Dest, "CopyLeftGray");

    // 10. Only command mode recognises complete response lines.
    state_.uartLink.receiveMode = kReceiveCommandMode;

    // 11.-12. Tabs and captions.
    PageControl1->setTabVisible(PageControl1->indexOf(TabSheet3), false);
    PageControl1->setTabVisible(PageControl1->indexOf(TabSheet4), true);
    GroupBox3->setTitle("Save  /  Upload  /  Analysis");
}

void TForm1::DebugLog(const QString& text) {
    QTextCursor end(Memo_Debug->document());
    end.movePosition(QTextCursor::End);
    end.insertText(text);
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
    setFixedWidth(width() + (debugShown_ ? kDebugPaneExtra : -kDebugPaneExtra));
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
    // placed beside the main window the first time (unless it stands near it already); after
    // that it stays where the operator put it
    if (!commanderPlaced_ && (std::abs(at.y() - main.y()) > kCommanderMaxDy ||
                              std::abs(at.x() - main.x()) > kCommanderMaxDx)) {
        at = QPoint(main.x() + kCommanderDx, main.y() + kCommanderDy);
    }
    commanderPlaced_ = true;
    // wherever it goes, all of it stays on the main window's screen
    MoveOnScreenOf(Form3, this, at);
    Form3->show();
    Form3->raise();
}

void TForm1::ShowAnalyzer() {
    Form2->Host(GroupBox5);
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
    if (Uart && Uart->session().operationRunning()) {
        event->ignore();
        if (System && System->Updating() && !closePending_) {
            if (!ConfirmWarning(this, QStringLiteral("Warning"), kTextStopFirmware)) return;
            System->StopUpdate();
        }
        closePending_ = true;
        return;
    }
    QMainWindow::closeEvent(event);
    if (event->isAccepted()) emit closed();
}

// ---- entry -------------------------------------------------------------------------------------

int RunApplication(QApplication& app) {
    // Anything thrown out of the start-up or the message loop is shown, then the program ends.
    try {
        auto state = std::make_unique<AppState>();
        TForm1 form1(*state);
        if (form1.TerminateRequested()) return 0;
        QObject::connect(&form1, &TForm1::closed, &app, &QCoreApplication::quit);
        form1.show();
        return app.exec();
    } catch (const std::exception& e) {
        Dialogs::Current().Message(nullptr, {DialogKind::Error, kMainCaption, e.what(), {}});
    }
    return 0;
}

} // namespace tavo
