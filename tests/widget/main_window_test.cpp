// The main window at start-up and its frame behaviour: grid header, width, debug pane, about box,
// pages and glyphs, pop-up placement, the discovery's UDP endpoints and the single-instance guard.
// Runs offscreen in a network namespace and runtime directory of its own.
#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QLocalServer>
#include <QLockFile>
#include <QNetworkDatagram>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QUdpSocket>
#include <functional>
#include <map>
#include <memory>

#include "TavoVersion.h"

#include "app/qt/AppState.h"
#include "app/qt/SingleInstance.h"
#include "app/qt/User_interface.h"
#include "discovery/qt/UdpEndpoints.h"
#include "link/DeviceModel.h"
#include "link/qt/UartController.h"
#include "support/RecordingDialogs.h"
#include "ui/qt/Glyphs.h"
#include "ui/qt/StringGrid.h"

using namespace tavo;
using tavo::test::RecordingDialogs;
using tavo::test::ScopedDialogs;

namespace {

// A process id that no process has: a child that has already ended.
qint64 DeadProcessId() {
    QProcess p;
    p.start("true", {});
    p.waitForStarted();
    const qint64 pid = p.processId();
    p.waitForFinished();
    return pid;
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    RecordingDialogs dialogs_;
    std::unique_ptr<ScopedDialogs> installed_;
    AppState state_;

    std::unique_ptr<TForm1> MakeForm() { return std::make_unique<TForm1>(state_); }

    // `window` was asked for `wanted`: it stands there when all of it fits the work area of the
    // main window's screen; otherwise it is moved just enough, inside the area.
    static void CheckPlaced(const QWidget* window, QPoint wanted, const QWidget* main) {
        const QRect area = main->screen()->availableGeometry();
        // the rows are laid out for the 1600 x 1000 screen the tests run on
        QVERIFY(area.width() >= 1600 && area.height() >= 1000);
        const QRect frame = window->frameGeometry();
        QVERIFY2(area.contains(frame), qPrintable(QString("%1,%2 %3x%4")
                                                      .arg(frame.x())
                                                      .arg(frame.y())
                                                      .arg(frame.width())
                                                      .arg(frame.height())));
        const QRect asked(wanted, frame.size());
        auto axis = [](int askedLow, int askedHigh, int areaLow, int areaHigh, int got) {
            if (askedLow < areaLow) return got == areaLow;
            if (askedHigh > areaHigh) return got + (askedHigh - askedLow) == areaHigh;
            return got == askedLow;
        };
        QVERIFY(axis(asked.left(), asked.right(), area.left(), area.right(), frame.left()));
        QVERIFY(axis(asked.top(), asked.bottom(), area.top(), area.bottom(), frame.top()));
    }

private slots:
    void init() {
        dialogs_ = RecordingDialogs();
        installed_ = std::make_unique<ScopedDialogs>(&dialogs_);
    }
    void cleanup() { installed_.reset(); }

    void startsWithCaptionGridAndWidth() {
        auto form = MakeForm();
        QVERIFY(!form->TerminateRequested());
        QVERIFY(dialogs_.messages.isEmpty());
        QCOMPARE(form->windowTitle(), QString("TAVO 2016"));

        StringGrid* grid = form->StringGrid1;
        QCOMPARE(grid->objectName(), QString("StringGrid1"));
        QCOMPARE(grid->columnCount(), 6);
        QCOMPARE(grid->RowCount(), 2);
        const QStringList header = {"#",           "Interface",  "Product",
                                    "Description", "IP Address", "MAC Address"};
        // every header whole and every column inside the grid from the start
        const QList<int> widths = {22, 75, 75, 75, 75, 75};
        const QFontMetrics headerFont(grid->horizontalHeader()->font());
        int total = 0;
        for (int c = 0; c < 6; ++c) {
            QCOMPARE(grid->Cell(0, c), header[c]);
            QCOMPARE(grid->columnWidth(c),
                     std::max(widths[c], headerFont.horizontalAdvance(header[c]) + 8));
            QCOMPARE(grid->Cell(1, c), QString());
            total += grid->columnWidth(c);
        }
        QVERIFY(total <= grid->viewport()->width());
        // the window shows the whole grid below the buttons, and no more than a margin beside it
        form->layout()->activate();
        const QRect client = form->centralWidget()->rect();
        QVERIFY(client.contains(grid->geometry()));
        QVERIFY(grid->geometry().top() > form->BitBtn_Search->geometry().bottom());
        QVERIFY(client.right() - grid->geometry().right() < form->BitBtn_Search->width());
        // the header and every row are tall enough for their text
        const int textHeight = QFontMetrics(grid->font()).height();
        QVERIFY(grid->horizontalHeader()->height() >= headerFont.height());
        QVERIFY(grid->verticalHeader()->defaultSectionSize() >= textHeight);
        QVERIFY(grid->font().bold());
        QVERIFY(grid->verticalHeader()->isHidden()); // no fixed column

        // The header row is painted money green: check the rendered pixels, not just a setting.
        const QColor green(192, 220, 192);
        QCOMPARE(grid->FixedColor(), green);
        const QImage header_image = grid->horizontalHeader()->grab().toImage();
        QCOMPARE(header_image.pixelColor(26, 4).rgb(), green.rgb());
        QCOMPARE(header_image.pixelColor(grid->columnWidth(0) + grid->columnWidth(1) + 4, 4).rgb(),
                 green.rgb());

        QCOMPARE(form->BitBtn_Search->text(), QString("Search"));
        QVERIFY(form->BitBtn_Search->isEnabled());
        QCOMPARE(form->BitBtn_Disconnect->text(), QString("Disconnect"));
        QVERIFY(!form->BitBtn_Disconnect->isEnabled());
        QVERIFY(!form->Image1->pixmap().isNull());
        QVERIFY(form->Memo_Debug->isHidden());
        // the debug pane's double-click target lies in the window, clear of the buttons
        QVERIFY(client.contains(form->Panel_Debug->geometry()));
        for (const QWidget* button : {form->BitBtn_Search, form->BitBtn_Disconnect})
            QVERIFY(!button->geometry().intersects(form->Panel_Debug->geometry()));
        QCOMPARE(state_.uartLink.receiveMode, kReceiveCommandMode);
    }

    void pagesAndTabsAtStart() {
        auto form = MakeForm();
        QTabWidget* pages = form->PageControl1;
        const struct {
            const char* name;
            const char* caption;
            bool tabVisible;
        } expected[] = {{"TabSheet10", "IP Configure", true},
                        {"TabSheet1", "EDID Controller", true},
                        {"TabSheet3", "EDID Analyzer", false},
                        {"TabSheet4", "EDID Creator", true},
                        {"TabSheet2", "System", true}};
        QCOMPARE(pages->count(), 5);
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(pages->widget(i)->objectName(), QString(expected[i].name));
            QCOMPARE(pages->tabText(i), QString(expected[i].caption));
            QCOMPARE(pages->isTabVisible(i), expected[i].tabVisible);
        }

        QTabWidget* creator = form->findChild<QTabWidget*>("PageControl2");
        const QStringList names = {"TabSheet5",  "TabSheet6", "TabSheet7", "TabSheet8",
                                   "TabSheet11", "TabSheet9", "TabSheet12"};
        const QStringList captions = {"Descriptor", "PC Timing",   "SD/HD/UHD", "Audio1",
                                      "Audio2",     "Color Space", "Others"};
        QCOMPARE(creator->count(), 7);
        for (int i = 0; i < 7; ++i) {
            QCOMPARE(creator->widget(i)->objectName(), names[i]);
            QCOMPARE(creator->tabText(i), captions[i]);
        }
        QCOMPARE(creator->currentWidget()->objectName(), QString("TabSheet5"));
        QVERIFY(form->TabSheet4->isAncestorOf(creator));

        QCOMPARE(form->findChild<QLabel*>("Label6")->text(),
                 QString("High\nFront\nCenter\nRear\nLow"));
        QCOMPARE(form->findChild<QGroupBox*>("GroupBox3")->title(),
                 QString("Save  /  Upload  /  Analysis"));
        QCOMPARE(form->findChild<QGroupBox*>("GroupBox4")->title(), QString("Firmware"));
        QCOMPARE(form->findChild<QGroupBox*>("GroupBox11")->title(), QString("Configuration"));
        QCOMPARE(form->findChild<QGroupBox*>("GroupBox5")->title(), QString("EDID Information"));
        QCOMPARE(form->findChild<QGroupBox*>("GroupBox12")->title(), QString("Mode Select"));
        QVERIFY(form->TabSheet3->isAncestorOf(form->findChild<QGroupBox*>("GroupBox5")));
        QVERIFY(form->TabSheet2->isAncestorOf(form->findChild<QGroupBox*>("GroupBox4")));
        for (const char* name :
             {"Label_EdidCreator_Warning", "Label3", "Label30", "Label_FW_Version"})
            QVERIFY2(form->findChild<QLabel*>(name), name);
        for (QComboBox* combo : {form->findChild<QComboBox*>("ComboBox_EdidSel_All"),
                                 form->findChild<QComboBox*>("ComboBox_EdidSel_Src"),
                                 form->findChild<QComboBox*>("ComboBox_EdidSel_Dest"),
                                 form->findChild<QComboBox*>("ComboBox_EdidSel_Upload")}) {
            QVERIFY(combo);
            QCOMPARE(combo->count(), 0);
        }
        QVERIFY(form->TabSheet1->isAncestorOf(form->findChild<QFrame*>("Panel52")));
        QVERIFY(
            form->TabSheet4->isAncestorOf(form->findChild<QComboBox*>("ComboBox_EdidSel_Upload")));
    }

