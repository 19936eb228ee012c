// The "EDID Creator" pages on the real main window: every control of the page value exists under
// its name with its caption, typed texts and clicks reach the rules (warning line, colours, twins,
// folding panels), the loaders fill the widgets, and Save and Upload do their file and device
// work (an in-memory device here; the simulator in the end-to-end tests).
#include <QAbstractButton>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QWheelEvent>
#include <QtTest>
#include <functional>
#include <map>
#include <memory>
#include <numeric>
#include <set>
#include <sys/stat.h>

#include "app/qt/AppState.h"
#include "app/qt/User_interface.h"
#include "edid/Decoder.h"
#include "edid/EdidImage.h"
#include "edid/EdidSource.h"
#include "edid/NewEdidTemplate.h"
#include "link/Response.h"
#include "link/qt/MemoryTransport.h"
#include "link/qt/UartController.h"
#include "support/DrmTree.h"
#include "support/HexViewChecks.h"
#include "support/MemoryDevice.h"
#include "support/RecordingDialogs.h"
#include "ui/qt/DisplayChooser.h"
#include "workspace/analysis/WriteCheck.h"
#include "workspace/creator/CreatorBuild.h"
#include "workspace/creator/CreatorRules.h"
#include "workspace/creator/CreatorTables.h"
#include "workspace/creator/qt/EdidCreatorLayout.h"
#include "workspace/creator/qt/EdidCreatorPage.h"
#include "workspace/sources/Presets.h"

