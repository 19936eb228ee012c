#include "app/qt/MainWindowLayout.h"

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>

#include "app/qt/User_interface.h"
#include "discovery/qt/IpConfigureLayout.h"
#include "maintenance/qt/SystemLayout.h"
#include "ui/qt/Glyphs.h"
#include "ui/qt/StringGrid.h"
#include "workspace/analysis/qt/EdidAnalyzerLayout.h"
#include "workspace/analysis/qt/EdidControllerLayout.h"
#include "workspace/creator/qt/EdidCreatorLayout.h"

namespace tavo::pages {

namespace {

constexpr int kGridLeft = 12, kGridTop = 64, kGridHeight = 433;
constexpr int kMemoLeft = 592, kMemoTop = 8, kMemoHeight = 465;
constexpr int kPagesLeft = 896;

const QColor kMoneyGreen(192, 220, 192);

QAction* AddAction(QMenu* menu, const char* text, const char* name) {
    QAction* action = menu->addAction(QString::fromUtf8(text));
    action->setObjectName(QLatin1String(name));
    return action;
}

void BuildMenus(TForm1& form) {
    QMenuBar* bar = form.menuBar();
    QMenu* edit = form.EditMenu = bar->addMenu("&Edit");
    edit->setObjectName("Menu_Edit");
    form.CopyEdidHex = AddAction(edit, "Copy EDID as hex", "CopyEdidHex");
    form.PasteEdid = AddAction(edit, "Paste EDID", "PasteEdid");
    // the debug log is also reached from the menu; the double-click on its panel stays
    QMenu* view = bar->addMenu("&View");
    form.DebugLogAction = AddAction(view, "Debug log", "Action_DebugLog");
    form.DebugLogAction->setCheckable(true);
    QMenu* help = bar->addMenu("&Help");
    form.About2 = AddAction(help, "About", "About2");
}

void BuildGrid(TForm1& form, QWidget* client) {
    form.StringGrid1 = new StringGrid(6, client);
    form.StringGrid1->setObjectName("StringGrid1");
    form.StringGrid1->setGeometry(kGridLeft, kGridTop, kGridWidth, kGridHeight);
    QFont gridFont("Consolas");
    gridFont.setStyleHint(QFont::Monospace);
    gridFont.setBold(true);
    form.StringGrid1->setFont(gridFont);
    form.StringGrid1->horizontalHeader()->setFont(gridFont);
    form.StringGrid1->SetDefaultRowHeight(21);
    form.StringGrid1->SetColumnWidths({22, 75, 75, 75, 75, 75});
    form.StringGrid1->SetRowCount(2);
    form.StringGrid1->SetFixedColor(kMoneyGreen);
}

void BuildDebugPane(TForm1& form, QWidget* client) {
    form.Panel_Debug = new DebugPanel(client);
    form.Panel_Debug->setObjectName("Panel_Debug");
    form.Panel_Debug->setFrameShape(QFrame::NoFrame);
    form.Panel_Debug->setGeometry(552, 48, 17, 17);

    form.Memo_Debug = new QPlainTextEdit(client);
    form.Memo_Debug->setObjectName("Memo_Debug");
    form.Memo_Debug->setGeometry(kMemoLeft, kMemoTop, kMemoWidth, kMemoHeight);
    form.Memo_Debug->setReadOnly(true);
    form.Memo_Debug->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // the status poll adds a line every two seconds: keep the newest lines, not a day of them
    form.Memo_Debug->setMaximumBlockCount(20000);
    form.Memo_Debug->hide();

    form.Button_debug_clear = new QPushButton("Clear", client);
    form.Button_debug_clear->setObjectName("Button_debug_clear");
    form.Button_debug_clear->setGeometry(600, 480, 49, 17);
}

// The device pages' tab sheets, each filled by its page's layout.
void BuildPages(TForm1& form, QWidget* client) {
    form.PageControl1 = new QTabWidget(client);
    form.PageControl1->setObjectName("PageControl1");
    form.PageControl1->setGeometry(kPagesLeft, 8, 450, 450);
    const struct {
        QWidget** sheet;
        const char* name;
        const char* caption;
        void (*build)(QWidget*);
    } sheets[] = {{&form.TabSheet10, "TabSheet10", "IP Configure", BuildIpConfigure},
                  {&form.TabSheet1, "TabSheet1", "EDID Controller", BuildEdidController},
                  {&form.TabSheet3, "TabSheet3", "EDID Analyzer", BuildEdidAnalyzer},
                  {&form.TabSheet4, "TabSheet4", "EDID Creator", BuildEdidCreator},
                  {&form.TabSheet2, "TabSheet2", "System", BuildSystem}};
    for (const auto& s : sheets) {
        *s.sheet = new QWidget;
        (*s.sheet)->setObjectName(s.name);
        s.build(*s.sheet);
        form.PageControl1->addTab(*s.sheet, s.caption);
    }
    // The pages live in "Commander", which shows them when it takes them; left visible here,
    // the hundreds of controls beyond the main window's right edge would be polished and laid
    // out before its first frame for nothing.
    form.PageControl1->hide();
}

} // namespace

void BuildMainWindow(TForm1& form) {
    form.setObjectName("Form1");
    form.setWindowTitle(kMainCaption);
    form.setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                        Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    BuildMenus(form);

    auto* client = new QWidget(&form);
    client->setObjectName("ClientArea");
    form.setCentralWidget(client);

    form.Image1 = new QLabel(client);
    form.Image1->setObjectName("Image1");
    form.Image1->setGeometry(368, 8, 200, 52);
    form.Image1->setPixmap(LogoPixmap());

    form.BitBtn_Search = new QPushButton("Search", client);
    form.BitBtn_Search->setObjectName("BitBtn_Search");
    form.BitBtn_Search->setGeometry(12, 22, 100, 32);
    form.BitBtn_Disconnect = new QPushButton("Disconnect", client);
    form.BitBtn_Disconnect->setObjectName("BitBtn_Disconnect");
    form.BitBtn_Disconnect->setGeometry(120, 22, 100, 32);
    form.BitBtn_Disconnect->setEnabled(false);

    BuildGrid(form, client);
    BuildDebugPane(form, client);
    BuildPages(form, client);

    // A single fixed border: the operator cannot resize the window; only the code changes its
    // width (start-up, debug pane).
    form.statusBar()->setObjectName("StatusBar1");
    form.statusBar()->setSizeGripEnabled(false);
    form.setFixedSize(kClientWidth, kClientHeight + form.menuBar()->sizeHint().height() +
                                        form.statusBar()->sizeHint().height());
}

} // namespace tavo::pages