    void modeSelectButtonsAllPresentAndDisabled() {
        auto form = MakeForm();
        int found = 0;
        for (ModeButtonKind kind :
             {ModeButtonKind::Internal, ModeButtonKind::External, ModeButtonKind::User}) {
            const QString word = kind == ModeButtonKind::Internal   ? "Internal"
                                 : kind == ModeButtonKind::External ? "External"
                                                                    : "User";
            for (int n = 1; n <= ModeButtonCount(kind); ++n) {
                const QString name = QString::fromStdString(ModeButtonName({kind, n}));
                auto* b = form->findChild<QRadioButton*>(name);
                QVERIFY2(b, qPrintable(name));
                QCOMPARE(b->text(), QString("%1 %2").arg(word).arg(n));
                QVERIFY(!b->isEnabled());
                QVERIFY(!b->isChecked());
                QCOMPARE(b->parentWidget(), form->findChild<QGroupBox*>("GroupBox12"));
                ++found;
            }
        }
        QCOMPARE(found, 17);
        QCOMPARE(form->findChild<QGroupBox*>("GroupBox12")->findChildren<QRadioButton*>().size(),
                 17);
    }

    void glyphsAssignedAtStart() {
        auto form = MakeForm();
        const struct {
            QAbstractButton* button;
            const char* glyph;
        } expected[] = {
            {form->findChild<QAbstractButton*>("SpeedButton_OpenEdid_Creator"), "OpenColor"},
            {form->findChild<QAbstractButton*>("SpeedButton_OpenEdid"), "OpenGray"},
            {form->findChild<QAbstractButton*>("SpeedButton_SaveEdid_Creator"), "SaveColor"},
            {form->findChild<QAbstractButton*>("SpeedButton_SaveEdid"), "SaveGray"},
            {form->findChild<QAbstractButton*>("SpeedButton_AnalysisEdid"), "AnalysisGray"},
            {form->findChild<QAbstractButton*>("SpeedButton_OpenEdid_New"), "BrandNewColor"},
            {form->findChild<QAbstractButton*>("SpeedButton_CopyEdid_Creator"), "CopyUpGray"},
            {form->findChild<QAbstractButton*>("SpeedButton_CopyEdid_Src2Dest"), "CopyLeftGray"},
            {form->findChild<QAbstractButton*>("SpeedButton_OpenEdid_Analysis"), ""}};
        for (const auto& e : expected) {
            QVERIFY(e.button);
            QCOMPARE(GlyphOf(e.button), QString(e.glyph));
            QCOMPARE(e.button->icon().isNull(), QString(e.glyph).isEmpty());
        }
        // Every one of the thirteen pictures loads, and a colour glyph differs from its grey twin.
        QCOMPARE(GlyphNames().size(), 13);
        for (const QString& name : GlyphNames())
            QVERIFY2(!Glyph(name).isNull(), qPrintable(name));
        for (const char* base : {"Open", "Save", "Analysis", "CopyUp", "CopyLeft", "Modify"}) {
            const QImage colour = Glyph(QString(base) + "Color").toImage();
            const QImage grey = Glyph(QString(base) + "Gray").toImage();
            QCOMPARE(colour.size(), grey.size());
            QVERIFY(colour != grey);
        }

        // The connection swaps glyphs by name; an unknown name leaves the button as it was.
        QVERIFY(SetGlyph(form->findChild<QAbstractButton*>("SpeedButton_OpenEdid"), "OpenColor"));
        QCOMPARE(GlyphOf(form->findChild<QAbstractButton*>("SpeedButton_OpenEdid")),
                 QString("OpenColor"));
        QVERIFY(
            !SetGlyph(form->findChild<QAbstractButton*>("SpeedButton_OpenEdid"), "NoSuchGlyph"));
        QCOMPARE(GlyphOf(form->findChild<QAbstractButton*>("SpeedButton_OpenEdid")),
                 QString("OpenColor"));
    }