namespace creator_page_test {

using namespace tavo;
using namespace tavo::creator;
using tavo::test::MemoryDevice;
using tavo::test::RecordingDialogs;
using tavo::test::ScopedDialogs;

QString Q(std::string_view s) {
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

constexpr CalendarDate kFixedDay{2015, 4, 8}; // week 15 of 2015

// The device on its in-memory port: 2 inputs, 1 output, 2 user and 3 internal slots; a slot never
// written reads as FF bytes.
struct Device : MemoryDevice {
    Device() : MemoryDevice(QStringLiteral("/dev/fake-matrix")) {
        product = "Wall Matrix";
        inputs = 2;
        internals = 3;
        blank = 0xFF;
    }
};

struct Rig {
    RecordingDialogs dialogs;
    ScopedDialogs installed{&dialogs};
    AppState state;
    Device device;
    std::unique_ptr<TForm1> form;
    EdidCreatorPage* creator = nullptr;

    Rig() {
        qputenv("TAVO_SERIAL_PORTS", "/dev/fake-matrix");
        form = std::make_unique<TForm1>(state, nullptr, device.transport);
        creator = form->Creator;
        creator->setToday([] { return kFixedDay; });
    }
    template <class T = QAbstractButton> T* w(std::string_view name) {
        return form->findChild<T*>(Q(name));
    }
    QLineEdit* edit(std::string_view name) { return w<QLineEdit>(name); }
    QAbstractButton* box(std::string_view name) { return w<QAbstractButton>(name); }
    QLabel* warning() { return w<QLabel>(kWarningLine); }
    QLabel* label3() { return w<QLabel>("Label3"); }
    void Connect() {
        form->BitBtn_Search->click();
        QVERIFY(form->Uart->session().isConnected());
        form->Uart->session().pollTimer().stop(); // no mode polls among the checked requests
    }
    void New() { form->findChild<QAbstractButton*>("SpeedButton_OpenEdid_New")->click(); }
    // Replaces an edit's text by typing it, key by key.
    void Type(std::string_view name, const QString& text) {
        QLineEdit* e = edit(name);
        e->selectAll();
        QTest::keyClick(e, Qt::Key_Delete);
        QTest::keyClicks(e, text);
    }
    std::uint16_t status() const { return state.creatorRecord.status; }
};

// The debug log holds exactly one line (its text is replaced, not appended to).
QString Memo(Rig& rig) {
    const QString text = rig.form->Memo_Debug->toPlainText();
    return text.endsWith('\n') && text.count('\n') == 1 ? text.chopped(1) : "unexpected: " + text;
}

QColor Colour(const QWidget* w) {
    return w->palette().color(QPalette::WindowText);
}
const QColor kRed(255, 0, 0);
const QColor kBlack(0, 0, 0);

class CreatorPageTest : public QObject {
    Q_OBJECT
    QTemporaryDir data_; // the slot history, never in the real home
private slots:
    void initTestCase() { qputenv("XDG_DATA_HOME", data_.path().toLocal8Bit()); }
    void everyControlOfThePageExistsOnItsSheet() {
        Rig rig;
        QWidget* creatorTab = rig.form->TabSheet4;
        for (const std::string& name : CreatorPage::CheckNames()) {
            QAbstractButton* b = rig.box(name);
            QVERIFY2(b && creatorTab->isAncestorOf(b), name.c_str());
        }
        for (const std::string& name : CreatorPage::EditNames()) {
            QLineEdit* e = rig.edit(name);
            QVERIFY2(e && creatorTab->isAncestorOf(e), name.c_str());
        }
        QVERIFY(rig.box(kHiddenLpcmFormat)->isHidden());
        QVERIFY(qobject_cast<QRadioButton*>(rig.box(kFormatHdmi)));
        QVERIFY(qobject_cast<QRadioButton*>(rig.box(kFormatDvi)));
        QVERIFY(rig.warning() && creatorTab->isAncestorOf(rig.warning()));
        auto* select = rig.w<QGroupBox>("GroupBox9");
        QCOMPARE(select->title(), QString("Select"));
        for (const char* name : {"SpeedButton_OpenEdid_Creator", "SpeedButton_OpenEdid_New",
                                 "SpeedButton_SaveEdid_Creator", "SpeedButton_CopyEdid_Creator",
                                 "ComboBox_EdidSel_Upload", "Label3"})
            QVERIFY2(select->isAncestorOf(rig.w<QWidget>(name)), name);
        QCOMPARE(rig.w<QGroupBox>("GroupBox6")->title(), QString("Speaker Placement"));
        QCOMPARE(rig.w<QGroupBox>("GroupBox7")->title(), QString("L-PCM"));
        QVERIFY(rig.w<QScrollArea>("ScrollBox1"));
        // every tab in sight at once: no scroll arrows, the last tab inside the bar
        auto* pages = rig.form->findChild<QTabWidget*>("PageControl2");
        pages->show();
        QTabBar* bar = pages->tabBar();
        QVERIFY(!pages->usesScrollButtons());
        QCOMPARE(bar->count(), 7);
        QVERIFY2(bar->tabRect(bar->count() - 1).right() < pages->width(),
                 qPrintable(QString::number(bar->tabRect(bar->count() - 1).right())));
        for (int i = 0; i < bar->count(); ++i)
            QCOMPARE(bar->tabToolTip(i), bar->tabText(i));
    }

    void captionsComeFromTheTables() {
        Rig rig;
        auto caption = [&](std::string_view name) { return rig.box(name)->text(); };
        std::set<QString> panels; // every row panel text shown on the pages
        for (QLabel* l : rig.form->findChild<QTabWidget*>("PageControl2")->findChildren<QLabel*>())
            panels.insert(l->text());
        for (const auto& b : kEstablishedTimings) {
            QCOMPARE(caption(ControlName(kEstablishedTimingPrefix, b.number)), Q(b.caption));
            QVERIFY(panels.count(Q(b.panel)));
        }
        for (const auto& b : kStandardTimings)
            QCOMPARE(caption(ControlName(kStandardTimingPrefix, b.number)), Q(b.caption));
        for (const auto& b : kVideoBoxes) {
            QCOMPARE(caption(ControlName(kVideoCodePrefix, b.vic)), Q(b.caption));
            QVERIFY(panels.count(Q(b.panel)));
        }
        for (const auto& b : kYuv420Boxes)
            QCOMPARE(caption(ControlName(kYuv420Prefix, b.vic)), Q(b.caption));
        for (const auto& b : kSpeakers) {
            QCOMPARE(caption(SpeakerName(b)), Q(b.caption));
            if (!b.twinCaption.empty()) QCOMPARE(caption(SpeakerTwinName(b)), Q(b.twinCaption));
        }
        for (const auto& p : kAudioPanels) {
            auto* panel = rig.w<QFrame>(p.panel);
            QVERIFY(panel);
            QCOMPARE(caption(AudioFormatBoxName(p)), QString("Yes"));
            QCOMPARE(caption(AudioDetailName(p)), QString("For Detial"));
            QVERIFY(panel->isAncestorOf(rig.edit(AudioMaxChannelsName(p))));
            QVERIFY(panels.count(Q(p.caption)));
            for (const auto& r : kAudioRates)
                QCOMPARE(caption(AudioRateName(p, r.number)), Q(r.caption));
        }
        for (const auto& r : kAudioRates)
            QCOMPARE(caption(ControlName(kLpcmRatePrefix, r.number)), Q(r.caption));
        for (const auto& s : kLpcmSampleSizes)
            QCOMPARE(caption(ControlName(kLpcmSampleSizePrefix, s.number)), Q(s.caption));
        QCOMPARE(caption(kBasicAudio), QString("Basic"));
        const struct {
            std::string_view prefix;
            const FlagBox* boxes;
            std::size_t count;
        } flags[] = {{kColorSpacePrefix, kColorSpaces.data(), kColorSpaces.size()},
                     {kColorDepthPrefix, kColorDepths.data(), kColorDepths.size()},
                     {kColorimetryPrefix, kColorimetries.data(), kColorimetries.size()},
                     {kHdrDeepColourPrefix, kHdrDeepColours.data(), kHdrDeepColours.size()},
                     {kHdrEotfPrefix, kHdrEotfs.data(), kHdrEotfs.size()}};
        for (const auto& f : flags)
            for (std::size_t i = 0; i < f.count; ++i)
                QCOMPARE(caption(ControlName(f.prefix, f.boxes[i].number)), Q(f.boxes[i].caption));
        QVERIFY(panels.count(Q(kBt2020Panel)));
        QCOMPARE(caption(kHdrDetail), QString("For Detial"));
        QCOMPARE(caption(kHdrDescriptorType1), QString("Type 1"));
        QCOMPARE(caption(k3DPresent), QString("Yes"));
        QCOMPARE(caption(kFormatHdmi), QString("HDMI"));
        QCOMPARE(caption(kFormatDvi), QString("DVI"));
        for (auto label : kHdrLuminanceLabels)
            QVERIFY(panels.count(Q(label)));
    }

    void startStateOfTheWidgets() {
        Rig rig;
        QCOMPARE(rig.edit(kLpcmMaxChannels)->text(), QString("0"));
        QCOMPARE(rig.edit("Edit_AudioAC3_BitRate")->text(), QString("     0"));
        QCOMPARE(rig.edit("Edit_HDR_DCLD_1")->text(), QString("    0"));
        QCOMPARE(rig.edit(kCecAddress)->text(), QString("0000"));
        QVERIFY(rig.box(kFormatHdmi)->isChecked());
        for (const auto& p : kAudioPanels)
            QCOMPARE(rig.w<QFrame>(p.panel)->maximumHeight(), kFoldedPanelHeight);
        QCOMPARE(rig.w<QFrame>(kHdrPanel)->height(), kFoldedPanelHeight);
        QCOMPARE(rig.warning()->text(), QString());
    }

    void newFillsTheWidgets() {
        Rig rig;
        rig.New();
        const struct {
            std::string_view edit;
            const char* text;
        } texts[] = {{kManufacturerName, "NEW"}, {kMonitorName, "BrandNewEdid"},
                     {kProductCode, "0"},        {kSerialNumber, "0"},
                     {kManufactureYear, "2015"}, {kManufactureWeek, "15"},
                     {kLpcmMaxChannels, "2"},    {kCecAddress, "1000"}};
        for (const auto& t : texts)
            QCOMPARE(rig.edit(t.edit)->text(), QString(t.text));
        const std::set<std::string> ticked = {
            "CheckBox_EstablishTiming_3",  "CheckBox_EstablishTiming_8",
            "CheckBox_ColorSpace_1",       "CheckBox_ColorSpace_2",
            "CheckBox_VideoIdCode_16",     "CheckBox_AudioFormat_1",
            "CheckBox_AudioLPCM_Freq_5",   "CheckBox_AudioLPCM_Freq_6",
            "CheckBox_AudioLPCM_Freq_7",   "CheckBox_AudioLPCM_SamBit_2",
            "CheckBox_AudioLPCM_SamBit_3", std::string(kFormatHdmi)};
        for (const std::string& name : CreatorPage::CheckNames())
            QVERIFY2(rig.box(name)->isChecked() == (ticked.count(name) == 1), name.c_str());
        QCOMPARE(rig.warning()->text(), QString());
        QCOMPARE(rig.status() & (kStatusNewTemplate | kStatusHoldsEdid),
                 kStatusNewTemplate | kStatusHoldsEdid);
    }

    void typedTextsReachTheirRules_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("warning"); // empty: the rule is kept
        QTest::newRow("fourth letter") << "Edit_Creator_Manufac_Name"
                                       << "NEWX"
                                       << "3 Letters Limited!";
        QTest::newRow("three letters") << "Edit_Creator_Manufac_Name"
                                       << "ABC"
                                       << "";
        QTest::newRow("long monitor name") << "Edit_Creator_Monitor_Name"
                                           << "ABCDEFGHIJKLMN"
                                           << "13 Letters Limited!";
        QTest::newRow("product code") << "Edit_Creator_Product_Code"
                                      << "65536"
                                      << "65535 Limited!";
        QTest::newRow("serial 429496") << "Edit_Creator_Serial_Number"
                                       << "4294960000"
                                       << "4 Billion Limited!";
        QTest::newRow("serial 429495") << "Edit_Creator_Serial_Number"
                                       << "4294959999"
                                       << "";
        QTest::newRow("serial eleven") << "Edit_Creator_Serial_Number"
                                       << "12345678901"
                                       << "4 Billion Limited!";
        QTest::newRow("year 1989") << "Edit_Creator_Manufac_Year"
                                   << "1989"
                                   << "1990~2245 Limited!";
        QTest::newRow("year 2245") << "Edit_Creator_Manufac_Year"
                                   << "2245"
                                   << "";
        QTest::newRow("week 54") << "Edit_Creator_Manufac_Week"
                                 << "54"
                                 << "53 Limited!";
        QTest::newRow("week 53") << "Edit_Creator_Manufac_Week"
                                 << "53"
                                 << "";
        QTest::newRow("luminance 256") << "Edit_HDR_DCLD_2"
                                       << "256"
                                       << "255 Limited!";
        QTest::newRow("channels 9") << "Edit_AudioAC3_MaxCh"
                                    << "9"
                                    << "8 MaxCH Limited!";
        QTest::newRow("channels 10") << "Edit_AudioLPCM_MaxCh"
                                     << "10"
                                     << "8 MaxCH Limited!";
        QTest::newRow("channels 8") << "Edit_AudioOBA_MaxCh"
                                    << "8"
                                    << "";
    }
    void typedTextsReachTheirRules() {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, warning);
        Rig rig;
        rig.New();
        const std::string name = field.toStdString();
        rig.Type(name, typed);
        QCOMPARE(rig.edit(name)->text(), typed);
        QCOMPARE(rig.warning()->text(), warning);
        QCOMPARE(Colour(rig.warning()), kRed);
        QCOMPARE(Colour(rig.edit(name)), warning.isEmpty() ? kBlack : kRed);
        QCOMPARE(rig.status() & kStatusInputError, warning.isEmpty() ? 0 : kStatusInputError);
        // the page value holds what the widget shows
        QCOMPARE(rig.creator->page().Text(name), typed.toStdString());
    }

    void deletingTheFourthLetterClearsTheWarning() {
        Rig rig;
        rig.New();
        QLineEdit* e = rig.edit(kManufacturerName);
        e->end(false);
        QTest::keyClicks(e, "X");
        QCOMPARE(rig.warning()->text(), QString("3 Letters Limited!"));
        QTest::keyClick(e, Qt::Key_Backspace);
        QCOMPARE(e->text(), QString("NEW"));
        QCOMPARE(rig.warning()->text(), QString());
        QCOMPARE(Colour(e), kBlack);
    }

    void cecAddressRunsTheManufacturerRule() {
        Rig rig;
        rig.New();
        rig.Type(kManufactureYear, "1989");
        QVERIFY(rig.status() & kStatusInputError);
        rig.Type(kCecAddress, "2000");
        QCOMPARE(rig.warning()->text(), QString());
        QCOMPARE(rig.status() & kStatusInputError, 0);
        QCOMPARE(Colour(rig.edit(kManufactureYear)), kRed); // its own colour stays
    }