    void buttonsLookLikeButtons() {
        auto form = MakeForm();
        // every glyph button of the pages: raised, and it takes the focus and shows it
        const auto buttons = form->findChildren<QToolButton*>(QRegularExpression("^SpeedButton"));
        QVERIFY(buttons.size() >= 10);
        for (const QToolButton* b : buttons) {
            QVERIFY2(!b->autoRaise(), qPrintable(b->objectName()));
            QCOMPARE(b->focusPolicy(), Qt::StrongFocus);
        }
        for (const char* name :
             {"SpeedButton_SysConfig", "SpeedButton_SysDefault", "SpeedButton_OpenFw",
              "SpeedButton_UpdateFw", "SpeedButton1", "SpeedButton2"})
            QVERIFY2(form->findChild<QToolButton*>(name), name);
    }

    void debugPaneToggleRestoresWidth() {
        auto form = MakeForm();
        form->StringGrid1->SetRowCount(4); // the width must not depend on the grid's content
        const int start = form->width();
        // the double-click and "View" > "Debug log" toggle the same pane, in any mix
        QAction* menu = form->findChild<QAction*>("Action_DebugLog");
        QVERIFY(menu);
        QCOMPARE(menu->text(), QString("Debug log"));
        const std::function<void()> toggles[] = {
            [&] { QTest::mouseDClick(form->Panel_Debug, Qt::LeftButton); },
            [&] { menu->trigger(); }};
        for (int round = 0; round < 4; ++round) {
            toggles[round % 2]();
            QVERIFY(form->DebugPaneShown());
            QVERIFY(menu->isChecked());
            QVERIFY(!form->Memo_Debug->isHidden());
            // the whole log shows beside the grid
            form->layout()->activate();
            QVERIFY(form->centralWidget()->rect().contains(form->Memo_Debug->geometry()));
            QVERIFY(form->Memo_Debug->geometry().left() > form->StringGrid1->geometry().right());
            toggles[(round / 2) % 2]();
            QVERIFY(!form->DebugPaneShown());
            QVERIFY(!menu->isChecked());
            QVERIFY(form->Memo_Debug->isHidden());
            QCOMPARE(form->width(), start);
        }
    }

    void clearEmptiesHiddenLog() {
        auto form = MakeForm();
        form->DebugLog("Check COM1\r\n");
        form->DebugLog("No Device Detected.\r\n");
        QVERIFY(form->Memo_Debug->toPlainText().contains("No Device Detected."));
        QVERIFY(form->Memo_Debug->isHidden());
        QTest::mouseClick(form->Button_debug_clear, Qt::LeftButton);
        QCOMPARE(form->Memo_Debug->toPlainText(), QString());
    }

    void aboutBoxOpensAt150150_data() {
        QTest::addColumn<QPoint>("mainPos");
        QTest::newRow("near origin") << QPoint(0, 0);
        QTest::newRow("middle") << QPoint(300, 200);
        QTest::newRow("far") << QPoint(1000, 640);
    }
    void aboutBoxOpensAt150150() {
        QFETCH(QPoint, mainPos);
        auto form = MakeForm();
        form->move(mainPos);
        QCOMPARE(form->pos(), mainPos);
        QCOMPARE(form->About2->text(), QString("About"));
        form->About2->trigger();
        QCOMPARE(dialogs_.messages.size(), 1);
        QVERIFY(dialogs_.confirmations.isEmpty()); // a single OK button
        const DialogMessage& box = dialogs_.messages.front();
        QCOMPARE(box.kind, DialogKind::Information);
        QVERIFY(box.text.contains(QString("Version ") + tavo::kVersionText)); // the build's version
        QVERIFY(box.text.contains("Copyright"));
        QVERIFY(box.topLeft.has_value());
        QCOMPARE(*box.topLeft, mainPos + QPoint(150, 150));
    }