    void hdrNeedsA4KFormat() {
        Rig rig;
        rig.New();
        QAbstractButton* hdr = rig.box("CheckBox_HDR_2");
        hdr->click();
        QVERIFY(hdr->isChecked());
        QCOMPARE(rig.warning()->text(), Q(kHdrNeeds4K));
        QCOMPARE(Colour(hdr), kRed);
        rig.box("CheckBox_VideoIdCode_97")->click();
        QCOMPARE(rig.warning()->text(), QString());
        QCOMPARE(Colour(hdr), kBlack);
        rig.box("CheckBox_VideoIdCode_97")->click(); // the last 4K box cleared again
        QCOMPARE(rig.warning()->text(), Q(kHdrNeeds4K));
        QCOMPARE(Colour(hdr), kRed);
        hdr->click();
        QCOMPARE(rig.warning()->text(), QString());
        QCOMPARE(Colour(hdr), kBlack);
    }

    void speakerPairsMoveTogether() {
        Rig rig;
        for (const auto& s : kSpeakers) {
            QAbstractButton* left = rig.box(SpeakerName(s));
            if (s.twinCaption.empty()) {
                left->click();
                QVERIFY(left->isChecked()); // a box without a twin just ticks
                continue;
            }
            QAbstractButton* right = rig.box(SpeakerTwinName(s));
            left->click();
            QVERIFY2(right->isChecked(), SpeakerTwinName(s).c_str());
            right->click();
            QVERIFY2(!left->isChecked(), SpeakerName(s).c_str());
        }
    }

    void detailBoxesFoldTheirPanels() {
        Rig rig;
        for (const auto& p : kAudioPanels) {
            auto* panel = rig.w<QFrame>(p.panel);
            QAbstractButton* yes = rig.box(AudioFormatBoxName(p));
            QAbstractButton* detail = rig.box(AudioDetailName(p));
            detail->click();
            QCOMPARE(panel->maximumHeight(), kAudioPanelOpenHeight);
            yes->click();
            QVERIFY(detail->isChecked());
            yes->click(); // clearing "Yes" folds the panel
            QVERIFY(!detail->isChecked());
            QCOMPARE(panel->maximumHeight(), kFoldedPanelHeight);
        }
        auto* hdr = rig.w<QFrame>(kHdrPanel);
        rig.box(kHdrDetail)->click();
        QCOMPARE(hdr->height(), kHdrPanelOpenHeight);
        rig.box(kHdrDetail)->click();
        QCOMPARE(hdr->height(), kFoldedPanelHeight);
    }