    void commanderPlacement_data() {
        QTest::addColumn<QPoint>("mainAt");
        QTest::addColumn<QPoint>("commanderAt");
        QTest::addColumn<QPoint>("wanted");
        // moved beside the main window only when more than 850 across or 280 down away from it
        const QPoint beside(620, 180);
        QTest::newRow("beside, kept") << QPoint(100, 100) << QPoint(500, 200) << QPoint(500, 200);
        QTest::newRow("850 across, kept")
            << QPoint(100, 100) << QPoint(950, 100) << QPoint(950, 100);
        QTest::newRow("851 across, moved") << QPoint(100, 100) << QPoint(951, 100) << beside;
        QTest::newRow("851 left, moved") << QPoint(100, 100) << QPoint(-751, 100) << beside;
        QTest::newRow("280 down, kept") << QPoint(100, 100) << QPoint(100, 380) << QPoint(100, 380);
        QTest::newRow("281 down, moved") << QPoint(100, 100) << QPoint(100, 381) << beside;
        QTest::newRow("281 up, moved") << QPoint(100, 100) << QPoint(100, -181) << beside;
        // the main window near an edge: "Commander" stays on the screen all the same
        QTest::newRow("main at the right edge")
            << QPoint(1010, 100) << QPoint(0, 900) << QPoint(1530, 180);
        QTest::newRow("main at the bottom") << QPoint(100, 700) << QPoint(0, 0) << QPoint(620, 780);
        QTest::newRow("kept place partly off")
            << QPoint(800, 100) << QPoint(1400, 100) << QPoint(1400, 100);
        // its start place beside a main window that the window manager put in the middle
        QTest::newRow("start place, main in the middle")
            << QPoint(500, 300) << QPoint(500 + 424, 300 + 154) << QPoint(924, 454);
    }
    void commanderPlacement() {
        QFETCH(QPoint, mainAt);
        QFETCH(QPoint, commanderAt);
        QFETCH(QPoint, wanted);
        auto form = MakeForm();
        QVERIFY(form->Form3->isHidden());
        QCOMPARE(form->Form3->windowTitle(), QString("Commander"));
        form->move(mainAt);
        form->show();
        // before its first showing, its place counts from the main window's corner
        form->Form3->move(commanderAt - mainAt);
        form->ShowCommander();
        QVERIFY(form->Form3->isVisible());
        CheckPlaced(form->Form3, wanted, form.get());
        // The pages now live in the pop-up, filling it.
        QCOMPARE(form->PageControl1->parentWidget(), form->Form3->Panel1);
        QCOMPARE(form->PageControl1->size(), form->Form3->Panel1->size());
        QVERIFY(
            form->Form3->isAncestorOf(form->findChild<QAbstractButton*>("SpeedButton_OpenEdid")));
    }

    void analyzerPlacement_data() {
        QTest::addColumn<QPoint>("commanderAt");
        QTest::addColumn<bool>("right"); // else left of "Commander"
        // the first time beside "Commander": right of it, else left, below, above, on the first
        // side where it covers no window; never pushed back over "Commander"'s buttons
        QTest::newRow("room on the right") << QPoint(620, 180) << true;
        QTest::newRow("commander at the right edge: left of it") << QPoint(1140, 180) << false;
        QTest::newRow("bottom right corner: left of it, moved up") << QPoint(1140, 540) << false;
        // every side covers a window: the side that covers the least (a corner of the main window)
        QTest::newRow("bottom left corner: the least covered") << QPoint(0, 600) << true;
    }
    void analyzerPlacement() {
        QFETCH(QPoint, commanderAt);
        QFETCH(bool, right);
        auto form = MakeForm();
        QVERIFY(form->Form2->isHidden());
        QCOMPARE(form->Form2->windowTitle(), QString("EDID Analyzer"));
        form->move(100, 100);
        form->show();
        form->Form3->move(commanderAt);
        form->Form3->show();
        form->ShowAnalyzer();
        QVERIFY(form->Form2->isVisible());
        const QRect commander = form->Form3->frameGeometry();
        const QRect analyzer = form->Form2->frameGeometry();
        const QRect area = form->screen()->availableGeometry();
        QVERIFY(area.contains(analyzer));
        if (right)
            QCOMPARE(analyzer.left(), commander.right() + 1 + 15);
        else
            QCOMPARE(analyzer.right() + 1 + 15, commander.left());
        // level with "Commander", moved up only as far as the screen needs
        QCOMPARE(analyzer.top(), std::min(commander.top(), area.bottom() + 1 - analyzer.height()));
        QVERIFY(!analyzer.intersects(commander));
        auto* group = form->findChild<QGroupBox*>("GroupBox5");
        QCOMPARE(group->parentWidget(), form->Form2->Panel1);
        QVERIFY(!group->isHidden());
        // the whole group shows in the window
        QVERIFY(form->Form2->rect().contains(
            QRect(group->mapTo(form->Form2, QPoint(0, 0)), group->size())));
    }

    // Once shown, "Commander" and the analyzer stay where the operator puts them, kept on the
    // screen; a row click or a new analysis does not move them back.
    void popUpsStayWhereTheOperatorPutsThem() {
        auto form = MakeForm();
        form->move(100, 100);
        form->show();
        form->ShowCommander();
        form->ShowAnalyzer();
        const struct {
            QWidget* window;
            std::function<void()> showAgain;
            QPoint movedTo;
        } rows[] = {
            {form->Form3, [&] { form->ShowCommander(); }, QPoint(1100, 500)}, // far: kept
            {form->Form3, [&] { form->ShowCommander(); }, QPoint(-300, 40)},  // partly off
            {form->Form3, [&] { form->ShowCommander(); }, QPoint(1400, 900)},
            {form->Form2, [&] { form->ShowAnalyzer(); }, QPoint(20, 30)}, // over the main window
            {form->Form2, [&] { form->ShowAnalyzer(); }, QPoint(1500, 700)},
        };
        for (const auto& r : rows) {
            r.window->move(r.movedTo);
            r.window->close();
            r.showAgain();
            QVERIFY(r.window->isVisible());
            CheckPlaced(r.window, r.movedTo, form.get());
        }
    }

    // The debug log opens at its newest line, and "Commander" moves off it.
    void debugLogOpensAtItsNewestLineInSight() {
        auto form = MakeForm();
        form->move(900, 100); // widened by the log, it would reach past the screen's right edge
        form->show();
        form->ShowCommander();
        form->Form3->move(1100, 150); // where the log will open
        for (int i = 0; i < 300; ++i)
            form->DebugLog(QString("line %1\r\n").arg(i));
        form->DebugLogAction->trigger();
        QCoreApplication::processEvents();
        const QScrollBar* bar = form->Memo_Debug->verticalScrollBar();
        QVERIFY(bar->maximum() > 0);
        QCOMPARE(bar->value(), bar->maximum());
        const QRect log(form->Memo_Debug->mapToGlobal(QPoint(0, 0)), form->Memo_Debug->size());
        QVERIFY(!form->Form3->frameGeometry().intersects(log));
        QVERIFY(form->screen()->availableGeometry().contains(form->frameGeometry()));
        QVERIFY(form->screen()->availableGeometry().contains(form->Form3->frameGeometry()));
        QVERIFY(form->Form3->isVisible());
    }