    void scrollBoxTakesWheelStepsAndFocus() {
        Rig rig;
        rig.form->ShowCommander();
        rig.form->PageControl1->setCurrentWidget(rig.form->TabSheet4);
        rig.form->findChild<QTabWidget*>("PageControl2")
            ->setCurrentWidget(rig.w<QWidget>("TabSheet11"));
        auto* scroll = rig.w<QScrollArea>("ScrollBox1");
        QCOMPARE(rig.form->Form3->focusWidget(), static_cast<QWidget*>(scroll));
        for (const auto& p : kAudioPanels)
            rig.box(AudioDetailName(p))->click(); // 7 x 110 pixels: far more than the view
        QTRY_VERIFY(scroll->verticalScrollBar()->maximum() > 3 * kScrollBoxWheelStep);
        auto wheel = [&](int delta) {
            QWheelEvent e(QPointF(50, 50), scroll->viewport()->mapToGlobal(QPointF(50, 50)),
                          QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
            QApplication::sendEvent(scroll->viewport(), &e);
        };
        QScrollBar* bar = scroll->verticalScrollBar();
        bar->setValue(0);
        wheel(-120);
        QCOMPARE(bar->value(), 15);
        wheel(-240); // two notches at once
        QCOMPARE(bar->value(), 45);
        wheel(120);
        QCOMPARE(bar->value(), 30);
        wheel(60); // half a notch waits for the other half
        QCOMPARE(bar->value(), 30);
        wheel(60);
        QCOMPARE(bar->value(), 15);
    }

    void saveWithoutTemplateAsksForOne() {
        Rig rig;
        QString during, label3During;
        QColor warningColour, label3Colour;
        QTimer::singleShot(300, [&] {
            during = rig.warning()->text();
            warningColour = Colour(rig.warning());
            label3During = rig.label3()->text();
            label3Colour = Colour(rig.label3());
        });
        rig.form->findChild<QAbstractButton*>("SpeedButton_SaveEdid_Creator")->click();
        QCOMPARE(during, QString("Please select \"NEW\" or \"OPEN\""));
        QCOMPARE(warningColour, kCreatorNavy);
        QCOMPARE(label3During, QString("Create Error!"));
        QCOMPARE(label3Colour, kRed);
        QCOMPARE(rig.warning()->text(), QString());
        QCOMPARE(rig.label3()->text(), QString());
        QCOMPARE(Colour(rig.warning()), kRed);
        QVERIFY(rig.dialogs.saveFilters.isEmpty());
    }

    void saveWritesTheBuiltImage() {
        Rig rig;
        QTemporaryDir dir;
        rig.New();
        rig.box("CheckBox_VideoIdCode_97")->click();
        rig.box("CheckBox_AudioFormat_3")->click();
        rig.Type(kMonitorName, "Bench Panel");
        // the same page and record built apart from the widgets
        EdidRecord expected = rig.state.creatorRecord;
        QVERIFY(Build(rig.creator->page(), expected));

        rig.dialogs.saveAnswer = dir.filePath("out.bin");
        rig.form->findChild<QAbstractButton*>("SpeedButton_SaveEdid_Creator")->click();
        QCOMPARE(rig.dialogs.proposedNames, QStringList{"Created EDID.bin"});
        QCOMPARE(rig.dialogs.saveFilters, QStringList{"EDID (*.bin)"});
        QFile f(rig.dialogs.saveAnswer);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QCOMPARE(bytes, QByteArray(reinterpret_cast<const char*>(expected.image.data()), 256));
        QCOMPARE(Memo(rig), QString("Edid Open OK."));
        std::uint16_t st = 0;
        QVERIFY(ValidateImage(expected.image, st));

        // a one-block (DVI) EDID is saved as its own 128 bytes
        rig.box("RadioButton_Edid_Fmt_Dvi")->click();
        EdidRecord dvi = rig.state.creatorRecord;
        QVERIFY(Build(rig.creator->page(), dvi));
        QCOMPARE(dvi.image[126], 0);
        rig.dialogs.saveAnswer = dir.filePath("dvi.bin");
        rig.form->findChild<QAbstractButton*>("SpeedButton_SaveEdid_Creator")->click();
        QFile dviFile(rig.dialogs.saveAnswer);
        QVERIFY(dviFile.open(QIODevice::ReadOnly));
        QCOMPARE(dviFile.readAll(),
                 QByteArray(reinterpret_cast<const char*>(dvi.image.data()), 128));
        rig.box("RadioButton_Edid_Fmt_Hdmi")->click();
        rig.dialogs.saveAnswer = dir.filePath("out.bin");

        // cancelled: nothing is written
        rig.dialogs.saveAnswer.clear();
        QVERIFY(f.remove());
        rig.form->findChild<QAbstractButton*>("SpeedButton_SaveEdid_Creator")->click();
        QVERIFY(!QFile::exists(dir.filePath("out.bin")));

        // a folder that cannot take the file
        rig.dialogs.saveAnswer = dir.filePath("missing/out.bin");
        rig.form->findChild<QAbstractButton*>("SpeedButton_SaveEdid_Creator")->click();
        QCOMPARE(Memo(rig), QString("Edid Open Fail."));
        // the page's words first, then the save and why it failed
        QVERIFY2(rig.label3()->text().startsWith("Edid Open Fail. Not saved to out.bin: ") &&
                     rig.label3()->text().size() > 40,
                 qPrintable(rig.label3()->text()));
        QCOMPARE(Colour(rig.label3()), kRed);
        // a pipe is not replaced by a plain file
        const QString pipe = dir.filePath("pipe.bin");
        QVERIFY(::mkfifo(QFile::encodeName(pipe).constData(), 0644) == 0);
        rig.label3()->clear();
        rig.dialogs.saveAnswer = pipe;
        rig.form->findChild<QAbstractButton*>("SpeedButton_SaveEdid_Creator")->click();
        QCOMPARE(rig.label3()->text(),
                 QString("Edid Open Fail. Not saved to pipe.bin: not a regular file (a device, "
                         "pipe or socket); nothing written."));
        QVERIFY(QFileInfo::exists(pipe) && !QFileInfo(pipe).isFile());
        // a read-only file is not replaced either
        QFile readOnly(dir.filePath("read-only.bin"));
        QVERIFY(readOnly.open(QIODevice::WriteOnly) && readOnly.write("kept") == 4);
        readOnly.close();
        QVERIFY(readOnly.setPermissions(QFileDevice::ReadOwner));
        rig.dialogs.saveAnswer = readOnly.fileName();
        rig.form->findChild<QAbstractButton*>("SpeedButton_SaveEdid_Creator")->click();
        QCOMPARE(
            rig.label3()->text(),
            QString("Edid Open Fail. Not saved to read-only.bin: is read-only; not replaced."));
        QCOMPARE(QFileInfo(readOnly).size(), 4);
        // a symbolic link is written through, and a save that works takes the failure away
        QVERIFY(QFile::link(dir.filePath("real.bin"), dir.filePath("link.bin")));
        rig.dialogs.saveAnswer = dir.filePath("link.bin");
        rig.form->findChild<QAbstractButton*>("SpeedButton_SaveEdid_Creator")->click();
        QVERIFY(QFileInfo(dir.filePath("link.bin")).isSymLink());
        QCOMPARE(QFileInfo(dir.filePath("real.bin")).size(), 256);
        QCOMPARE(rig.label3()->text(), QString("Saved to link.bin."));
        QCOMPARE(Colour(rig.label3()), kBlack);
    }

    // a saved or uploaded EDID that was opened: what the build drops is asked about first;
    // Cancel writes and sends nothing, Continue goes on; a New EDID has nothing to lose
    void savingOrUploadingAnOpenedEdidAsksWhatItLoses() {
        for (const bool upload : {false, true}) {
            Rig rig;
            QTemporaryDir dir;
            rig.Connect();
            rig.dialogs.openAnswer = QString(TAVO_TEST_DATA) + "/edid/d0807abe7120c13f.bin";
            rig.form->findChild<QAbstractButton*>("SpeedButton_OpenEdid_Creator")->click();
            rig.w<QComboBox>("ComboBox_EdidSel_Upload")->setCurrentIndex(0); // Input 1
            rig.dialogs.saveAnswer = dir.filePath("out.bin");
            rig.device.lines.clear();
            QAbstractButton* button =
                upload ? rig.form->findChild<QAbstractButton*>("SpeedButton_CopyEdid_Creator")
                       : rig.form->findChild<QAbstractButton*>("SpeedButton_SaveEdid_Creator");
            const auto nothingDone = [&] {
                return upload ? rig.device.lines.isEmpty()
                              : !QFile::exists(dir.filePath("out.bin"));
            };
            rig.dialogs.confirmAnswer = false; // Cancel
            button->click();
            QCOMPARE(rig.dialogs.confirmations.size(), 1);
            const DialogMessage asked = rig.dialogs.confirmations.front();
            QVERIFY(asked.text.startsWith("This EDID will lose:\n"));
            // in the page's words, without the block map's byte values
            QVERIFY(asked.text.contains("\nYCbCr 4:2:0 capability map\n"));
            QVERIFY(!asked.text.contains(QRegularExpression("\\b0x[0-9A-F]{2}")));
            QCOMPARE(asked.acceptText, QString("Continue"));
            QCOMPARE(asked.rejectText, QString("Cancel"));
            QVERIFY(nothingDone());
            QVERIFY(rig.dialogs.saveFilters.isEmpty());
            QVERIFY(button->isEnabled());
            rig.dialogs.confirmAnswer = true; // Continue: the build is written or sent
            button->click();
            QVERIFY(!nothingDone());
            if (upload) {
                const QByteArray built(
                    reinterpret_cast<const char*>(rig.state.creatorRecord.image.data()) + 192, 64);
                QCOMPARE(rig.device.Payload("SET ND_ED1B"), built.toHex().toUpper());
            }
            rig.New();
            button->click();
            QCOMPARE(rig.dialogs.confirmations.size(), 2);
        }
    }

    // "Hex View..." shows the build; beside it the EDID that was opened, the bytes that differ
    // marked in both
    void hexViewShowsTheBuildBesideTheOpenedEdid() {
        Rig rig;
        QFile in(QString(TAVO_TEST_DATA) + "/edid/d0807abe7120c13f.bin");
        QVERIFY(in.open(QIODevice::ReadOnly));
        const QByteArray original = in.readAll();
        rig.dialogs.openAnswer = in.fileName();
        rig.form->findChild<QAbstractButton*>("SpeedButton_OpenEdid_Creator")->click();
        rig.box("CheckBox_VideoIdCode_93")->click(); // an edit of the operator's, among the losses
        auto* button = rig.w("Button_HexView_Creator");
        QVERIFY(button);
        button->click();
        QWidget* window = rig.form->findChild<QWidget*>("Form_HexView");
        const EdidImage built = rig.state.creatorRecord.image;
        EdidRecord expected = rig.state.creatorRecord;
        QVERIFY(Build(rig.creator->page(), expected)); // the build of the page as it stands
        QVERIFY(expected.image == built);
        tavo::test::CheckHexView(window, built);
        auto* hex = window->findChild<QTableWidget*>("TableWidget_Hex");
        auto* opened = window->findChild<QTableWidget*>("TableWidget_Opened");
        QVERIFY(window->findChild<QWidget*>("Panel_HexOpened")->isVisible());
        // two grids and the list are wider than the test screen: the window shrinks onto it
        QVERIFY(window->screen()->availableGeometry().contains(window->frameGeometry()));
        QCOMPARE(tavo::test::GridBytes(opened), original);
        QList<int> differ;
        for (int b = 0; b < 256; ++b)
            if (static_cast<char>(built[b]) != original[b]) differ << b;
        QVERIFY(!differ.isEmpty());
        QCOMPARE(tavo::test::MarkedBytes(hex), differ);
        QCOMPARE(tavo::test::MarkedBytes(opened), differ);
        QCOMPARE(window->findChild<QLabel*>("Label_HexChanged")->text(),
                 QString("%1 bytes changed (red)").arg(differ.size()));
        // a part chosen selects the same bytes in the opened EDID
        auto* parts = window->findChild<QListWidget*>("ListWidget_Parts");
        const BlockMap map = MapBlocks(built);
        parts->setCurrentRow(static_cast<int>(map.size()) - 3);
        QCOMPARE(tavo::test::SelectedBytes(opened), tavo::test::BytesOf(map[map.size() - 3]));

        // another Open while the view is shown: it follows, the new EDID beside its build
        QFile other(QString(TAVO_TEST_DATA) + "/edid/003e3a86840230ba.bin");
        QVERIFY(other.open(QIODevice::ReadOnly));
        const QByteArray otherBytes = other.readAll();
        rig.dialogs.openAnswer = other.fileName();
        rig.dialogs.confirmAnswer = true;
        rig.form->findChild<QAbstractButton*>("SpeedButton_OpenEdid_Creator")->click();
        QVERIFY(window->isVisible());
        QCOMPARE(tavo::test::GridBytes(opened), otherBytes);
        EdidRecord otherBuilt = rig.state.creatorRecord;
        QVERIFY(Build(rig.creator->page(), otherBuilt));
        tavo::test::CheckHexView(window, otherBuilt.image);

        // a one-block EDID opened from its 128-byte file and built unchanged: nothing changed
        QFile oneBlock(QString(TAVO_TEST_DATA) + "/edid/002d10c53aa9561f.bin");
        QVERIFY(oneBlock.open(QIODevice::ReadOnly));
        QCOMPARE(oneBlock.size(), 128);
        rig.dialogs.openAnswer = oneBlock.fileName();
        rig.form->findChild<QAbstractButton*>("SpeedButton_OpenEdid_Creator")->click();
        button->click();
        QCOMPARE(tavo::test::MarkedBytes(hex), QList<int>{});
        QCOMPARE(window->findChild<QLabel*>("Label_HexChanged")->text(),
                 QString("0 bytes changed (red)"));

        // an EDID of four blocks: the page holds its base block and first CTA-861 extension, the
        // opened EDID beside the build is all 512 bytes, its blocks mapped, and what the
        // two-block build drops is asked about by name
        QFile large(QString(TAVO_TEST_DATA) + "/blocks/displayid-512.bin");
        QVERIFY(large.open(QIODevice::ReadOnly));
        const QByteArray largeBytes = large.readAll();
        QCOMPARE(largeBytes.size(), 512);
        rig.dialogs.openAnswer = large.fileName();
        rig.form->findChild<QAbstractButton*>("SpeedButton_OpenEdid_Creator")->click();
        QCOMPARE(rig.state.creatorRecord.videoCodes[0], 16); // the CTA-861 block's video codes
        QCOMPARE(rig.state.creatorRecord.status & kStatusValidationMask, 0);
        button->click();
        QCOMPARE(opened->rowCount(), 32);
        QCOMPARE(hex->rowCount(), 16);
        QCOMPARE(tavo::test::GridBytes(opened, 512), largeBytes);
        QCOMPARE(opened->verticalHeaderItem(31)->text(), QString("1F0"));
        QVERIFY(tavo::test::MarkedBytes(opened).contains(300)); // only the opened EDID has it
        QCOMPARE(HexView::Existing(rig.form.get())->bytes().size(), std::size_t(256)); // the build
        QTemporaryDir out;
        QVERIFY(out.isValid());
        rig.dialogs.saveAnswer = out.filePath("fitted.bin");
        rig.dialogs.confirmations.clear();
        rig.dialogs.confirmAnswers = {false}; // the loss question: Cancel
        rig.form->findChild<QAbstractButton*>("SpeedButton_SaveEdid_Creator")->click();
        QVERIFY(!rig.dialogs.confirmations.isEmpty());
        const QString asked = rig.dialogs.confirmations.last().text;
        QVERIFY2(asked.contains("DisplayID block 2: product TAVO, 5120x1440 at 240 Hz, tiled "
                                "display 2 x 1"),
                 qPrintable(asked));
        QVERIFY2(asked.contains("CTA-861 block 3"), qPrintable(asked));
        QVERIFY(!QFile::exists(out.filePath("fitted.bin")));

        // a New EDID: the build alone
        rig.New();
        button->click();
        tavo::test::CheckHexView(window, rig.state.creatorRecord.image);
        QVERIFY(!window->findChild<QWidget*>("Panel_HexOpened")->isVisible());
        QCOMPARE(tavo::test::MarkedBytes(hex), QList<int>{});
        // a page that cannot be built shows nothing new
        rig.Type(kProductCode, "");
        window->close();
        button->click();
        QVERIFY(!window->isVisible());
        QCOMPARE(rig.warning()->text(), QString("Product Code Not A Number!"));
    }

    void theOperatorIsAskedAndTold() {
        Rig rig;
        QTemporaryDir dir;
        const QString out = dir.filePath("out.bin");
        rig.New();
        QVERIFY(rig.dialogs.confirmations.isEmpty()); // nothing edited yet: nothing to lose
        const struct {
            const char* what;
            std::function<void()> act;
            bool confirm;        // the answer to a discard question
            int questions;       // discard questions asked by the step
            const char* monitor; // the monitor name afterwards
            const char* label3;  // Label3 afterwards ("" for empty); checked with startsWith
            bool saved;          // out.bin written by the step
        } steps[] = {
            {"typing a red name", [&] { rig.Type(kMonitorName, "Fourteen chars"); }, true, 0,
             "Fourteen chars", "", false},
            {"Save refuses a red field",
             [&] {
                 rig.form->findChild<QAbstractButton*>("SpeedButton_SaveEdid_Creator")->click();
             },
             true, 0, "Fourteen chars", "", false},
            {"New is refused when not confirmed", [&] { rig.New(); }, false, 1, "Fourteen chars",
             "", false},
            {"so is Open",
             [&] {
                 rig.form->findChild<QAbstractButton*>("SpeedButton_OpenEdid_Creator")->click();
             },
             false, 1, "Fourteen chars", "", false},
            {"a valid name", [&] { rig.Type(kMonitorName, "Bench"); }, true, 0, "Bench", "", false},
            {"Save says where",
             [&] {
                 rig.form->findChild<QAbstractButton*>("SpeedButton_SaveEdid_Creator")->click();
             },
             true, 0, "Bench", "Saved to out.bin.", true},
            {"after a save New asks nothing", [&] { rig.New(); }, false, 0, "BrandNewEdid",
             "Saved to out.bin.", false},
            {"an edit", [&] { rig.Type(kMonitorName, "Desk"); }, true, 0, "Desk",
             "Saved to out.bin.", false},
            {"New confirmed", [&] { rig.New(); }, true, 1, "BrandNewEdid", "Saved to out.bin.",
             false},
        };
        for (const auto& step : steps) {
            QFile::remove(out);
            rig.dialogs.saveAnswer = out;
            rig.dialogs.openAnswer.clear();
            rig.dialogs.confirmAnswer = step.confirm;
            rig.dialogs.confirmations.clear();
            rig.dialogs.openFilters.clear();
            QString during;
            // the probe ends with the step: an instant step must not leave it to fire later, on
            // the next step's or the next test's stack
            QObject stepScope;
            QTimer::singleShot(300, &stepScope, [&] { during = rig.label3()->text(); });
            step.act();
            QCOMPARE(rig.dialogs.confirmations.size(), step.questions);
            if (step.questions && !step.confirm) QVERIFY(rig.dialogs.openFilters.isEmpty());
            QCOMPARE(rig.edit(kMonitorName)->text(), QString(step.monitor));
            const QString label3 = rig.label3()->text();
            QVERIFY2(*step.label3 ? label3.startsWith(step.label3) : label3.isEmpty(),
                     qPrintable(QString(step.what) + ": " + label3));
            QCOMPARE(QFile::exists(out), step.saved);
            if (QString(step.what).startsWith("Save refuses"))
                QCOMPARE(during, QString("Create Error! Correct Monitor Name."));
        }
    }

    void aPageThatCannotBeBuiltIsNotSaved() {
        Rig rig;
        QTemporaryDir dir;
        rig.New();
        rig.Type(kProductCode, ""); // an empty number is ignored by its rule...
        QCOMPARE(rig.warning()->text(), QString());
        const EdidImage before = rig.state.creatorRecord.image;
        rig.dialogs.saveAnswer = dir.filePath("out.bin");
        rig.form->findChild<QAbstractButton*>("SpeedButton_SaveEdid_Creator")
            ->click(); // ...but stops the build
        QVERIFY(rig.dialogs.saveFilters.isEmpty());
        QVERIFY(!QFile::exists(rig.dialogs.saveAnswer));
        QCOMPARE(rig.warning()->text(), QString("Product Code Not A Number!"));
        QVERIFY(rig.state.creatorRecord.image == before);
    }

    void openReadsAFile() {
        Rig rig;
        QTemporaryDir dir;
        // a short file is padded with 0xFF and fails its checksum: refused, and the page holding
        // an edited EDID keeps it, edit included
        rig.form->findChild<QAbstractButton*>("SpeedButton_OpenEdid_New")->click();
        rig.Type(kMonitorName, "Kept");
        const EdidImage recordBefore = rig.state.creatorRecord.image;
        QFile shortFile(dir.filePath("short.bin"));
        QVERIFY(shortFile.open(QIODevice::WriteOnly));
        const EdidImage tmpl = NewEdidTemplate();
        shortFile.write(reinterpret_cast<const char*>(tmpl.data()), 100);
        shortFile.close();
        rig.dialogs.openAnswer = shortFile.fileName();
        rig.dialogs.confirmAnswer = true; // the edits may go: the file is refused all the same
        rig.form->findChild<QAbstractButton*>("SpeedButton_OpenEdid_Creator")->click();
        QCOMPARE(rig.dialogs.openFilters, QStringList{"EDID (*.bin *.txt *.hex);;All files (*)"});
        QCOMPARE(Memo(rig), QString("Edid Open Fail."));
        QCOMPARE(rig.edit(kMonitorName)->text(), QString("Kept"));
        QVERIFY(rig.state.creatorRecord.image == recordBefore);
        // and why
        QCOMPARE(rig.label3()->text(),
                 QString("Edid Open Fail: Not an EDID (100 bytes): Illegal Edid CheckSum0."));
        QCOMPARE(Colour(rig.label3()), kRed);

        // the template as a file: its page, not a new EDID's date
        QFile full(dir.filePath("full.bin"));
        QVERIFY(full.open(QIODevice::WriteOnly));
        full.write(reinterpret_cast<const char*>(tmpl.data()), 256);
        full.close();
        rig.dialogs.openAnswer = full.fileName();
        rig.form->findChild<QAbstractButton*>("SpeedButton_OpenEdid_Creator")->click();
        QCOMPARE(rig.edit(kMonitorName)->text(), QString("BrandNewEdid"));
        QCOMPARE(rig.edit(kManufactureWeek)->text(), QString("15"));
        QCOMPARE(rig.warning()->text(), QString());
        QCOMPARE(rig.status() & (kStatusNewTemplate | kStatusHoldsEdid), kStatusHoldsEdid);

        // hex text as xrandr prints it, a header line and 32 digits a line
        QFile hex(dir.filePath("xrandr.txt"));
        QVERIFY(hex.open(QIODevice::WriteOnly));
        QByteArray renamed(reinterpret_cast<const char*>(tmpl.data()), 256);
        renamed.replace("BrandNewEdid", "HexTextEdid\n");
        int sum = 0;
        for (int i = 0; i < 127; ++i)
            sum += static_cast<unsigned char>(renamed[i]);
        renamed[127] = char((256 - (sum & 0xFF)) & 0xFF);
        hex.write("\tEDID:\n");
        for (int i = 0; i < 256; i += 16)
            hex.write("\t\t" + renamed.mid(i, 16).toHex() + "\n");
        hex.close();
        rig.dialogs.openAnswer = hex.fileName();
        rig.form->findChild<QAbstractButton*>("SpeedButton_OpenEdid_Creator")->click();
        QCOMPARE(Memo(rig), QString("Edid Open OK."));
        QCOMPARE(rig.edit(kMonitorName)->text(), QString("HexTextEdid"));

        // a whole edid-decode report opens as its EDID
        rig.dialogs.openAnswer = QString(TAVO_TEST_DATA) + "/reports/0a2f6adf41d8ea44.txt";
        rig.form->findChild<QAbstractButton*>("SpeedButton_OpenEdid_Creator")->click();
        QCOMPARE(Memo(rig), QString("Edid Open OK."));
        QCOMPARE(rig.edit(kMonitorName)->text(), QString("QBQ90"));
        // hex text with an odd number of digits is refused as such, the reason whole on Label3
        QFile odd(dir.filePath("odd.txt"));
        QVERIFY(odd.open(QIODevice::WriteOnly));
        odd.write("EDID:\n00 ff f\n");
        odd.close();
        rig.dialogs.openAnswer = odd.fileName();
        rig.form->findChild<QAbstractButton*>("SpeedButton_OpenEdid_Creator")->click();
        QCOMPARE(Memo(rig), QString("Edid Open Fail."));
        QCOMPARE(rig.label3()->text(),
                 QString("Edid Open Fail: hex text with an odd number of hex digits in line 2: "
                         "every byte is two digits."));
        QVERIFY(rig.label3()->heightForWidth(rig.label3()->width()) <= rig.label3()->height());
        QCOMPARE(rig.edit(kMonitorName)->text(), QString("QBQ90"));

        // a file that cannot be opened changes nothing
        rig.dialogs.openAnswer = dir.filePath("absent.bin");
        rig.form->findChild<QAbstractButton*>("SpeedButton_OpenEdid_Creator")->click();
        QCOMPARE(Memo(rig), QString("Edid Open Fail."));
        QVERIFY2(rig.label3()->text().startsWith("Edid Open Fail: "),
                 qPrintable(rig.label3()->text()));
        QCOMPARE(rig.edit(kMonitorName)->text(), QString("QBQ90"));
        // cancelled: nothing at all
        rig.dialogs.openAnswer.clear();
        rig.form->findChild<QAbstractButton*>("SpeedButton_OpenEdid_Creator")->click();
        QCOMPARE(Memo(rig), QString("Edid Open Fail."));
    }

    // "From a connected display…": the displays of the DRM tree offered, the chosen one opened,
    // and "Paste EDID" of the main window's Edit menu opens hex text as Open opens a file.
    void openFromADisplayAndPaste() {
        test::DrmTree tree;
        const EdidImage tmpl = NewEdidTemplate();
        tree.Add("card0-HDMI-A-1", "connected", {tmpl.begin(), tmpl.end()});
        tree.Add("card0-DP-1", "disconnected", {});
        tree.Add("card0-DP-2", "connected", {}); // connected, no EDID yet: not offered
        qputenv("TAVO_DRM_ROOT", QByteArray::fromStdString(tree.root()));
        Rig rig;
        rig.dialogs.openAnswer = "display:card0-HDMI-A-1";
        rig.form->findChild<QAbstractButton*>("SpeedButton_OpenEdid_Creator")->click();
        QCOMPARE(rig.dialogs.offeredDisplays.size(), 1);
        QCOMPARE(rig.dialogs.offeredDisplays[0].connector, QString("card0-HDMI-A-1"));
        QVERIFY(rig.dialogs.offeredDisplays[0].description.endsWith("  BrandNewEdid"));
        QCOMPARE(Memo(rig), QString("Edid Open OK."));
        QCOMPARE(rig.edit(kMonitorName)->text(), QString("BrandNewEdid"));
        for (const char* gone : {"display:card0-DP-1", "display:card0-HDMI-A-9"}) {
            rig.dialogs.openAnswer = gone;
            rig.form->findChild<QAbstractButton*>("SpeedButton_OpenEdid_Creator")->click();
            QCOMPARE(Memo(rig), QString("Edid Open Fail."));
        }
        qunsetenv("TAVO_DRM_ROOT");

        // the chooser: the displays in a list, the first chosen; or a line saying there is none
        DisplayChooser chooser(rig.dialogs.offeredDisplays);
        QCOMPARE(chooser.connector(), QString("card0-HDMI-A-1"));
        DisplayChooser none({});
        QCOMPARE(none.findChild<QLabel*>("Label_Displays")->text(), QString(kTextNoDisplay));
        QCOMPARE(none.connector(), QString());

        // paste: hex text opened, the creator's tab shown; text of no EDID opens nothing
        EdidImage renamed = tmpl;
        std::copy_n("PastedEdid\n  ", 13, renamed.begin() + 95);
        renamed[127] = 0;
        renamed[127] = static_cast<std::uint8_t>(
            256 - std::accumulate(renamed.begin(), renamed.begin() + 127, 0) % 256);
        rig.form->PageControl1->setCurrentWidget(rig.form->TabSheet1);
        QGuiApplication::clipboard()->setText("EDID:\n" +
                                              QString::fromStdString(EdidHexText(renamed)));
        QCOMPARE(rig.form->PasteEdid->text(), QString("Paste EDID"));
        rig.form->PasteEdid->trigger();
        QCOMPARE(Memo(rig), QString("Edid Open OK."));
        QCOMPARE(rig.edit(kMonitorName)->text(), QString("PastedEdid"));
        QCOMPARE(rig.form->PageControl1->currentWidget(), rig.form->TabSheet4);
        QGuiApplication::clipboard()->setText("no EDID here");
        rig.Type(kProductCode, "4242"); // an unsaved edit, kept by every refusal below
        rig.form->PasteEdid->trigger();
        QCOMPARE(Memo(rig), QString("Edid Open Fail.")); // binary of no EDID: refused
        QCOMPARE(rig.edit(kMonitorName)->text(), QString("PastedEdid"));
        QCOMPARE(rig.edit(kProductCode)->text(), QString("4242"));
        QCOMPARE(rig.label3()->text(),
                 QString("Edid Open Fail: Not an EDID: Illegal Edid Header."));
        QGuiApplication::clipboard()->setText("00 ff 0");
        rig.form->PasteEdid->trigger();
        QCOMPARE(Memo(rig), QString("Edid Open Fail."));
        QCOMPARE(rig.label3()->text(),
                 QString("Edid Open Fail: the clipboard holds hex text with an odd number of hex "
                         "digits in line 1: every byte is two digits."));
        QGuiApplication::clipboard()->setText(QString::fromStdString(EdidHexText(tmpl)) + "00");
        rig.form->PasteEdid->trigger();
        QCOMPARE(Memo(rig), QString("Edid Open Fail.")); // 257 bytes
        QCOMPARE(rig.edit(kMonitorName)->text(), QString("PastedEdid"));
        QCOMPARE(rig.edit(kProductCode)->text(), QString("4242"));
        QVERIFY(rig.label3()->text().startsWith("Edid Open Fail: the clipboard"));

        // a whole `xrandr --verbose` output with two EDIDs: the operator picks the connector;
        // a cancelled choice is a refusal that leaves the page
        QFile xrandr(QString(TAVO_TEST_DATA) + "/xrandr-verbose-two.txt");
        QVERIFY(xrandr.open(QIODevice::ReadOnly));
        QGuiApplication::clipboard()->setText(QString::fromLatin1(xrandr.readAll()));
        rig.dialogs.listAnswer.clear();
        rig.form->PasteEdid->trigger();
        QCOMPARE(Memo(rig), QString("Edid Open Fail."));
        QCOMPARE(rig.label3()->text(),
                 QString("Edid Open Fail: the clipboard holds xrandr output, but no connector "
                         "chosen."));
        QCOMPARE(rig.edit(kProductCode)->text(), QString("4242"));
        QCOMPARE(rig.dialogs.offeredChoices.size(), 2);
        QCOMPARE(rig.dialogs.offeredChoices[0].name, QString("eDP-1"));
        QCOMPARE(rig.dialogs.offeredChoices[1].name, QString("HDMI-1"));
        rig.dialogs.listAnswer = "HDMI-1";
        rig.dialogs.confirmAnswer = true; // the edit may go
        rig.form->PasteEdid->trigger();
        QCOMPARE(Memo(rig), QString("Edid Open OK."));
        QFile sample(QString(TAVO_TEST_DATA) + "/edid/003e3a86840230ba.bin");
        QVERIFY(sample.open(QIODevice::ReadOnly));
        const QByteArray bytes = sample.readAll();
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(rig.state.creatorRecord.image.data()),
                            bytes.size()),
                 bytes);
        // hex text of an EDID of four blocks: its base block and first CTA-861 extension
        QFile large(QString(TAVO_TEST_DATA) + "/blocks/displayid-512.bin");
        QVERIFY(large.open(QIODevice::ReadOnly));
        QString largeText = "EDID:\n";
        const QByteArray largeBytes = large.readAll();
        for (int at = 0; at < largeBytes.size(); at += 16)
            largeText += QString::fromLatin1(largeBytes.mid(at, 16).toHex(' ')) + "\n";
        QGuiApplication::clipboard()->setText(largeText);
        rig.dialogs.confirmAnswer = true; // the unsaved edit may go
        rig.form->PasteEdid->trigger();
        QCOMPARE(Memo(rig), QString("Edid Open OK."));
        QCOMPARE(rig.state.creatorRecord.videoCodes[0], 16);
        QCOMPARE(
            QByteArray(reinterpret_cast<const char*>(rig.state.creatorRecord.image.data()) + 128,
                       127),
            largeBytes.mid(128, 127));
    }

    // "Presets...": a ready-made EDID on the page as Open puts a file there; saved without an
    // edit it keeps its claims, and only what the page cannot hold is asked about. Open offers
    // them too.
    void presetsOpenAsOpenDoes() {
        Rig rig;
        QTemporaryDir dir;
        QCOMPARE(rig.w<QAbstractButton>("Button_Presets_Creator")->text(),
                 QString("Presets\u2026"));
        for (const PresetInfo& p : Presets()) {
            const QString name = Q(p.name);
            rig.dialogs.listAnswer = name;
            rig.w<QAbstractButton>("Button_Presets_Creator")->click();
            QCOMPARE(rig.dialogs.offeredChoices.size(), qsizetype(Presets().size()));
            QCOMPARE(Memo(rig), QString("Edid Open OK."));
            const PresetBuild built = BuildPreset(p.name);
            EdidRecord decoded;
            Decode(decoded, built.image);
            QCOMPARE(rig.edit(kMonitorName)->text(), Q(FieldText(decoded.monitorName)));
            QVERIFY(rig.box(built.image[126] == 0 ? kFormatDvi : kFormatHdmi)->isChecked());
            const int confirmations = rig.dialogs.confirmations.size();
            rig.dialogs.saveAnswer = dir.filePath(name + ".bin");
            rig.form->findChild<QAbstractButton*>("SpeedButton_SaveEdid_Creator")->click();
            // nothing to lose (HLG, for which the page has no box, included), nothing to ask
            QCOMPARE(rig.dialogs.confirmations.size(), confirmations);
            QFile f(rig.dialogs.saveAnswer);
            QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(name));
            EdidRecord saved;
            const QByteArray bytes = f.readAll();
            Decode(saved, ImageFromBytes(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                         std::size_t(bytes.size())));
            QCOMPARE(saved.videoCodes, decoded.videoCodes);
            QCOMPARE(saved.audioDescriptors, decoded.audioDescriptors);
            QCOMPARE(saved.hdrEotfs, decoded.hdrEotfs); // HLG kept
            QCOMPARE(bytes, QByteArray(reinterpret_cast<const char*>(built.image.data()),
                                       qsizetype(EdidLength(built.image))));
        }
        // cancelled: the page stays; the Open dialog offers the presets and opens one by name
        const QString shown = rig.edit(kMonitorName)->text();
        rig.dialogs.listAnswer.clear();
        rig.w<QAbstractButton>("Button_Presets_Creator")->click();
        QCOMPARE(rig.edit(kMonitorName)->text(), shown);
        rig.dialogs.openAnswer = "preset:2160p30-stereo";
        rig.form->findChild<QAbstractButton*>("SpeedButton_OpenEdid_Creator")->click();
        QCOMPARE(rig.dialogs.offeredPresets.size(), qsizetype(Presets().size()));
        QCOMPARE(rig.edit(kMonitorName)->text(), QString("2160p30"));
        rig.dialogs.openAnswer = "preset:no-such-thing";
        rig.form->findChild<QAbstractButton*>("SpeedButton_OpenEdid_Creator")->click();
        QCOMPARE(Memo(rig), QString("Edid Open Fail."));
        QCOMPARE(rig.label3()->text(), QString("Edid Open Fail: no such ready-made EDID."));
    }

    void openFromTheAnalyzer() {
        Rig rig;
        EdidImage analysed = NewEdidTemplate();
        std::optional<EdidImage> source;
        rig.creator->setAnalysedImage([&] { return source; });
        rig.form->ShowAnalyzer();
        rig.form->findChild<QTabWidget*>("PageControl2")
            ->setCurrentWidget(rig.w<QWidget>("TabSheet9"));
        rig.form->PageControl1->setCurrentWidget(rig.form->TabSheet1);

        rig.form->findChild<QAbstractButton*>("SpeedButton_OpenEdid_Analysis")
            ->click(); // no valid analysis: nothing
        QCOMPARE(rig.edit(kManufacturerName)->text(), QString());
        QVERIFY(rig.form->Form2->isVisible());

        analysed[127] ^= 1; // a broken checksum opens nothing either
        source = analysed;
        rig.form->findChild<QAbstractButton*>("SpeedButton_OpenEdid_Analysis")->click();
        QCOMPARE(rig.edit(kManufacturerName)->text(), QString());

        analysed[127] ^= 1;
        source = analysed;
        rig.form->findChild<QAbstractButton*>("SpeedButton_OpenEdid_Analysis")->click();
        QCOMPARE(rig.edit(kMonitorName)->text(), QString("BrandNewEdid"));
        QCOMPARE(rig.edit(kManufactureYear)->text(), QString("2015")); // not a new EDID
        QVERIFY(!rig.form->Form2->isVisible());
        QCOMPARE(rig.form->PageControl1->currentWidget(), rig.form->TabSheet4);
        QCOMPARE(rig.form->findChild<QTabWidget*>("PageControl2")->currentWidget()->objectName(),
                 QString("TabSheet5"));
        QCOMPARE(rig.status() & (kStatusNewTemplate | kStatusHoldsEdid), kStatusHoldsEdid);
    }

    void uploadSendsTheBuiltImageToTheChosenSlot() {
        Rig rig;
        rig.Connect();
        rig.New();
        rig.box("CheckBox_VideoIdCode_93")->click();
        EdidRecord expected = rig.state.creatorRecord;
        QVERIFY(Build(rig.creator->page(), expected));
        QComboBox* slotList = rig.w<QComboBox>("ComboBox_EdidSel_Upload");
        QCOMPARE(slotList->count(), 5); // Input 1, Input 2, separator, User 1, User 2
        slotList->setCurrentIndex(4);   // User 2
        rig.device.lines.clear();

        bool disabledDuring = false;
        QString label3During;
        QTimer::singleShot(400, [&] {
            disabledDuring =
                !rig.form->findChild<QAbstractButton*>("SpeedButton_CopyEdid_Creator")->isEnabled();
            label3During = rig.label3()->text();
            rig.creator->SpeedButton_CopyEdid_CreatorClick(); // a second click does nothing
        });
        QSignalSpy finished(rig.creator, &EdidCreatorPage::uploadFinished);
        rig.form->findChild<QAbstractButton*>("SpeedButton_CopyEdid_Creator")->click();
        QCOMPARE(finished.count(), 1);
        QVERIFY(disabledDuring);
        // "Ok." once the slot was read back, and it stays
        QCOMPARE(label3During, QString("Uploading..."));
        QVERIFY(rig.form->findChild<QAbstractButton*>("SpeedButton_CopyEdid_Creator")->isEnabled());
        QCOMPARE(rig.label3()->text(), QString("Ok."));
        QVERIFY(rig.form->Uart->session().pollTimer().isActive());

        QCOMPARE(rig.device.Count("ND_SEL"), 3); // the history read, the write, the read-back
        QCOMPARE(rig.device.Payload("SET ND_SEL"), QByteArray("2001"));
        QCOMPARE(rig.state.deviceTable.Current().selected.value, 0x2001);
        const char* chunks[] = {"SET ND_ED0A", "SET ND_ED0B", "SET ND_ED1A", "SET ND_ED1B"};
        for (int i = 0; i < 4; ++i) {
            const QByteArray bytes(reinterpret_cast<const char*>(expected.image.data()) + 64 * i,
                                   64);
            QCOMPARE(rig.device.Payload(chunks[i]), bytes.toHex().toUpper());
        }
        QCOMPARE(rig.device.lines.size(), 15);
    }

    void uploadRefusals() {
        Rig rig;
        // not connected: nothing at all
        rig.New();
        rig.form->findChild<QAbstractButton*>("SpeedButton_CopyEdid_Creator")->click();
        QCOMPARE(rig.label3()->text(), QString());

        rig.Connect();
        rig.device.lines.clear();
        // a broken rule: "Create Error!" for a second
        rig.Type(kManufactureWeek, "54");
        QString during;
        QTimer::singleShot(300, [&] { during = rig.label3()->text(); });
        rig.form->findChild<QAbstractButton*>("SpeedButton_CopyEdid_Creator")->click();
        QCOMPARE(during, QString("Create Error! Correct Week."));
        QCOMPARE(rig.label3()->text(), QString());
        QVERIFY(rig.device.lines.isEmpty());

        // a field that is no number
        rig.Type(kManufactureWeek, "5");
        rig.Type(kProductCode, ""); // ignored by its rule, refused by the build
        QCOMPARE(rig.status() & kStatusInputError, 0);
        rig.form->findChild<QAbstractButton*>("SpeedButton_CopyEdid_Creator")->click();
        QCOMPARE(rig.warning()->text(), QString("Product Code Not A Number!"));
        QVERIFY(rig.device.lines.isEmpty());
        QVERIFY(rig.form->findChild<QAbstractButton*>("SpeedButton_CopyEdid_Creator")->isEnabled());

        // an image whose header is broken: its validation message, nothing sent
        QTemporaryDir dir;
        EdidImage bad = NewEdidTemplate();
        bad[1] = 0x00;
        QFile f(dir.filePath("bad.bin"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(reinterpret_cast<const char*>(bad.data()), 256);
        f.close();
        // is refused when opened: it never reaches the page, so no build of it is sent
        rig.dialogs.openAnswer = f.fileName();
        rig.device.lines.clear();
        rig.form->findChild<QAbstractButton*>("SpeedButton_OpenEdid_Creator")->click();
        QCOMPARE(rig.label3()->text(),
                 QString("Edid Open Fail: Not an EDID (256 bytes): Illegal Edid Header."));
        QCOMPARE(Colour(rig.label3()), kRed);
        QCOMPARE(rig.edit(kManufactureWeek)->text(), QString("5"));
    }

    // The operator's disconnect or a port that dies while the first chunk is on its way: the
    // upload stops and says it failed, in red, and the failure stays.
    // Save and Upload of a build that fails the check ask first, naming the failing rules; the
    // answer decides what the file or the slot gets: the repaired build, the build as it is, or
    // nothing.
    void writingABuildThatFailsTheCheckAsksFirst() {
        enum Gets { RepairedBuild, TheBuild, Nothing };
        const struct {
            const char* answer;
            Gets gets;
        } rows[] = {
            {"Repair and write", RepairedBuild}, {"Write as it is", TheBuild}, {"Cancel", Nothing}};
        for (const bool upload : {false, true})
            for (const auto& r : rows) {
                const QString trace = QString("%1, %2").arg(upload ? "upload" : "save", r.answer);
                Rig rig;
                QTemporaryDir dir;
                rig.Connect();
                rig.New();
                // a monitor name that ends in spaces: the default repair trims them
                rig.edit(kMonitorName)->setText("Hall TV  ");
                EdidRecord built = rig.state.creatorRecord;
                QVERIFY(Build(rig.creator->page(), built));
                const WriteCheck check = CheckBeforeWrite(built.image);
                QVERIFY2(check.asks() && check.repairable, "the build was to fail the check");
                rig.w<QComboBox>("ComboBox_EdidSel_Upload")->setCurrentIndex(0); // Input 1
                rig.dialogs.saveAnswer = dir.filePath("out.bin");
                rig.dialogs.askAnswer = r.answer;
                rig.device.lines.clear();
                rig.form
                    ->findChild<QAbstractButton*>(upload ? "SpeedButton_CopyEdid_Creator"
                                                         : "SpeedButton_SaveEdid_Creator")
                    ->click();
                QCOMPARE(rig.dialogs.questions.size(), 1);
                const QString question = rig.dialogs.questions.front().text;
                QVERIFY2(question.startsWith("This EDID fails the check:\n"), qPrintable(trace));
                for (const std::string& rule : check.failing)
                    QVERIFY2(question.contains(QString::fromStdString(rule)), rule.c_str());
                QCOMPARE(rig.dialogs.offeredAnswers.front(),
                         (QStringList{"Repair and write", "Write as it is", "Cancel"}));
                const EdidImage& expected = r.gets == RepairedBuild ? check.repaired : built.image;
                const QByteArray bytes(reinterpret_cast<const char*>(expected.data()), 256);
                if (upload) {
                    if (r.gets == Nothing)
                        QVERIFY2(rig.device.lines.isEmpty(), qPrintable(trace));
                    else
                        QCOMPARE(
                            QByteArray(
                                reinterpret_cast<const char*>(rig.device.Slot(0x0000).data()), 256),
                            bytes);
                } else {
                    QFile f(rig.dialogs.saveAnswer);
                    QCOMPARE(f.exists(), r.gets != Nothing);
                    if (r.gets != Nothing) {
                        QVERIFY(f.open(QIODevice::ReadOnly));
                        QCOMPARE(f.readAll(), bytes);
                        QCOMPARE(rig.label3()->text(),
                                 QString(r.gets == RepairedBuild ? "Saved to out.bin (repaired)."
                                                                 : "Saved to out.bin."));
                    }
                }
                // the page keeps its own build whatever went out
                QCOMPARE(rig.state.creatorRecord.image, built.image);
            }
        // a build whose failures only a repair that changes a claim could mend (3840x2160 at
        // 60 Hz beyond the range limits, no video capability block) is offered no repair
        Rig rig;
        QTemporaryDir dir;
        rig.New();
        rig.box("CheckBox_VideoIdCode_97")->click();
        rig.dialogs.saveAnswer = dir.filePath("out.bin");
        rig.dialogs.askAnswer = "Repair and write"; // not offered: the cancel
        rig.form->findChild<QAbstractButton*>("SpeedButton_SaveEdid_Creator")->click();
        QCOMPARE(rig.dialogs.offeredAnswers, (QList<QStringList>{{"Write as it is", "Cancel"}}));
        QVERIFY(rig.dialogs.questions.front().text.contains("range-limits"));
        QVERIFY(!QFile::exists(rig.dialogs.saveAnswer));
    }

    void aDisconnectEndsTheUpload() {
        for (const bool portDies : {false, true}) {
            Rig rig;
            rig.Connect();
            rig.New();
            rig.w<QComboBox>("ComboBox_EdidSel_Upload")->setCurrentIndex(3); // User 1
            rig.device.lines.clear();
            auto* t = rig.device.transport;
            auto previous = t->onWrite;
            bool cut = false;
            t->onWrite = [&, previous](const QByteArray& b) {
                previous(b);
                if (!cut && rig.device.Count("ND_ED0A") == 1) {
                    cut = true;
                    QTimer::singleShot(0, [&] {
                        if (portDies)
                            t->fail(3);
                        else
                            rig.form->BitBtn_Disconnect->click();
                    });
                }
            };
            QSignalSpy finished(rig.creator, &EdidCreatorPage::uploadFinished);
            rig.form->findChild<QAbstractButton*>("SpeedButton_CopyEdid_Creator")->click();
            QCOMPARE(finished.count(), 1);
            QVERIFY(!rig.form->Uart->session().isConnected());
            QCOMPARE(t->writesWhileClosed, 0);
            QCOMPARE(rig.device.Count("ND_ED0B"), 0);
            QVERIFY(!rig.form->Uart->session().pollTimer().isActive());
            QVERIFY(
                rig.form->findChild<QAbstractButton*>("SpeedButton_CopyEdid_Creator")->isEnabled());
            QVERIFY(!rig.creator->busy());
            QCOMPARE(rig.label3()->text(), QString("Upload Edid Failed."));
            QCOMPARE(Colour(rig.label3()), kRed);
        }
    }
};

} // namespace creator_page_test

QTEST_MAIN(creator_page_test::CreatorPageTest)
#include "creator_page_test.moc"