    // F5 presses Search from every window; Ctrl+S and Ctrl+O press the Save and the Open of the
    // page shown in "Commander", and no other page's.
    void shortcutsPressTheButtonsOfThePageShown() {
        auto form = MakeForm();
        form->move(100, 100);
        form->show();
        form->ShowCommander();
        const char* const names[] = {"BitBtn_Search",
                                     "SpeedButton_SaveEdid",
                                     "SpeedButton_SaveEdid_Creator",
                                     "SpeedButton_OpenEdid_Creator",
                                     "SpeedButton_OpenFw",
                                     "SpeedButton_OpenEdid"};
        std::map<QString, std::unique_ptr<QSignalSpy>> pressed;
        for (const char* name : names) {
            auto* b = form->findChild<QAbstractButton*>(name);
            QVERIFY2(b, name);
            QObject::disconnect(b, &QAbstractButton::clicked, nullptr, nullptr); // the key alone
            pressed[name] = std::make_unique<QSignalSpy>(b, &QAbstractButton::clicked);
        }
        const struct {
            QWidget* window;
            QWidget* page;
            QKeySequence keys;
            const char* button;
        } rows[] = {
            {form.get(), nullptr, QKeySequence(Qt::Key_F5), "BitBtn_Search"},
            {form->Form3, form->TabSheet1, QKeySequence(Qt::Key_F5), "BitBtn_Search"},
            {form->Form3, form->TabSheet1, QKeySequence::Save, "SpeedButton_SaveEdid"},
            {form->Form3, form->TabSheet4, QKeySequence::Save, "SpeedButton_SaveEdid_Creator"},
            {form->Form3, form->TabSheet4, QKeySequence::Open, "SpeedButton_OpenEdid_Creator"},
            {form->Form3, form->TabSheet2, QKeySequence::Open, "SpeedButton_OpenFw"},
            {form->Form3, form->TabSheet1, QKeySequence::Open, nullptr}, // Upload is no Open
        };
        for (const auto& r : rows) {
            if (r.page) form->PageControl1->setCurrentWidget(r.page);
            r.window->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(r.window));
            for (auto& [name, spy] : pressed)
                spy->clear();
            const QKeyCombination key = r.keys[0];
            QTest::keyClick(r.window, key.key(), key.keyboardModifiers());
            QTest::qWait(250); // a shortcut presses its button visibly, for a moment
            for (auto& [name, spy] : pressed)
                QVERIFY2(spy->count() == (r.button && name == r.button ? 1 : 0),
                         qPrintable(r.keys.toString() + " " + name));
        }
    }

    void udpEndpointsAtStart() {
        auto form = MakeForm();
        UdpEndpoints* udp = form->Udp;
        QCOMPARE(udp->IdIPMCastClient1()->state(), QAbstractSocket::BoundState);
        QCOMPARE(udp->IdIPMCastClient1()->localPort(), quint16(31002));
        QVERIFY(udp->JoinedGroup());
        QCOMPARE(udp->IdUDPServer1()->state(), QAbstractSocket::UnconnectedState);

        // Nobody else gets the port, whether or not they ask to share it.
        for (auto mode : {QUdpSocket::DefaultForPlatform, QUdpSocket::ShareAddress,
                          QUdpSocket::ReuseAddressHint}) {
            QUdpSocket other;
            QVERIFY(!other.bind(QHostAddress::AnyIPv4, 31002, mode));
        }

        // Announcements arrive through the signal, sent directly or to the group.
        QSignalSpy received(udp, &UdpEndpoints::datagramReceived);
        QUdpSocket device;
        const QByteArray unicast("\x02\x03"
                                 "abc",
                                 5),
            multicast("\x02\x01Z", 3);
        device.writeDatagram(unicast, QHostAddress::LocalHost, 31002);
        QTRY_COMPARE(received.size(), 1);
        QCOMPARE(received.at(0).at(0).value<QNetworkDatagram>().data(), unicast);
        device.writeDatagram(multicast, UdpEndpoints::Group(), 31002);
        QTRY_COMPARE(received.size(), 2);
        QCOMPARE(received.at(1).at(0).value<QNetworkDatagram>().data(), multicast);
    }

    void discoveryRequestGoesOutTwice() {
        QCOMPARE(DiscoveryRequestDatagram(), QByteArray("\x01\x00\xFF\xFF", 4));
        auto form = MakeForm();
        // A device listening on the request port, member of the group.
        QUdpSocket device;
        QVERIFY(device.bind(QHostAddress::AnyIPv4, 31001, QUdpSocket::ShareAddress));
        QVERIFY(device.joinMulticastGroup(UdpEndpoints::Group()));
        QCOMPARE(form->Udp->SendDiscoveryRequest(), 2);
        QList<QNetworkDatagram> got;
        QTRY_VERIFY(([&] {
            while (device.hasPendingDatagrams())
                got.append(device.receiveDatagram());
            return got.size() >= 2;
        }()));
        QTest::qWait(100);
        while (device.hasPendingDatagrams())
            got.append(device.receiveDatagram());
        QCOMPARE(got.size(), 2);
        QSet<QHostAddress> targets;
        for (const QNetworkDatagram& d : got) {
            QCOMPARE(d.data(), QByteArray("\x01\x00\xFF\xFF", 4));
            targets.insert(d.destinationAddress());
        }
        // One by broadcast, one to the group (when the platform reports the destination).
        if (!targets.contains(QHostAddress()))
            QCOMPARE(targets, QSet<QHostAddress>({QHostAddress::Broadcast, UdpEndpoints::Group()}));
    }

    // The receive port is taken, by another copy or by anything else: the warning is shown and
    // the program is told to end.
    void receivePortTakenWarnsAndEnds() {
        QUdpSocket squatter;
        QVERIFY(squatter.bind(QHostAddress::AnyIPv4, 31002, QUdpSocket::DontShareAddress));
        auto form = MakeForm();
        QVERIFY(form->TerminateRequested());
        QCOMPARE(dialogs_.messages.size(), 1);
        QCOMPARE(dialogs_.messages[0].kind, DialogKind::Warning);
        QCOMPARE(dialogs_.messages[0].caption, QString("Warning"));
        QCOMPARE(dialogs_.messages[0].text, QString("TAVO already executed !"));
        QVERIFY(form->Guard->IsFirst()); // not a second copy: only the port was the problem
        QVERIFY(!form->Udp->ReceiverActive());
    }

    void secondCopyRaisesFirstAndEnds() {
        auto first = MakeForm();
        first->show();
        first->showMinimized();
        QVERIFY(first->isMinimized());

        auto second = MakeForm();
        QVERIFY(second->TerminateRequested());
        QVERIFY(!second->Guard->IsFirst());
        QVERIFY(second->isHidden());
        // It holds no port either, so it says so before it ends.
        QCOMPARE(dialogs_.messages.size(), 1);
        QCOMPARE(dialogs_.messages[0].text, QString("TAVO already executed !"));
        // The first copy comes back.
        QTRY_VERIFY(!first->isMinimized());
        QVERIFY(first->isVisible());
        QVERIFY(!first->TerminateRequested());
    }

    void runApplicationEndsWithoutWindowWhenPortTaken() {
        QUdpSocket squatter;
        QVERIFY(squatter.bind(QHostAddress::AnyIPv4, 31002, QUdpSocket::DontShareAddress));
        // If the message loop were entered, this would end it and the test would notice.
        bool loopRan = false;
        QTimer stop;
        stop.setSingleShot(true);
        connect(&stop, &QTimer::timeout, [&] {
            loopRan = true;
            qApp->quit();
        });
        stop.start(3000);
        QCOMPARE(RunApplication(*qApp), 0);
        stop.stop();
        QVERIFY(!loopRan);
        QCOMPARE(dialogs_.messages.size(), 1);
        QCOMPARE(dialogs_.messages[0].text, QString("TAVO already executed !"));
    }

    // ---- the guard on its own ------------------------------------------------------------------

    void guardSecondInstanceRaisesFirst() {
        QTemporaryDir dir;
        SingleInstanceGuard first("TAVO 2016", dir.path());
        QVERIFY(first.TryAcquire());
        QVERIFY(first.Listening());
        QSignalSpy raised(&first, &SingleInstanceGuard::raiseRequested);
        {
            SingleInstanceGuard second("TAVO 2016", dir.path());
            QVERIFY(!second.TryAcquire());
            QVERIFY(!second.IsFirst());
        }
        QTRY_COMPARE(raised.size(), 1);
        // Another title is another program.
        SingleInstanceGuard other("TAVO 2017", dir.path());
        QVERIFY(other.TryAcquire());
    }

    void guardReleasedWhenFirstEnds() {
        QTemporaryDir dir;
        {
            SingleInstanceGuard first("TAVO 2016", dir.path());
            QVERIFY(first.TryAcquire());
        }
        SingleInstanceGuard next("TAVO 2016", dir.path());
        QVERIFY(next.TryAcquire());
    }

    void guardTakesOverLockOfDeadCopy() {
        QTemporaryDir dir;
        SingleInstanceGuard probe("TAVO 2016", dir.path());
        // What a copy that crashed leaves behind: its lock file and its socket file.
        {
            QFile lock(probe.LockFilePath());
            QVERIFY(lock.open(QIODevice::WriteOnly));
            lock.write(QByteArray::number(DeadProcessId()) + "\ntavo\n" +
                       QSysInfo::machineHostName().toUtf8() + "\n");
        }
        {
            QFile socket(probe.ServerName());
            QVERIFY(socket.open(QIODevice::WriteOnly));
        }
        QVERIFY(probe.TryAcquire());
        QVERIFY(probe.Listening());
    }

    void guardLockOfLongRunningCopyStaysValid() {
        QTemporaryDir dir;
        SingleInstanceGuard first("TAVO 2016", dir.path());
        QVERIFY(first.TryAcquire());
        // The first copy has been running for hours: its lock is old but its owner is alive.
        QFile lock(first.LockFilePath());
        QVERIFY(lock.open(QIODevice::ReadWrite));
        QVERIFY(lock.setFileTime(QDateTime::currentDateTime().addSecs(-6 * 3600),
                                 QFileDevice::FileModificationTime));
        lock.close();
        SingleInstanceGuard second("TAVO 2016", dir.path());
        QVERIFY(!second.TryAcquire());
    }

    void guardSocketIsPrivateToUser() {
        QTemporaryDir dir;
        SingleInstanceGuard first("TAVO 2016", dir.path());
        QVERIFY(first.TryAcquire());
        const QFile::Permissions perms = QFile::permissions(first.ServerName());
        QVERIFY(perms & QFile::WriteOwner);
        QVERIFY(!(perms &
                  (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther)));
    }

    // ---- the grid's addressing -----------------------------------------------------------------

    void gridIgnoresCellsOutsideIt() {
        StringGrid grid(6);
        grid.SetRowCount(3);
        grid.SetCell(2, 5, "NC");
        grid.SetCell(3, 0, "x"); // no such row
        grid.SetCell(1, 6, "x"); // no such column
        grid.SetCell(-1, 0, "x");
        QCOMPARE(grid.Cell(2, 5), QString("NC"));
        QCOMPARE(grid.Cell(3, 0), QString());
        QCOMPARE(grid.Cell(1, 6), QString());
        QCOMPARE(grid.RowCount(), 3);
        grid.SetRowCount(0); // the header row always stays
        QCOMPARE(grid.RowCount(), 1);
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
