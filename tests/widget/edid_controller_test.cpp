// "EDID Controller" and the "EDID Analyzer" window on the real main window, against an in-memory
// device: the slot lists' rules, open, save, copy, Mode Select, the analysis, and what happens
// when answers go missing, the port is lost or an operator clicks twice.
#include <QAbstractButton>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QScreen>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <memory>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/qt/AppState.h"
#include "app/qt/User_interface.h"
#include "discovery/qt/DeviceGrid.h"
#include "edid/Check.h"
#include "edid/Decoder.h"
#include "edid/EdidBlocks.h"
#include "edid/Fit.h"
#include "edid/NewEdidTemplate.h"
#include "edid/Repair.h"
#include "link/qt/UartController.h"
#include "support/DrmTree.h"
#include "support/HexViewChecks.h"
#include "support/MemoryDevice.h"
#include "support/RecordingDialogs.h"
#include "support/Settle.h"
#include "ui/qt/DisplayChooser.h"
#include "ui/qt/Glyphs.h"
#include "workspace/analysis/qt/CheckWindows.h"
#include "workspace/analysis/qt/EdidControllerPage.h"
#include "workspace/analysis/qt/SummaryView.h"
#include "workspace/compose/qt/ComposeWindow.h"
#include "workspace/sources/Presets.h"
#include "workspace/sources/qt/EdidFile.h"

namespace edid_controller_test {

using namespace tavo;
using tavo::test::MemoryDevice;

// Samples with their summaries (tests/data/edid).
QByteArray SampleBytes(const QString& id) {
    QFile f(QStringLiteral(TAVO_TEST_DATA "/edid/") + id + ".bin");
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
EdidImage Sample(const QString& id) {
    const QByteArray b = SampleBytes(id);
    return ImageFromBytes(reinterpret_cast<const std::uint8_t*>(b.constData()),
                          static_cast<std::size_t>(b.size()));
}
QJsonObject Golden(const QString& id) {
    QFile f(QStringLiteral(TAVO_TEST_DATA "/edid/") + id + ".json");
    return f.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(f.readAll()).object()
                                       : QJsonObject();
}
QByteArray Bytes(const EdidImage& image) {
    return QByteArray(reinterpret_cast<const char*>(image.data()), kEdidSize);
}

// Every distinct (text, colour) the status label shows while an operation runs.
struct StatusRecorder {
    QLabel* label;
    QTimer timer;
    QStringList seen;
    explicit StatusRecorder(QLabel* l) : label(l) {
        QObject::connect(&timer, &QTimer::timeout, [this] { sample(); });
        timer.start(5);
    }
    void sample() {
        const QColor c = label->palette().color(QPalette::WindowText);
        const QString s = label->text().isEmpty()
                              ? QString()
                              : label->text() + (c == QColor(255, 0, 0) ? " [red]" : " [black]");
        if (!s.isEmpty() && (seen.isEmpty() || seen.last() != s)) seen << s;
    }
    // Everything seen, the text left at the end included (a result stays after its operation).
    QStringList all() {
        sample();
        return seen;
    }
};

struct Rig {
    AppState state;
    MemoryDevice device;
    tavo::test::RecordingDialogs dialogs;
    tavo::test::ScopedDialogs scoped{&dialogs};
    std::unique_ptr<TForm1> form;
    QTemporaryDir dir;
    int baseline = 0;

    Rig() {
        for (std::uint16_t s : {0x0000, 0x1000, 0x2000, 0x2001, 0x3000, 0x3007})
            device.Slot(s) = NewEdidTemplate();
    }
    void Connect() {
        qputenv("TAVO_SERIAL_PORTS", "/dev/memory-device");
        form = std::make_unique<TForm1>(state, nullptr, device.transport);
        form->BitBtn_Search->click();
        form->Grid->StringGrid1SelectCell(0, 1); // the device pages in "Commander"
        baseline = device.Count();
    }
    EdidControllerPage& Page() { return *form->EdidController; }
    QComboBox* Combo(const char* name) { return form->findChild<QComboBox*>(name); }
    QLabel* Label2() { return form->findChild<QLabel*>("Label2"); }
    QString Path(const QString& name) { return dir.filePath(name); }
    QString WriteFile(const QString& name, const QByteArray& bytes) {
        QFile f(Path(name));
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return f.fileName();
    }
    QList<QByteArray> Sent() const { return device.NamesSince(baseline); }
    void Mark() { baseline = device.Count(); }
    // The clicked operation has shown its verdict.
    void Settle() { tavo::test::Settle(*form->Uart, {form->EdidController}); }
    QString Row(const char* labelName) {
        auto* l = form->findChild<QLabel*>(labelName);
        return l ? l->text() : QString("<no %1>").arg(labelName);
    }
};

const QList<QByteArray> kReadSequence = {"SET ND_SEL", "GET ND_ED0A", "GET ND_ED0B", "GET ND_ED1A",
                                         "GET ND_ED1B"};
const QList<QByteArray> kWriteSequence = {"SET ND_SEL", "SET ND_ED0A", "SET ND_ED0B", "SET ND_ED1A",
                                          "SET ND_ED1B"};
QList<QByteArray> Bracket(const QList<QByteArray>& inner) {
    return QList<QByteArray>{"SET SYS_STM"} + inner + QList<QByteArray>{"SET SYS_CTM"};
}

// The check's test EDIDs: a clean one, the same with a video code listed twice (its checksum
// mended, so that it validates) and with a wrong checksum in its extension.
EdidImage CleanEdid() {
    return BuildPreset("1080p60-stereo").image;
}
void MendChecksum(EdidImage& image, int block) {
    std::uint8_t sum = 0;
    for (int i = block * 128; i < block * 128 + 127; ++i)
        sum = static_cast<std::uint8_t>(sum + image[static_cast<std::size_t>(i)]);
    image[static_cast<std::size_t>(block * 128 + 127)] = static_cast<std::uint8_t>(0x100 - sum);
}
EdidImage WithDuplicateVic(EdidImage image) {
    const EdidBlocks walked = ReadEdidBlocks(image);
    const EdidBlock* cta = walked.FirstAnnouncedCta();
    int at = -1;
    for (const CtaDataBlock& db : cta ? cta->dataBlocks : std::vector<CtaDataBlock>{})
        if (at < 0 && db.tag == 2 && db.length >= 3) at = db.offset;
    if (at < 0) return image;
    image[static_cast<std::size_t>(at + 2)] = image[static_cast<std::size_t>(at + 1)];
    MendChecksum(image, 1);
    return image;
}
// Only a warning: the extension's header says IT formats are overscanned.
EdidImage WithOverscanHeader(EdidImage image) {
    image[131] &= 0x7F;
    MendChecksum(image, 1);
    return image;
}
EdidImage WithBadChecksum(EdidImage image) {
    image[255] = static_cast<std::uint8_t>(image[255] + 1);
    return image;
}
QByteArray Repaired(const EdidImage& image) {
    const RepairResult r = RepairImage(image);
    return QByteArray(reinterpret_cast<const char*>(r.bytes.data()), qsizetype(r.bytes.size()));
}
QColor Colour(const QWidget* w) {
    return w->palette().color(QPalette::WindowText);
}

class EdidControllerTest : public QObject {
    Q_OBJECT
    QTemporaryDir data_; // the slot history, never in the real home
private slots:
    void initTestCase() { qputenv("XDG_DATA_HOME", data_.path().toLocal8Bit()); }
    // I=1 O=1 U=2 N=8: Input 1 | sep | Output 1 | sep | User 1, User 2 | sep | Internal 1..8
    void separatorMovesUpAndGlyphMarksWritableSlots() {
        Rig rig;
        rig.Connect();
        QComboBox* all = rig.Combo("ComboBox_EdidSel_All");
        QCOMPARE(all->count(), 15);
        const struct {
            int pick, lands;
            const char* glyph;
        } rows[] = {{0, 0, "OpenColor"}, {1, 0, "OpenColor"}, {2, 2, "OpenGray"},
                    {3, 2, "OpenGray"},  {4, 4, "OpenColor"}, {5, 5, "OpenColor"},
                    {6, 5, "OpenColor"}, {7, 7, "OpenGray"},  {14, 14, "OpenGray"}};
        for (const auto& r : rows) {
            all->setCurrentIndex(r.pick);
            QCOMPARE(all->currentIndex(), r.lands);
            QCOMPARE(GlyphOf(rig.form->findChild<QAbstractButton*>("SpeedButton_OpenEdid")),
                     QString(r.glyph));
        }
        // the other three lists: Src as All, Dest and Upload: Input 1 | sep | User 1, User 2
        for (const char* name :
             {"ComboBox_EdidSel_Src", "ComboBox_EdidSel_Dest", "ComboBox_EdidSel_Upload"}) {
            QComboBox* c = rig.Combo(name);
            c->setCurrentIndex(1);
            QCOMPARE(c->currentIndex(), 0);
            c->setCurrentIndex(2);
            QCOMPARE(c->currentIndex(), 2);
        }
        QCOMPARE(rig.Combo("ComboBox_EdidSel_Src")->itemText(3), QString(kSeparatorItem));
        rig.Combo("ComboBox_EdidSel_Src")->setCurrentIndex(3);
        QCOMPARE(rig.Combo("ComboBox_EdidSel_Src")->currentIndex(), 2);
    }

    void saveProposesTheSlotsNameAndWritesItsEdid() {
        Rig rig;
        rig.device.Slot(0x1000) = Sample("6311a3e944772acc");
        rig.device.Slot(0x2001) = Sample("002d10c53aa9561f");
        rig.device.Slot(0x3007) = Sample("003e3a86840230ba");
        rig.Connect();
        const struct {
            int position;
            const char* proposed;
            std::uint16_t selector;
        } rows[] = {{0, "Input1 EDID.bin", 0x0000},
                    {2, "Output1 EDID.bin", 0x1000},
                    {4, "User1 EDID.bin", 0x2000},
                    {5, "User2 EDID.bin", 0x2001},
                    {14, "Internal8 EDID.bin", 0x3007}};
        for (const auto& r : rows) {
            rig.Combo("ComboBox_EdidSel_All")->setCurrentIndex(r.position);
            const QString file = rig.Path(QString("saved%1.bin").arg(r.position));
            rig.dialogs.saveAnswer = file;
            rig.Mark();
            StatusRecorder status(rig.Label2());
            rig.form->findChild<QAbstractButton*>("SpeedButton_SaveEdid")->click();
            rig.Settle();
            QCOMPARE(rig.dialogs.proposedNames.last(), QString(r.proposed));
            QCOMPARE(rig.dialogs.saveFilters.last(), QString(kEdidFilter));
            QCOMPARE(rig.Sent(), Bracket(kReadSequence));
            QCOMPARE(
                rig.device.requests[rig.baseline + 1].payload,
                QByteArray::fromHex(QByteArray::number(r.selector, 16).rightJustified(4, '0')));
            QFile f(file);
            QVERIFY(f.open(QIODevice::ReadOnly));
            // the slot's EDID: a valid one-block EDID its own 128 bytes
            const EdidImage held = rig.device.Slot(r.selector);
            std::uint16_t heldStatus = 0;
            QCOMPARE(f.readAll(),
                     Bytes(held).left(ValidateImage(held, heldStatus) ? qsizetype(EdidLength(held))
                                                                      : qsizetype(256)));
            // "Ok." only once the file holds the slot's EDID, and it stays
            QCOMPARE(status.all(), (QStringList{"Saving... [black]", "Ok. [black]"}));
            QVERIFY(rig.form->Memo_Debug->toPlainText().startsWith("Edid Open OK.\n"));
            QCOMPARE(rig.state.deviceTable.Current().selected.value, r.selector);
        }
        // a cancelled save dialog sends only the bracket and writes nothing
        rig.dialogs.saveAnswer.clear();
        rig.Mark();
        rig.form->findChild<QAbstractButton*>("SpeedButton_SaveEdid")->click();
        rig.Settle();
        QCOMPARE(rig.Sent(), Bracket({}));
    }

    // A save onto a full file system (a small tmpfs in a mount namespace of this thread's own,
    // as root) keeps the older file as it was and says why in red, never "Ok.".
    void saveOntoAFullDiskKeepsTheOlderFile() {
        QTemporaryDir disk;
        if (::geteuid() != 0 || ::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("tavo-full", QFile::encodeName(disk.path()).constData(), "tmpfs", 0,
                    "size=64k") != 0)
            QSKIP("no mount namespace with a tmpfs here (needs root)");
        const auto unmount =
            qScopeGuard([&] { ::umount2(QFile::encodeName(disk.path()).constData(), MNT_DETACH); });
        const QString file = disk.filePath("old.bin");
        {
            QFile old(file);
            QVERIFY(old.open(QIODevice::WriteOnly));
            QCOMPARE(old.write("older contents"), qint64(14));
            old.close();
            QFile fill(disk.filePath("fill"));
            QVERIFY(fill.open(QIODevice::WriteOnly));
            const QByteArray block(4096, 'f');
            while (fill.write(block) == block.size() && fill.flush()) {
            }
        }
        Rig rig;
        rig.Connect();
        rig.dialogs.saveAnswer = file;
        StatusRecorder status(rig.Label2());
        rig.form->findChild<QAbstractButton*>("SpeedButton_SaveEdid")->click();
        rig.Settle();
        QCOMPARE(status.all(), (QStringList{"Saving... [black]",
                                            "Save Edid Failed. Not saved to old.bin: No space "
                                            "left on device. [red]"}));
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("older contents"));
        QCOMPARE(QDir(disk.path()).entryList(QDir::Files), (QStringList{"fill", "old.bin"}));
    }

    // A save writes only a complete read: a missing or corrupted chunk writes nothing, keeps an
    // older file as it was and says "Save Edid Failed." in red.
    void saveWritesNothingWithoutAllFourChunks() {
        const QByteArray faults[] = {"drop", "corrupt"};
        for (const char* command : {"ND_ED0A", "ND_ED1B"}) {
            for (const QByteArray& fault : faults) {
                Rig rig;
                rig.Connect();
                (fault == "drop" ? rig.device.drop : rig.device.corrupt).insert(command);
                const QString file = rig.WriteFile("old.bin", "older contents");
                rig.dialogs.saveAnswer = file;
                StatusRecorder status(rig.Label2());
                rig.form->findChild<QAbstractButton*>("SpeedButton_SaveEdid")->click();
                rig.Settle();
                QCOMPARE(status.all(),
                         (QStringList{"Saving... [black]",
                                      "Save Edid Failed. Not saved to old.bin: the device did "
                                      "not send the whole EDID. [red]"}));
                QFile f(file);
                QVERIFY(f.open(QIODevice::ReadOnly));
                QCOMPARE(f.readAll(), QByteArray("older contents"));
                QCOMPARE(QDir(rig.dir.path()).entryList(QDir::Files), QStringList{"old.bin"});
                QCOMPARE(rig.Sent().last(), QByteArray("SET SYS_CTM"));
            }
        }
    }

    // A file that cannot be made, a pipe that a plain file would replace and a read-only file:
    // "Edid Open Fail." in red on the page with the file and the reason the tool found, staying;
    // nothing read from the slot, the pipe and the read-only file left as they were.
    void aSaveThatCannotMakeItsFileSaysSo() {
        Rig rig;
        rig.Connect();
        QVERIFY(::mkfifo(QFile::encodeName(rig.Path("pipe.bin")).constData(), 0644) == 0);
        QFile readOnly(rig.Path("read-only.bin"));
        QVERIFY(readOnly.open(QIODevice::WriteOnly) && readOnly.write("kept") == 4);
        readOnly.close();
        QVERIFY(readOnly.setPermissions(QFileDevice::ReadOwner | QFileDevice::ReadGroup));
        const struct {
            QString name, shown;
        } cases[] = {
            // the reason is the system's words for the missing folder
            {"missing/out.bin", "Edid Open Fail. Not saved to out.bin: "},
            {"pipe.bin", "Edid Open Fail. Not saved to pipe.bin: not a regular file (a device, "
                         "pipe or socket); nothing written."},
            {"read-only.bin", "Edid Open Fail. Not saved to read-only.bin: is read-only; not "
                              "replaced."},
        };
        for (const auto& c : cases) {
            rig.dialogs.saveAnswer = rig.Path(c.name);
            rig.Mark();
            StatusRecorder status(rig.Label2());
            rig.form->findChild<QAbstractButton*>("SpeedButton_SaveEdid")->click();
            rig.Settle();
            const QStringList seen = status.all();
            QCOMPARE(seen.size(), 1);
            if (c.shown.endsWith(": ")) // some reason, whatever the system calls it
                QVERIFY2(seen[0].startsWith(c.shown) && seen[0].endsWith(". [red]") &&
                             seen[0].size() > c.shown.size() + 7,
                         qPrintable(seen[0]));
            else
                QCOMPARE(seen[0], c.shown + " [red]");
            const QString text = seen[0].chopped(6); // without " [red]"
            QCOMPARE(rig.Label2()->text(), text);    // it stays
            QVERIFY(rig.form->Memo_Debug->toPlainText().startsWith(text + "\n"));
            QCOMPARE(rig.Sent(), Bracket({}));
        }
        QVERIFY(QFileInfo(rig.Path("pipe.bin")).isFile() == false);
        // the dialogs belong to "Commander", where the page is: closing them leaves it in front
        QVERIFY(!rig.dialogs.parents.isEmpty());
        for (QWidget* parent : rig.dialogs.parents)
            QCOMPARE(parent, rig.form->Form3);
        QVERIFY(QFileInfo::exists(rig.Path("pipe.bin")));
        QVERIFY(readOnly.open(QIODevice::ReadOnly));
        QCOMPARE(readOnly.readAll(), QByteArray("kept"));
    }

    void openUploadsAValidFileIntoInputsAndUserSlots() {
        Rig rig;
        rig.Connect();
        const EdidImage sample = Sample("6311a3e944772acc");
        rig.dialogs.openAnswer = rig.WriteFile("in.bin", Bytes(sample));
        for (int position : {0, 5}) {
            const std::uint16_t selector = position == 0 ? 0x0000 : 0x2001;
            rig.Combo("ComboBox_EdidSel_All")->setCurrentIndex(position);
            rig.Mark();
            StatusRecorder status(rig.Label2());
            QStringList whileSending; // what the page says as each command reaches the device
            rig.device.onRequest = [&](const tavo::test::Request&) {
                whileSending << rig.Label2()->text();
            };
            rig.form->findChild<QAbstractButton*>("SpeedButton_OpenEdid")->click();
            rig.Settle();
            rig.device.onRequest = nullptr;
            // the slot read for the history, the write, the read-back
            QCOMPARE(rig.Sent(), Bracket(kReadSequence + kWriteSequence + kReadSequence));
            QCOMPARE(Bytes(rig.device.Slot(selector)), Bytes(sample));
            // "Ok." once the read-back has ended, never while the write or its read-back runs
            QVERIFY2(!whileSending.contains("Ok."), qPrintable(whileSending.join('|')));
            QCOMPARE(status.all(), (QStringList{"Uploading... [black]", "Ok. [black]"}));
            QCOMPARE(rig.form->findChild<QLineEdit*>("Edit_Edid_Path")->text(),
                     rig.dialogs.openAnswer);
            QCOMPARE(rig.dialogs.openFilters.last(), QString(kEdidOpenFilter));
        }
        // a file longer than 256 bytes: only the first 256 go
        rig.dialogs.openAnswer = rig.WriteFile("long.bin", Bytes(sample) + QByteArray(50, 'x'));
        rig.Combo("ComboBox_EdidSel_All")->setCurrentIndex(4);
        rig.form->findChild<QAbstractButton*>("SpeedButton_OpenEdid")->click();
        rig.Settle();
        QCOMPARE(Bytes(rig.device.Slot(0x2000)), Bytes(sample));
    }

    void openRefusesReadOnlySlotsAndInvalidFiles() {
        Rig rig;
        rig.Connect();
        rig.dialogs.openAnswer = rig.WriteFile("in.bin", Bytes(NewEdidTemplate()));
        for (int position : {2, 7, 14}) { // output 1, internal 1, internal 8
            rig.Combo("ComboBox_EdidSel_All")->setCurrentIndex(position);
            rig.Mark();
            StatusRecorder status(rig.Label2());
            rig.form->findChild<QAbstractButton*>("SpeedButton_OpenEdid")->click();
            rig.Settle();
            QCOMPARE(rig.Sent(), QList<QByteArray>{});
            QCOMPARE(status.all(), QStringList{QString(kTextReadOnlySlot) + " [red]"});
            QCOMPARE(rig.dialogs.openFilters.size(), 0);
        }
        QByteArray good = Bytes(NewEdidTemplate());
        QByteArray badHeader = good;
        badHeader[0] = 0x11;
        badHeader[127] = char(badHeader[127] + 3); // bad checksum too: the header is reported
        QByteArray badSum0 = good;
        badSum0[20] = char(badSum0[20] + 1);
        QByteArray badSum1 = good;
        badSum1[200] = char(badSum1[200] + 1);
        QByteArray banks = good;
        banks[126] = 2;
        banks[127] = char(banks[127] - 1);
        const struct {
            QByteArray bytes;
            const char* message;
        } files[] = {{badHeader, "Illegal Edid Header."},
                     {badSum0, "Illegal Edid CheckSum0."},
                     {badSum1, "Illegal Edid CheckSum1."},
                     {banks, "Edid Over Banks."},
                     {good.left(100), "Illegal Edid CheckSum0."},
                     // hex text is read as a binary file is; more than 256 bytes of it is
                     // refused, saying why
                     {"EDID:\n" + badSum1.toHex(' '), "Illegal Edid CheckSum1."},
                     {good.toHex(' ') + " 00",
                      "Edid Open Fail: hex text of 257 bytes, too long for an EDID of at most 256 "
                      "bytes"}};
        rig.Combo("ComboBox_EdidSel_All")->setCurrentIndex(0);
        const QByteArray before = Bytes(rig.device.Slot(0));
        for (const auto& f : files) {
            rig.dialogs.openAnswer = rig.WriteFile("bad.bin", f.bytes);
            rig.Mark();
            StatusRecorder status(rig.Label2());
            rig.form->findChild<QAbstractButton*>("SpeedButton_OpenEdid")->click();
            rig.Settle();
            QCOMPARE(rig.Sent(), Bracket({}));
            QCOMPARE(status.all(), QStringList{QString(f.message) + " [red]"});
        }
        QCOMPARE(Bytes(rig.device.Slot(0)), before);
        // a valid file after the invalid ones goes up
        QByteArray other = good;
        other[16] = char(other[16] + 1); // another week
        other[127] = char(other[127] - 1);
        rig.dialogs.openAnswer =
            rig.WriteFile("good.txt", "edid-decode (hex):\n\n" + other.toHex(' ') + "\n");
        rig.form->findChild<QAbstractButton*>("SpeedButton_OpenEdid")->click();
        rig.Settle();
        QCOMPARE(Bytes(rig.device.Slot(0)), other);
        // a one-block EDID's 128-byte file goes up too: its block, then 0xFF to the slot's end
        QFile oneBlock(QString(TAVO_TEST_DATA) + "/edid/002d10c53aa9561f.bin");
        QVERIFY(oneBlock.open(QIODevice::ReadOnly));
        const QByteArray base = oneBlock.readAll();
        QCOMPARE(base.size(), 128);
        rig.dialogs.openAnswer = rig.WriteFile("one.bin", base);
        StatusRecorder oneStatus(rig.Label2());
        rig.form->findChild<QAbstractButton*>("SpeedButton_OpenEdid")->click();
        rig.Settle();
        QCOMPARE(Bytes(rig.device.Slot(0)), base + QByteArray(128, '\xFF'));
        QCOMPARE(oneStatus.all().last(), QString("Ok. [black]"));
    }

    // A file of more blocks than a slot holds: the question names every block fitting drops;
    // Fit sends the base block and the first CTA-861 block, Cancel sends nothing.
    void uploadAsksToFitALargerEdid() {
        Rig rig;
        rig.Connect();
        QFile f(QStringLiteral(TAVO_TEST_DATA "/blocks/displayid-512.bin"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray whole = f.readAll();
        const FitOutcome fit = FitEdid(std::span(
            reinterpret_cast<const std::uint8_t*>(whole.constData()), std::size_t(whole.size())));
        QCOMPARE(fit.result, FitResult::Fitted);
        QVERIFY(fit.dropped.size() >= 2);
        rig.Combo("ComboBox_EdidSel_All")->setCurrentIndex(0);
        const QByteArray before = Bytes(rig.device.Slot(0));
        for (const bool answer : {false, true}) {
            rig.dialogs.openAnswer = rig.WriteFile("large.bin", whole);
            rig.dialogs.confirmations.clear();
            rig.dialogs.confirmAnswer = answer;
            rig.Mark();
            StatusRecorder status(rig.Label2());
            rig.form->findChild<QAbstractButton*>("SpeedButton_OpenEdid")->click();
            rig.Settle();
            QCOMPARE(rig.dialogs.confirmations.size(), 1);
            const DialogMessage& asked = rig.dialogs.confirmations[0];
            QCOMPARE(asked.acceptText, QString("Fit"));
            QCOMPARE(asked.rejectText, QString("Cancel"));
            for (const auto& d : fit.dropped)
                QVERIFY2(asked.text.contains(QString::fromStdString(d)), qPrintable(asked.text));
            if (answer) {
                QCOMPARE(Bytes(rig.device.Slot(0)), Bytes(fit.image));
                QCOMPARE(status.all().last(), QString("Ok. [black]"));
            } else {
                QCOMPARE(rig.Sent(), Bracket({}));
                QCOMPARE(Bytes(rig.device.Slot(0)), before);
                QCOMPARE(status.all(), QStringList{QString(kTextUploadCanceled) + " [red]"});
            }
        }
    }

    // "From a connected display…": the chosen display's EDID goes up as a file's would.
    void uploadFromADisplay() {
        test::DrmTree tree;
        const EdidImage sample = Sample("6311a3e944772acc");
        tree.Add("card1-DP-3", "connected", {sample.begin(), sample.end()});
        qputenv("TAVO_DRM_ROOT", QByteArray::fromStdString(tree.root()));
        Rig rig;
        rig.Connect();
        rig.dialogs.openAnswer = "display:card1-DP-3";
        rig.form->findChild<QAbstractButton*>("SpeedButton_OpenEdid")->click();
        rig.Settle();
        QCOMPARE(rig.dialogs.offeredDisplays.size(), 1);
        QCOMPARE(rig.dialogs.offeredDisplays[0].connector, QString("card1-DP-3"));
        QCOMPARE(Bytes(rig.device.Slot(0)), Bytes(sample));
        // a display that has gone: nothing goes up
        rig.device.Slot(0) = NewEdidTemplate();
        rig.dialogs.openAnswer = "display:card1-DP-4";
        rig.Mark();
        StatusRecorder status(rig.Label2());
        rig.form->findChild<QAbstractButton*>("SpeedButton_OpenEdid")->click();
        rig.Settle();
        QCOMPARE(rig.Sent(), Bracket({}));
        // a failure, not a cancel: the reason is said
        QCOMPARE(status.all().size(), 1);
        QVERIFY2(status.all().first().startsWith(
                     "Edid Open Fail: display:card1-DP-4: no such connector under "),
                 qPrintable(status.all().first()));
        QVERIFY(status.all().first().endsWith(" [red]"));
        qunsetenv("TAVO_DRM_ROOT");
        // a ready-made EDID, offered beside the displays, goes up as a file's would
        QCOMPARE(rig.dialogs.offeredPresets.size(), qsizetype(Presets().size()));
        rig.dialogs.openAnswer = "preset:2160p60-hdr-7.1";
        rig.form->findChild<QAbstractButton*>("SpeedButton_OpenEdid")->click();
        rig.Settle();
        QCOMPARE(Bytes(rig.device.Slot(0)), Bytes(BuildPreset("2160p60-hdr-7.1").image));
        rig.dialogs.openAnswer = "preset:2160p60-hdr";
        rig.form->findChild<QAbstractButton*>("SpeedButton_OpenEdid")->click();
        rig.Settle();
        // refused with the reason, which stays; the slot keeps the preset
        QCOMPARE(rig.Label2()->text(), QString("Edid Open Fail: unknown preset '2160p60-hdr'"));
        QCOMPARE(Bytes(rig.device.Slot(0)), Bytes(BuildPreset("2160p60-hdr-7.1").image));
    }

    // A cancel never opens the file an earlier dialog left behind.
    void cancelledOpenUploadsNothing() {
        Rig rig;
        rig.Connect();
        rig.dialogs.openAnswer = rig.WriteFile("in.bin", Bytes(Sample("6311a3e944772acc")));
        rig.form->findChild<QAbstractButton*>("SpeedButton_OpenEdid")->click();
        rig.Settle();
        rig.device.Slot(0) = NewEdidTemplate();
        rig.dialogs.openAnswer.clear();
        rig.Mark();
        StatusRecorder status(rig.Label2());
        rig.form->findChild<QAbstractButton*>("SpeedButton_OpenEdid")->click();
        rig.Settle();
        QCOMPARE(rig.Sent(), Bracket({}));
        QCOMPARE(status.all(), QStringList{"Upload Edid Canceled. [red]"});
        QVERIFY(rig.form->Memo_Debug->toPlainText().startsWith("Edid Open Fail.\n"));
        QCOMPARE(Bytes(rig.device.Slot(0)), Bytes(NewEdidTemplate()));
        // a name that cannot be opened takes the same way
        rig.dialogs.openAnswer = rig.Path("missing.bin");
        rig.Mark();
        rig.form->findChild<QAbstractButton*>("SpeedButton_OpenEdid")->click();
        rig.Settle();
        QCOMPARE(rig.Sent(), Bracket({}));
        // a file the reader refuses says why, and nothing goes up
        rig.dialogs.openAnswer = rig.WriteFile("odd.txt", "00 ff f\n");
        rig.Mark();
        StatusRecorder refused(rig.Label2());
        rig.form->findChild<QAbstractButton*>("SpeedButton_OpenEdid")->click();
        rig.Settle();
        QCOMPARE(rig.Sent(), Bracket({}));
        QCOMPARE(refused.seen, QStringList{"Edid Open Fail: hex text with an odd number of hex "
                                           "digits in line 1: every byte is two digits [red]"});
        QCOMPARE(Bytes(rig.device.Slot(0)), Bytes(NewEdidTemplate()));
    }

    void modeSelectSendsTheModeByteOfEachButton() {
        Rig rig;
        rig.device.internals = 8;
        rig.device.outputs = 1;
        rig.device.users = 2;
        rig.Connect();
        const DeviceRecord& d = rig.state.deviceTable.Current();
        for (const ModeButton& b : ModeButtonsInUse(d.internalCount, d.outputCount, d.userCount)) {
            const QString name = QString::fromStdString(ModeButtonName(b));
            auto* button = rig.form->findChild<QRadioButton*>(name);
            QVERIFY2(button && button->isEnabled(), qPrintable(name));
            rig.Mark();
            QTest::mousePress(button, Qt::LeftButton);
            QTest::mouseRelease(button, Qt::LeftButton);
            rig.Settle();
            const int expected = b.kind == ModeButtonKind::Internal   ? b.number - 1
                                 : b.kind == ModeButtonKind::External ? 8
                                                                      : 8 + 1 + b.number - 1;
            QCOMPARE(rig.Sent(), (QList<QByteArray>{"SET ND_SEL", "SET RXEDMD"}));
            QCOMPARE(rig.device.requests[rig.baseline].payload, QByteArray(2, '\0'));
            QCOMPARE(rig.device.requests[rig.baseline + 1].payload, QByteArray(1, char(expected)));
            QCOMPARE(rig.device.mode, expected);
            QVERIFY(button->isChecked());
            QCOMPARE(rig.state.deviceTable.Current().inputs[0].currentMode, kModeUnknown);
        }
        // "Internal 3" sends 2 whatever the counts; a disabled button sends nothing
        QCOMPARE(rig.Page().ModeByte({ModeButtonKind::Internal, 3}), 2);
        auto* user8 = rig.form->findChild<QRadioButton*>("RadioButton_Set_UserEdid8");
        QVERIFY(!user8->isEnabled());
        rig.Mark();
        QTest::mousePress(user8, Qt::LeftButton);
        QCOMPARE(rig.Sent(), QList<QByteArray>{});
    }

    // A mode the device does not take: the next poll checks the device's own mode again.
    void aRefusedModeIsUndoneByThePoll() {
        Rig rig;
        rig.device.modePoll = true;
        rig.device.mode = 3;
        rig.Connect();
        auto* internal4 = rig.form->findChild<QRadioButton*>("RadioButton_Set_IntEdid4");
        QTRY_VERIFY_WITH_TIMEOUT(internal4->isChecked(), 5000);
        rig.device.refuseMode = true;
        auto* user1 = rig.form->findChild<QRadioButton*>("RadioButton_Set_UserEdid1");
        QTest::mouseClick(user1, Qt::LeftButton);
        QVERIFY(user1->isChecked());
        rig.Settle();
        QCOMPARE(rig.device.mode, 3);
        QTRY_VERIFY_WITH_TIMEOUT(internal4->isChecked(), 5000);
        QVERIFY(!user1->isChecked());
    }

    void copyReadsTheSourceAndWritesTheDestination() {
        Rig rig;
        rig.device.Slot(0x3001) = Sample("6311a3e944772acc");
        rig.Connect();
        QVERIFY(!rig.form->findChild<QFrame*>("Panel52")->isHidden());
        rig.Combo("ComboBox_EdidSel_Src")->setCurrentIndex(8);  // internal 2
        rig.Combo("ComboBox_EdidSel_Dest")->setCurrentIndex(3); // user 2
        QAbstractButton* copy =
            rig.form->findChild<QAbstractButton*>("SpeedButton_CopyEdid_Src2Dest");
        bool disabledMeanwhile = false;
        rig.device.onRequest = [&](const tavo::test::Request&) {
            disabledMeanwhile = disabledMeanwhile || !copy->isEnabled();
        };
        rig.Mark();
        copy->click();
        rig.Settle();
        QCOMPARE(rig.Sent(),
                 Bracket(kReadSequence + kReadSequence + kWriteSequence + kReadSequence));
        QCOMPARE(rig.device.requests[rig.baseline + 1].payload, QByteArray("\x30\x01", 2));
        QCOMPARE(rig.device.requests[rig.baseline + 11].payload, QByteArray("\x20\x01", 2));
        QCOMPARE(Bytes(rig.device.Slot(0x2001)), Bytes(Sample("6311a3e944772acc")));
        QVERIFY(disabledMeanwhile);
        QVERIFY(copy->isEnabled());
        // the verdict stays on the copy's row; a save's result replaces it on the page
        QCOMPARE(rig.Row("Label_Copy_Status"), QString(kTextOk));
        rig.dialogs.saveAnswer = rig.Path("after-copy.bin");
        rig.form->findChild<QAbstractButton*>("SpeedButton_SaveEdid")->click();
        rig.Settle();
        QCOMPARE(rig.Row("Label_Copy_Status"), QString());
        QCOMPARE(rig.Label2()->text(), QString(kTextOk));

        // a lost chunk: nothing is written to the destination
        rig.device.Slot(0x2001) = NewEdidTemplate();
        rig.device.drop.insert("ND_ED0B");
        rig.Mark();
        // the copy reports in its own row, not in the group above it
        StatusRecorder status(rig.form->findChild<QLabel*>("Label_Copy_Status"));
        StatusRecorder above(rig.Label2());
        QCOMPARE(status.label->parentWidget(), rig.form->findChild<QFrame*>("Panel52"));
        copy->click();
        rig.Settle();
        QCOMPARE(rig.Sent(), Bracket(kReadSequence));
        QCOMPARE(status.all(), (QStringList{QString(kTextCopying) + " [black]",
                                            QString(kTextCopyFailed) + " [red]"}));
        QVERIFY(above.all().isEmpty());
        QCOMPARE(Bytes(rig.device.Slot(0x2001)), Bytes(NewEdidTemplate()));
        QVERIFY(copy->isEnabled());
        // the failure stays until the operator's next action on the page: picking a slot
        QCOMPARE(rig.Row("Label_Copy_Status"), QString(kTextCopyFailed));
        QTest::keyClick(rig.Combo("ComboBox_EdidSel_Src"), Qt::Key_Up);
        QCOMPARE(rig.Row("Label_Copy_Status"), QString());
    }

    void analysisShowsTheRowsOfSampleEdids() {
        const QStringList ids = {"6311a3e944772acc", "002d10c53aa9561f", "003e3a86840230ba",
                                 "01aa34e9952b6374"};
        Rig rig;
        for (int i = 0; i < ids.size(); ++i)
            rig.device.Slot(0x3000 + i) = Sample(ids[i]);
        rig.Connect();
        // "EDID Analyzer" goes beside "Commander" the first time, then stays where it is put
        rig.form->Form3->move(100, 100);
        QCOMPARE(rig.form->Form2->pos(), QPoint(889, 154));
        for (int i = 0; i < ids.size(); ++i) {
            rig.Combo("ComboBox_EdidSel_All")->setCurrentIndex(7 + i);
            rig.Mark();
            rig.form->findChild<QAbstractButton*>("SpeedButton_AnalysisEdid")->click();
            rig.Settle();
            QCOMPARE(rig.Sent(), kReadSequence);
            const QJsonObject golden = Golden(ids[i]);
            for (int row = 0; row < kSummaryRowCount; ++row) {
                const QString key =
                    QString::fromLatin1(kSummaryTitles[row].data(), kSummaryTitles[row].size());
                QString shown = rig.Row(kSummaryLabelNames[row].data());
                shown.remove('\n');
                QCOMPARE(shown, golden.value(key).toString());
            }
            QCOMPARE(
                GlyphOf(rig.form->findChild<QAbstractButton*>("SpeedButton_OpenEdid_Analysis")),
                QString("ModifyColor"));
            QVERIFY(rig.form->Form2->isVisible());
            QCOMPARE(rig.form->findChild<QGroupBox*>("GroupBox5")->window(), rig.form->Form2);
        }
        QCOMPARE(rig.form->Form2->frameGeometry().left(),
                 rig.form->Form3->frameGeometry().right() + 1 + 15);
        QCOMPARE(rig.form->Form2->pos().y(), 100);
        rig.form->Form2->move(300, 350); // near enough: it stays where the operator put it
        rig.form->findChild<QAbstractButton*>("SpeedButton_AnalysisEdid")->click();
        rig.Settle();
        QCOMPARE(rig.form->Form2->pos(), QPoint(300, 350));
        // the wrapped audio row of the first sample
        rig.Combo("ComboBox_EdidSel_All")->setCurrentIndex(7);
        rig.form->findChild<QAbstractButton*>("SpeedButton_AnalysisEdid")->click();
        rig.Settle();
        QCOMPARE(rig.Row("Label_Audio_Formats"),
                 QString("2PCM,MPCM,DolbyD,DolbyD+,DolbyHD,\nDTS,DTSHD,OBA,"));
        QCOMPARE(rig.form->findChild<QWidget*>("Panel10")->height(), 38);
        // the window names the slot it shows, and every row is readable whole
        QCOMPARE(rig.form->Form2->windowTitle(),
                 "EDID Analyzer - " + rig.Combo("ComboBox_EdidSel_All")->currentText());
        QVERIFY(!rig.Combo("ComboBox_EdidSel_All")->currentText().isEmpty());
        for (int row = 0; row < kSummaryRowCount; ++row) {
            auto* label = rig.form->findChild<QLabel*>(kSummaryLabelNames[row].data());
            const QRect inWindow(label->mapTo(rig.form->Form2, QPoint()), label->size());
            QVERIFY(rig.form->Form2->rect().contains(inWindow));
            for (const QString& line : label->text().split('\n'))
                QVERIFY2(label->fontMetrics().horizontalAdvance(line) <= label->width(),
                         qPrintable(line));
        }
        // an invalid EDID: "Illegal", "-", the grey glyph
        EdidImage bad = Sample(ids[0]);
        bad[200] ^= 1;
        rig.device.Slot(0x3000) = bad;
        rig.form->findChild<QAbstractButton*>("SpeedButton_AnalysisEdid")->click();
        rig.Settle();
        QCOMPARE(rig.Row("Label_Edid_Header"), QString("Illegal (header good)"));
        QCOMPARE(rig.Row("Label_Edid_Checksum"), QString("Illegal (extension block)"));
        QCOMPARE(GlyphOf(rig.form->findChild<QAbstractButton*>("SpeedButton_OpenEdid_Analysis")),
                 QString("ModifyGray"));
    }

    // The analysis uses only a complete fresh read; the analysed EDID stays what the window
    // shows whatever later transfers put into the transfer buffer.
    void analysisNeedsACompleteReadAndKeepsItsEdid() {
        Rig rig;
        const EdidImage shown = Sample("6311a3e944772acc");
        rig.device.Slot(0x3000) = shown;
        rig.device.Slot(0x3001) = Sample("002d10c53aa9561f");
        rig.Connect();
        rig.Combo("ComboBox_EdidSel_All")->setCurrentIndex(7);
        rig.form->findChild<QAbstractButton*>("SpeedButton_AnalysisEdid")->click();
        rig.Settle();
        QVERIFY(rig.Page().AnalysedImage());
        QCOMPARE(Bytes(*rig.Page().AnalysedImage()), Bytes(shown));
        // Edit > "Copy EDID as hex": the analysed EDID as text that reads back byte for byte
        QCOMPARE(rig.form->CopyEdidHex->text(), QString("Copy EDID as hex"));
        rig.form->CopyEdidHex->trigger();
        const QString copied = QGuiApplication::clipboard()->text();
        QCOMPARE(copied.count('\n'), 16);
        QCOMPARE(QByteArray::fromHex(copied.toLatin1()), Bytes(shown));

        // a later save of another slot reuses the transfer buffer
        rig.Combo("ComboBox_EdidSel_All")->setCurrentIndex(8);
        rig.dialogs.saveAnswer = rig.Path("other.bin");
        rig.form->findChild<QAbstractButton*>("SpeedButton_SaveEdid")->click();
        rig.Settle();
        QCOMPARE(Bytes(rig.state.edidTransfer.image), Bytes(Sample("002d10c53aa9561f")));
        QCOMPARE(Bytes(rig.Page().AnalysedRecord()->image), Bytes(shown));
        QCOMPARE(rig.Page().AnalysedRecord()->status & kStatusValidationMask, 0);

        // a read with a corrupted chunk: "No Answer", "-" rows, grey glyph, nothing to open
        rig.device.corrupt.insert("ND_ED1A");
        rig.form->findChild<QAbstractButton*>("SpeedButton_AnalysisEdid")->click();
        rig.Settle();
        QCOMPARE(rig.Row("Label_Edid_Header"), QString(kTextNoAnswer));
        for (int row = 1; row < kSummaryRowCount; ++row)
            QCOMPARE(rig.Row(kSummaryLabelNames[row].data()), QString("-"));
        QCOMPARE(GlyphOf(rig.form->findChild<QAbstractButton*>("SpeedButton_OpenEdid_Analysis")),
                 QString("ModifyGray"));
        QVERIFY(rig.Page().AnalysedRecord()->status & kStatusValidationMask);
    }

    // "Hex View..." shows the analysed bytes coloured by their parts; a part chosen in the list
    // or by a click on one of its bytes is selected with its fields; the window stays on the
    // screen wherever the analyzer stands.
    void hexViewShowsTheAnalysedBytes() {
        Rig rig;
        const EdidImage shown = Sample("6311a3e944772acc");
        rig.device.Slot(0x3000) = shown;
        rig.Connect();
        auto* hexButton = rig.form->findChild<QAbstractButton*>("Button_HexView_Analyzer");
        QVERIFY(hexButton);
        QVERIFY(!hexButton->isEnabled()); // nothing analysed yet
        rig.Combo("ComboBox_EdidSel_All")->setCurrentIndex(7);
        rig.form->findChild<QAbstractButton*>("SpeedButton_AnalysisEdid")->click();
        rig.Settle();
        QVERIFY(hexButton->isEnabled());
        QCOMPARE(hexButton->window(), rig.form->Form2);
        const QRect area = rig.form->Form2->screen()->availableGeometry();
        rig.form->Form2->move(area.right() - 100, area.bottom() - 100); // beside it is off-screen
        hexButton->click();
        QWidget* window = rig.form->findChild<QWidget*>("Form_HexView");
        tavo::test::CheckHexView(window, shown);
        QVERIFY(area.contains(window->frameGeometry()));
        QVERIFY(!window->findChild<QWidget*>("Panel_HexOpened")->isVisible());
        QCOMPARE(tavo::test::MarkedBytes(window->findChild<QTableWidget*>("TableWidget_Hex")),
                 QList<int>{});

        // a click on a byte selects the part it belongs to
        auto* hex = window->findChild<QTableWidget*>("TableWidget_Hex");
        auto* parts = window->findChild<QListWidget*>("ListWidget_Parts");
        const BlockMap map = MapBlocks(shown);
        for (int b : {9, 80, 127, 133, 255}) {
            const auto part = std::find_if(map.begin(), map.end(), [b](const BlockPart& p) {
                return p.offset <= b && b < p.end();
            });
            QTest::mouseClick(hex->viewport(), Qt::LeftButton, {},
                              hex->visualItemRect(hex->item(b / 16, b % 16)).center());
            QCOMPARE(parts->currentRow(), static_cast<int>(part - map.begin()));
            QCOMPARE(tavo::test::SelectedBytes(hex), tavo::test::BytesOf(*part));
        }

        // the title names the analysed slot; the open view follows the next analysis
        const QString first = rig.Combo("ComboBox_EdidSel_All")->currentText();
        QCOMPARE(window->windowTitle(), "Hex View - " + first + " (analysis)");
        const EdidImage next = Sample("0a2f6adf41d8ea44");
        rig.device.Slot(0x3001) = next;
        rig.Combo("ComboBox_EdidSel_All")->setCurrentIndex(8);
        const QString second = rig.Combo("ComboBox_EdidSel_All")->currentText();
        QVERIFY(second != first);
        rig.form->findChild<QAbstractButton*>("SpeedButton_AnalysisEdid")->click();
        rig.Settle();
        tavo::test::CheckHexView(window, next);
        QCOMPARE(window->windowTitle(), "Hex View - " + second + " (analysis)");

        // an incomplete read has no bytes to show: the view says it is not of that slot
        rig.device.corrupt.insert("ND_ED1A");
        rig.Combo("ComboBox_EdidSel_All")->setCurrentIndex(7);
        rig.form->findChild<QAbstractButton*>("SpeedButton_AnalysisEdid")->click();
        rig.Settle();
        QVERIFY(!hexButton->isEnabled());
        QCOMPARE(window->windowTitle(), "Hex View - " + second +
                                            " (analysis): not the analysis of " + first +
                                            ", which could not be read");
        tavo::test::CheckHexView(window, next);
        window->close();
        rig.Page().Button_HexView_AnalyzerClick();
        QVERIFY(!window->isVisible());
    }

    // "Compose...": the outputs read when the window opens and ticked, a file added; the result
    // never claims what a ticked source lacks, says what it left out, takes one source's audio
    // when asked, and is saved, shown and uploaded through the page's own verified write.
    void composeWindowBuildsSavesAndUploadsTheCommonEdid() {
        Rig rig;
        rig.device.outputs = 2;
        const EdidImage tv = BuildPreset("2160p60-hdr-7.1").image;
        const EdidImage monitor = BuildPreset("1080p60-stereo").image;
        rig.device.Slot(0x1000) = tv;
        rig.device.Slot(0x1001) = monitor;
        rig.Connect();
        rig.Mark();
        rig.form->findChild<QAbstractButton*>("Button_Compose")->click();
        rig.Settle();
        auto* window = rig.form->findChild<QWidget*>("Form_Compose");
        QVERIFY(window && window->isVisible());
        QCOMPARE(rig.Sent(), Bracket(kReadSequence + kReadSequence));
        auto w = [window](const char* name) { return window->findChild<QAbstractButton*>(name); };
        auto* sources = window->findChild<QListWidget*>("ListBox_Compose_Sources");
        auto* audio = window->findChild<QComboBox*>("ComboBox_Compose_AudioFrom");
        auto* leftOut = window->findChild<QListWidget*>("ListBox_Compose_LeftOut");
        auto* message = window->findChild<QLabel*>("Label_Compose_Message");
        auto* compose = window->findChild<ComposeWindow*>();
        QCOMPARE(sources->count(), 2);
        QCOMPARE(sources->item(0)->text(), QString("Output 1  (2160p60 HDR)"));
        QCOMPARE(sources->item(1)->checkState(), Qt::Checked);
        auto decoded = [compose] {
            EdidRecord r;
            Decode(r, compose->result().image);
            return r;
        };
        QVERIFY(compose->built());
        const EdidRecord both = decoded();
        QVERIFY(std::count(both.videoCodes.begin(), both.videoCodes.end(), 16) == 1);
        QVERIFY(std::count(both.videoCodes.begin(), both.videoCodes.end(), 97) == 0);
        QCOMPARE(int(both.maxChannels), 2);
        QCOMPARE(int(both.hdrEotfs), 0);
        QVERIFY(leftOut->count() > 0);
        QVERIFY(!leftOut->findItems("3840x2160", Qt::MatchContains).isEmpty());
        // long lines wrap rather than scroll sideways
        QVERIFY(leftOut->wordWrap());
        QCOMPARE(leftOut->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        // the video formats in numeric order, in the places compose gave them
        std::vector<ComposeOmission> omissions = {{"1024x768 60 Hz", {2}, "1024x768 60 Hz: x"},
                                                  {"E-AC-3", {2}, "E-AC-3: y"},
                                                  {"640x480 60 Hz", {2}, "640x480 60 Hz: z"},
                                                  {"3840x2160 30 Hz", {2}, "3840x2160 30 Hz: w"}};
        QCOMPARE(LeftOutLines(omissions), (QStringList{"640x480 60 Hz: z", "E-AC-3: y",
                                                       "1024x768 60 Hz: x", "3840x2160 30 Hz: w"}));
        EdidRecord shown = both;
        const AnalyzerSummary summary = AnalyseEdid(shown);
        const std::string_view resolution = summary.Row(SummaryRow::MaxResolution);
        QCOMPARE(window->findChild<QLabel*>("Label_Max_Resolution_Compose")->text(),
                 QString::fromLatin1(resolution.data(), qsizetype(resolution.size())));
        // the receiver's audio: source 1's, whatever source 2 says
        QCOMPARE(audio->count(), 3);
        audio->setCurrentIndex(1);
        QCOMPARE(int(decoded().maxChannels), 8);
        audio->setCurrentIndex(0);
        QCOMPARE(int(decoded().maxChannels), 2);

        // a file added is ticked and composed; an invalid one is refused with its message
        rig.dialogs.openAnswer =
            rig.WriteFile("720p.bin", Bytes(BuildPreset("720p60-stereo").image));
        w("Button_Compose_AddFile")->click();
        QCOMPARE(sources->count(), 3);
        QVERIFY(sources->item(2)->text().startsWith("720p.bin"));
        QVERIFY(compose->built());
        const EdidRecord three = decoded();
        QVERIFY(std::count(three.videoCodes.begin(), three.videoCodes.end(), 16) == 0);
        QByteArray bad = Bytes(monitor);
        bad[0] = 0x11;
        rig.dialogs.openAnswer = rig.WriteFile("bad.bin", bad);
        w("Button_Compose_AddFile")->click();
        QCOMPARE(sources->count(), 3);
        QCOMPARE(message->text(), QString("bad.bin: Illegal Edid Header."));
        // a file of more blocks than a slot holds is taken whole, not refused as over banks
        QFile large(QStringLiteral(TAVO_TEST_DATA "/blocks/displayid-512.bin"));
        QVERIFY(large.open(QIODevice::ReadOnly));
        rig.dialogs.openAnswer = rig.WriteFile("large.bin", large.readAll());
        w("Button_Compose_AddFile")->click();
        QCOMPARE(sources->count(), 4);
        QVERIFY2(!message->text().contains("Over Banks"), qPrintable(message->text()));
        sources->item(3)->setCheckState(Qt::Unchecked);
        // one ticked source is too few: nothing to save or upload
        sources->item(1)->setCheckState(Qt::Unchecked);
        sources->item(2)->setCheckState(Qt::Unchecked);
        QVERIFY(!compose->built());
        QCOMPARE(message->text(), QString(kComposeTooFew));
        QVERIFY(!w("Button_Compose_Save")->isEnabled() && !w("Button_Compose_Upload")->isEnabled());
        sources->item(1)->setCheckState(Qt::Checked);
        QVERIFY(compose->built());
        const EdidImage result = compose->result().image;

        // Save, Hex View
        rig.dialogs.saveAnswer = rig.Path("composed.bin");
        w("Button_Compose_Save")->click();
        QCOMPARE(rig.dialogs.proposedNames.last(), QString(kComposedName));
        QFile saved(rig.dialogs.saveAnswer);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), Bytes(result));
        QCOMPARE(message->text(), QString("Saved to composed.bin."));
        w("Button_Compose_HexView")->click();
        tavo::test::CheckHexView(rig.form->findChild<QWidget*>("Form_HexView"), result);
        // titled with its sources, not with what the view showed before
        QVERIFY2(rig.form->findChild<QWidget*>("Form_HexView")
                     ->windowTitle()
                     .startsWith("Hex View - Compose of Output 1"),
                 qPrintable(rig.form->findChild<QWidget*>("Form_HexView")->windowTitle()));

        // Upload into User 1: the slot's history read, the write, the read-back
        auto* slot = window->findChild<QComboBox*>("ComboBox_Compose_Upload");
        QCOMPARE(slot->itemText(2), QString("User 1"));
        slot->setCurrentIndex(2);
        rig.Mark();
        w("Button_Compose_Upload")->click();
        rig.Settle();
        QCOMPARE(rig.Sent(), Bracket(kReadSequence + kWriteSequence + kReadSequence));
        QCOMPARE(Bytes(rig.device.Slot(0x2000)), Bytes(result));
        QCOMPARE(message->text(), QString("User 1: Ok."));
        // a slot that does not take it: the controller's own text
        rig.device.corrupt.insert("ND_ED1B");
        slot->setCurrentIndex(0);
        w("Button_Compose_Upload")->click();
        rig.Settle();
        QCOMPARE(message->text(), QString("Input 1: ") + kTextUploadFailed);
        rig.device.corrupt.clear();

        // opened again: the outputs read anew (no duplicates), the files stay
        rig.device.Slot(0x1001) = BuildPreset("1080p60-5.1").image;
        rig.form->findChild<QAbstractButton*>("Button_Compose")->click();
        rig.Settle();
        QCOMPARE(sources->count(), 4);
        QCOMPARE(sources->item(1)->text(), QString("Output 2  (1080p 5.1)"));
        QVERIFY(sources->item(2)->text().startsWith("720p.bin"));
        // no display connected: said, nothing added
        qputenv("TAVO_DRM_ROOT", QByteArray::fromStdString(rig.Path("no-drm").toStdString()));
        const int before = rig.dialogs.messages.size();
        w("Button_Compose_AddDisplay")->click();
        QCOMPARE(rig.dialogs.messages.size(), before + 1);
        QCOMPARE(rig.dialogs.messages.last().text, QString(kTextNoDisplay));
        qunsetenv("TAVO_DRM_ROOT");
    }

    // "Full report" runs edid-decode on the bytes shown (on its standard input) and shows what it
    // prints; it is hidden without the program and stops one that takes too long.
    // The analyzer's check line: the analysed EDID's verdict, red when it fails; "Details..."
    // lists the findings and shows a chosen one's part selected in "Hex View"; without a complete
    // read there is no verdict and nothing to list or repair.
    void analyzerShowsTheCheckAndItsFindings() {
        Rig rig;
        const EdidImage clean = CleanEdid();
        const EdidImage faulty = WithDuplicateVic(clean);
        QVERIFY(faulty != clean);
        rig.device.Slot(0x3000) = clean;
        rig.device.Slot(0x3001) = faulty;
        rig.Connect();
        auto* verdict = rig.form->findChild<QLabel*>("Label_Check_Verdict");
        auto* details = rig.form->findChild<QAbstractButton*>("Button_Check_Details");
        auto* repair = rig.form->findChild<QAbstractButton*>("Button_Check_Repair");
        QVERIFY(verdict && details && repair);
        QVERIFY(!details->isEnabled() && !repair->isEnabled()); // nothing analysed yet
        const std::vector<Finding> faults = CheckImage(faulty);
        const struct {
            int position;
            QString line;
            QColor colour;
        } rows[] = {{7, "Check: no finding", kStatusBlack},
                    {8, QString::fromStdString(CheckSummaryLine(faults)), kStatusRed}};
        for (const auto& r : rows) {
            rig.Combo("ComboBox_EdidSel_All")->setCurrentIndex(r.position);
            rig.form->findChild<QAbstractButton*>("SpeedButton_AnalysisEdid")->click();
            rig.Settle();
            QCOMPARE(verdict->text(), r.line);
            QCOMPARE(Colour(verdict), r.colour);
            QVERIFY(details->isEnabled() && repair->isEnabled());
            // the line and its buttons stand whole in the fixed window, the line readable
            for (QWidget* w : {static_cast<QWidget*>(verdict), static_cast<QWidget*>(details),
                               static_cast<QWidget*>(repair)}) {
                QCOMPARE(w->window(), rig.form->Form2);
                QVERIFY(rig.form->Form2->rect().contains(
                    QRect(w->mapTo(rig.form->Form2, QPoint()), w->size())));
            }
            QVERIFY(verdict->fontMetrics().horizontalAdvance(verdict->text()) <= verdict->width());
        }
        QVERIFY(verdict->text().contains("failure"));
        QVERIFY(std::any_of(faults.begin(), faults.end(),
                            [](const Finding& f) { return f.rule == "duplicate-vic"; }));

        // "Details...": one row per finding; the duplicate's row shows its part in "Hex View"
        details->click();
        auto* window = rig.form->findChild<QWidget*>("Form_CheckDetails");
        QVERIFY(window && window->isVisible());
        auto* table = window->findChild<QTableWidget*>("TableWidget_Check_Findings");
        QCOMPARE(table->rowCount(), int(faults.size()));
        QCOMPARE(window->findChild<QLabel*>("Label_Check_Details")->text(),
                 QString::fromStdString(CheckSummaryLine(faults)));
        int duplicate = -1;
        for (int row = 0; row < table->rowCount(); ++row) {
            const Finding& f = faults[std::size_t(row)];
            QCOMPARE(table->item(row, 0)->text(), QString::fromLatin1(SeverityName(f.severity)));
            QCOMPARE(table->item(row, 1)->text(), QString::fromStdString(f.rule));
            QVERIFY(table->item(row, 2)->text().startsWith(QString::fromStdString(f.part)));
            QCOMPARE(table->item(row, 3)->text(), QString::fromStdString(f.text));
            if (f.rule == "duplicate-vic") duplicate = row;
        }
        QVERIFY(duplicate >= 0);
        table->selectRow(duplicate);
        auto* hexWindow = rig.form->findChild<QWidget*>("Form_HexView");
        QVERIFY(hexWindow && hexWindow->isVisible());
        auto* hex = hexWindow->findChild<QTableWidget*>("TableWidget_Hex");
        QCOMPARE(tavo::test::GridBytes(hex), Bytes(faulty));
        const int offset = faults[std::size_t(duplicate)].offset;
        const BlockMap map = MapBlocks(faulty);
        const auto part = std::find_if(map.begin(), map.end(), [offset](const BlockPart& p) {
            return p.offset <= offset && offset < p.end();
        });
        QVERIFY(part != map.end());
        QCOMPARE(tavo::test::SelectedBytes(hex), tavo::test::BytesOf(*part));

        // an open list follows the next analysis; an incomplete read has no verdict
        rig.Combo("ComboBox_EdidSel_All")->setCurrentIndex(7);
        rig.form->findChild<QAbstractButton*>("SpeedButton_AnalysisEdid")->click();
        rig.Settle();
        QCOMPARE(table->rowCount(), 0);
        rig.device.corrupt.insert("ND_ED1A");
        rig.form->findChild<QAbstractButton*>("SpeedButton_AnalysisEdid")->click();
        rig.Settle();
        QCOMPARE(verdict->text(), QString());
        QVERIFY(!details->isEnabled() && !repair->isEnabled());
        QVERIFY(!window->isVisible());
        QVERIFY(rig.Page().AnalysedFindings().empty());
    }

    // An upload of a file that fails the check asks first, naming the failing rules; each answer
    // decides what reaches the slot: the repaired EDID, the file as it is, or nothing. A clean
    // file asks nothing; a file with a wrong checksum cannot go as it is.
    void uploadOfAFailingFileAsksFirst() {
        Rig rig;
        rig.Connect();
        const EdidImage clean = CleanEdid();
        const EdidImage faulty = WithDuplicateVic(clean);
        rig.dialogs.openAnswer = rig.WriteFile("clean.bin", Bytes(clean));
        rig.form->findChild<QAbstractButton*>("SpeedButton_OpenEdid")->click();
        rig.Settle();
        QCOMPARE(rig.dialogs.questions.size(), 0);
        QCOMPARE(Bytes(rig.device.Slot(0)), Bytes(clean));
        // a warning alone asks nothing either
        const EdidImage warned = WithOverscanHeader(clean);
        QCOMPARE(VerdictOf(CheckImage(warned)), Verdict::Warn);
        rig.dialogs.openAnswer = rig.WriteFile("warned.bin", Bytes(warned));
        rig.form->findChild<QAbstractButton*>("SpeedButton_OpenEdid")->click();
        rig.Settle();
        QCOMPARE(rig.dialogs.questions.size(), 0);
        QCOMPARE(Bytes(rig.device.Slot(0)), Bytes(warned));

        const QList<QByteArray> written = Bracket(kReadSequence + kWriteSequence + kReadSequence);
        const struct {
            const char* answer;
            QByteArray holds;
            QList<QByteArray> sent;
            QString status;
        } rows[] = {
            {"Repair and write", Repaired(faulty), written, "Ok. [black]"},
            {"Write as it is", Bytes(faulty), written, "Ok. [black]"},
            {"Cancel", Bytes(NewEdidTemplate()), Bracket({}),
             QString(kTextUploadCanceled) + " [red]"},
        };
        rig.dialogs.openAnswer = rig.WriteFile("faulty.bin", Bytes(faulty));
        for (const auto& r : rows) {
            rig.device.Slot(0) = NewEdidTemplate();
            rig.dialogs.askAnswer = r.answer;
            const auto asked = rig.dialogs.questions.size();
            rig.Mark();
            StatusRecorder status(rig.Label2());
            rig.form->findChild<QAbstractButton*>("SpeedButton_OpenEdid")->click();
            rig.Settle();
            QCOMPARE(rig.dialogs.questions.size(), asked + 1);
            const QString question = rig.dialogs.questions.last().text;
            QVERIFY2(question.startsWith("This EDID fails the check:\n  ") &&
                         question.contains("duplicate-vic"),
                     qPrintable(question));
            QCOMPARE(rig.dialogs.offeredAnswers.last(),
                     (QStringList{"Repair and write", "Write as it is", "Cancel"}));
            QCOMPARE(rig.Sent(), r.sent);
            QCOMPARE(Bytes(rig.device.Slot(0)), r.holds);
            QCOMPARE(status.all().last(), r.status);
        }
        QVERIFY(Repaired(faulty) != Bytes(faulty));
        const QByteArray mended = Repaired(faulty);
        QVERIFY(VerdictOf(CheckImage(
                    ImageFromBytes(reinterpret_cast<const std::uint8_t*>(mended.constData()),
                                   std::size_t(mended.size())))) != Verdict::Fail);

        // a wrong checksum: only the repair can go up, and it mends just the checksum
        rig.dialogs.openAnswer = rig.WriteFile("badsum.bin", Bytes(WithBadChecksum(clean)));
        rig.device.Slot(0) = NewEdidTemplate();
        rig.dialogs.askAnswer = "Repair and write";
        rig.form->findChild<QAbstractButton*>("SpeedButton_OpenEdid")->click();
        rig.Settle();
        QCOMPARE(rig.dialogs.offeredAnswers.last(), (QStringList{"Repair and write", "Cancel"}));
        QVERIFY(rig.dialogs.questions.last().text.contains("checksum"));
        QCOMPARE(Bytes(rig.device.Slot(0)), Bytes(clean));
        QCOMPARE(rig.Label2()->text(), QString(kTextOk));
        QVERIFY(rig.form->Memo_Debug->toPlainText().contains("Repaired before writing:"));
        // an answer that is not offered is the cancel: the validation says why nothing went
        rig.device.Slot(0) = NewEdidTemplate();
        rig.dialogs.askAnswer = "Write as it is";
        rig.Mark();
        rig.form->findChild<QAbstractButton*>("SpeedButton_OpenEdid")->click();
        rig.Settle();
        QCOMPARE(rig.Sent(), Bracket({}));
        QCOMPARE(rig.Label2()->text(), QString("Illegal Edid CheckSum1."));
        QCOMPARE(Bytes(rig.device.Slot(0)), Bytes(NewEdidTemplate()));
    }

    // "Repair...": the analysed EDID's changes listed before anything is written, the repaired
    // EDID saved to a file and uploaded into a slot through the verified write; a clean EDID has
    // nothing to repair.
    void repairSavesAndUploadsTheRepairedEdid() {
        Rig rig;
        const EdidImage clean = CleanEdid();
        const EdidImage faulty = WithDuplicateVic(clean);
        rig.device.Slot(0x3000) = clean;
        rig.device.Slot(0x3001) = faulty;
        rig.Connect();
        rig.Combo("ComboBox_EdidSel_All")->setCurrentIndex(8);
        rig.form->findChild<QAbstractButton*>("SpeedButton_AnalysisEdid")->click();
        rig.Settle();
        rig.Mark();
        rig.form->findChild<QAbstractButton*>("Button_Check_Repair")->click();
        QCOMPARE(rig.Sent(), QList<QByteArray>{}); // shown, nothing written
        auto* window = rig.form->findChild<QWidget*>("Form_Repair");
        QVERIFY(window && window->isVisible());
        auto w = [window](const char* name) { return window->findChild<QAbstractButton*>(name); };
        auto* changes = window->findChild<QListWidget*>("ListWidget_Repair_Changes");
        auto* message = window->findChild<QLabel*>("Label_Repair_Message");
        const std::vector<std::string> expected = RepairChangeTexts(RepairImage(faulty));
        QVERIFY(!expected.empty());
        QCOMPARE(changes->count(), int(expected.size()));
        for (int i = 0; i < changes->count(); ++i)
            QCOMPARE(changes->item(i)->text(), QString::fromStdString(expected[std::size_t(i)]));
        QVERIFY(changes->findItems("duplicate-vic", Qt::MatchStartsWith).size() > 0);
        QVERIFY(
            window->findChild<QLabel*>("Label_Repair_Verdict")
                ->text()
                .startsWith("Check as it is: " +
                            QString::fromStdString(CheckSummaryLine(CheckImage(faulty))).mid(7)));

        // saved: the repaired bytes, through the save dialog
        rig.dialogs.saveAnswer = rig.Path("repaired.bin");
        w("Button_Repair_Save")->click();
        QCOMPARE(rig.dialogs.proposedNames.last(), QString(kRepairedName));
        QFile saved(rig.dialogs.saveAnswer);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), Repaired(faulty));
        QCOMPARE(message->text(), QString("Saved to repaired.bin."));
        // a directory is not replaced
        rig.dialogs.saveAnswer = rig.dir.path();
        w("Button_Repair_Save")->click();
        QVERIFY2(message->text().startsWith(QString(kTextOpenFail) + " Not saved to "),
                 qPrintable(message->text()));
        QCOMPARE(Colour(message), kStatusRed);

        // uploaded into User 1 through the verified write: the history read, the write, the
        // read-back
        auto* slotList = window->findChild<QComboBox*>("ComboBox_Repair_Upload");
        QCOMPARE(slotList->itemText(2), QString("User 1"));
        slotList->setCurrentIndex(2);
        rig.Mark();
        w("Button_Repair_Upload")->click();
        rig.Settle();
        QCOMPARE(rig.Sent(), Bracket(kReadSequence + kWriteSequence + kReadSequence));
        QCOMPARE(Bytes(rig.device.Slot(0x2000)), Repaired(faulty));
        QCOMPARE(message->text(), QString("User 1: Ok."));

        // a clean EDID: nothing to repair, nothing to save or upload
        rig.Combo("ComboBox_EdidSel_All")->setCurrentIndex(7);
        rig.form->findChild<QAbstractButton*>("SpeedButton_AnalysisEdid")->click();
        rig.Settle();
        QVERIFY(window->isVisible()); // it follows the analysis
        QCOMPARE(changes->count(), 0);
        QCOMPARE(message->text(), QString(kRepairNothing));
        QVERIFY(!w("Button_Repair_Save")->isEnabled() && !w("Button_Repair_Upload")->isEnabled());

        // a repair that changes a claim is offered unticked and made only once ticked: the range
        // limits widened for the new EDID's video code 97 (3840x2160 at 60 Hz)
        EdidImage wide = NewEdidTemplate();
        wide[0x85] = 97;
        MendChecksum(wide, 1);
        rig.device.Slot(0x3002) = wide;
        rig.Combo("ComboBox_EdidSel_All")->setCurrentIndex(9);
        rig.form->findChild<QAbstractButton*>("SpeedButton_AnalysisEdid")->click();
        rig.Settle();
        auto* named = window->findChild<QListWidget*>("ListWidget_Repair_Named");
        const auto ranges = named->findItems("range-limits: ", Qt::MatchStartsWith);
        QCOMPARE(ranges.size(), 1);
        QCOMPARE(ranges[0]->checkState(), Qt::Unchecked);
        QVERIFY(changes->findItems("range-limits", Qt::MatchStartsWith).isEmpty());
        ranges[0]->setCheckState(Qt::Checked);
        QVERIFY(!changes->findItems("range-limits", Qt::MatchStartsWith).isEmpty());
        const auto* repairWindow = window->findChild<RepairWindow*>();
        QCOMPARE(repairWindow->namedRules(), std::vector<std::string>{"range-limits"});
        const std::vector<Finding> after = CheckImage(repairWindow->repaired());
        QVERIFY(std::none_of(after.begin(), after.end(),
                             [](const Finding& f) { return f.rule == "range-limits"; }));
        QVERIFY(w("Button_Repair_Save")->isEnabled());
    }

    void fullReportRunsEdidDecode() {
        Rig rig;
        const EdidImage shown = Sample("002d10c53aa9561f");
        rig.device.Slot(0x3000) = shown;
        rig.Connect();
        rig.Combo("ComboBox_EdidSel_All")->setCurrentIndex(7);
        rig.form->findChild<QAbstractButton*>("SpeedButton_AnalysisEdid")->click();
        rig.Settle();
        auto* hexButton = rig.form->findChild<QAbstractButton*>("Button_HexView_Analyzer");
        const QByteArray saved = qgetenv("TAVO_EDID_DECODE");
        const bool wasSet = qEnvironmentVariableIsSet("TAVO_EDID_DECODE");
        auto restore = qScopeGuard([&] {
            if (wasSet)
                qputenv("TAVO_EDID_DECODE", saved);
            else
                qunsetenv("TAVO_EDID_DECODE");
        });
        auto script = [&](const QString& name, const QByteArray& body) {
            const QString path = rig.WriteFile(name, "#!/bin/sh\n" + body);
            QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            return path;
        };

        qputenv("TAVO_EDID_DECODE", rig.Path("no-such-program").toLocal8Bit());
        hexButton->click();
        QWidget* window = rig.form->findChild<QWidget*>("Form_HexView");
        QVERIFY(window && window->isVisible());
        auto* report = window->findChild<QAbstractButton*>("Button_FullReport");
        auto* text = window->findChild<QPlainTextEdit*>("PlainTextEdit_Report");
        QVERIFY(report && text);
        QVERIFY(!report->isVisible());
        // the report arrives once edid-decode has ended (or was stopped)
        auto runReport = [&] {
            report->click();
            QTRY_VERIFY_WITH_TIMEOUT(report->isEnabled(), 20000);
        };

        const QString stdinCopy = rig.Path("stdin.bin");
        qputenv("TAVO_EDID_DECODE",
                script("fake-decode", "cat > '" + stdinCopy.toLocal8Bit() +
                                          "'\necho 'Block 0, Base EDID:'\necho '<b>x</b>'\n")
                    .toLocal8Bit());
        hexButton->click();
        QVERIFY(report->isVisible());
        runReport();
        QCOMPARE(text->toPlainText(), QString("Block 0, Base EDID:\n<b>x</b>\n"));
        QFile copy(stdinCopy);
        QVERIFY(copy.open(QIODevice::ReadOnly));
        // a base block alone: 128 bytes, no second block for edid-decode to judge
        QCOMPARE(copy.readAll(), Bytes(shown).left(128));
        QVERIFY(report->isEnabled());

        // one that never ends is stopped at the time limit, and says so
        qputenv("TAVO_EDID_DECODE", script("slow-decode", "exec sleep 30\n").toLocal8Bit());
        window->findChild<HexView*>()->setReportLimit(300);
        QElapsedTimer clock;
        clock.start();
        runReport();
        QVERIFY(clock.elapsed() < 5000);
        QVERIFY2(text->toPlainText().startsWith(
                     "edid-decode did not finish within 0.3 s and was stopped."),
                 qPrintable(text->toPlainText()));
        QVERIFY(report->isEnabled());

        // the real one where it is installed
        qunsetenv("TAVO_EDID_DECODE");
        if (!HexView::EdidDecodePath().isEmpty()) {
            window->findChild<HexView*>()->setReportLimit(kFullReportLimitMs);
            hexButton->click();
            runReport();
            QVERIFY2(text->toPlainText().contains("Block 0, Base EDID:") &&
                         !text->toPlainText().contains("Block 1"),
                     qPrintable(text->toPlainText()));
        }
    }

    // A second click while an operation runs does nothing.
    void clicksDuringAnOperationAreIgnored() {
        Rig rig;
        rig.Connect();
        rig.dialogs.saveAnswer = rig.Path("a.bin");
        rig.dialogs.openAnswer = rig.WriteFile("in.bin", Bytes(NewEdidTemplate()));
        int nested = 0;
        rig.device.onRequest = [&](const tavo::test::Request& r) {
            if (r.name != "ND_ED0B" || nested++) return;
            QTimer::singleShot(0, [&] {
                rig.form->findChild<QAbstractButton*>("SpeedButton_SaveEdid")->click();
                rig.form->findChild<QAbstractButton*>("SpeedButton_OpenEdid")->click();
                rig.form->findChild<QAbstractButton*>("SpeedButton_AnalysisEdid")->click();
                rig.form->findChild<QAbstractButton*>("SpeedButton_CopyEdid_Src2Dest")->click();
                QTest::mousePress(rig.form->findChild<QRadioButton*>("RadioButton_Set_IntEdid2"),
                                  Qt::LeftButton);
            });
        };
        rig.Mark();
        rig.form->findChild<QAbstractButton*>("SpeedButton_SaveEdid")->click();
        rig.Settle();
        QCOMPARE(rig.Sent(), Bracket(kReadSequence));
        QCOMPARE(rig.dialogs.saveFilters.size(), 1);
        QVERIFY(QFile::exists(rig.Path("a.bin")));
    }

    // Something else sends during a save's waits (no other button can: they wait for the running
    // operation; a command sent past them all): the later chunks may come from another slot, so
    // the read is not used.
    void aForeignCommandSpoilsTheRead() {
        Rig rig;
        rig.device.Slot(0x1000) = Sample("6311a3e944772acc");
        rig.Connect();
        rig.dialogs.saveAnswer = rig.Path("mixed.bin");
        rig.Combo("ComboBox_EdidSel_All")->setCurrentIndex(2); // output 1
        bool once = false;
        rig.device.onRequest = [&](const tavo::test::Request& r) {
            if (r.name != "ND_ED0B" || std::exchange(once, true)) return;
            // after the chunk's answer is handled, before its wait ends
            QTimer::singleShot(35, [&] {
                const auto input1 = SlotSelector{0}.bytes();
                rig.form->Uart->Uart_SendCommand(kModeSet, ND_SEL, 2, input1.data());
                rig.form->Uart->Uart_SendCommand(kModeGet, ND_DSCPT);
            });
        };
        StatusRecorder status(rig.Label2());
        rig.form->findChild<QAbstractButton*>("SpeedButton_SaveEdid")->click();
        rig.Settle();
        QVERIFY(rig.device.Names().contains("GET ND_DSCPT"));
        QVERIFY(!QFile::exists(rig.Path("mixed.bin")));
        QVERIFY2(status.all().last().startsWith("Save Edid Failed. Not saved to mixed.bin"),
                 qPrintable(status.seen.join('|')));
    }

    // The port dies in the middle of a save: nothing more is written, no file appears.
    void aLostPortEndsTheOperation() {
        Rig rig;
        rig.Connect();
        rig.dialogs.saveAnswer = rig.Path("lost.bin");
        rig.device.onRequest = [&](const tavo::test::Request& r) {
            if (r.name == "ND_ED0B") rig.device.transport->fail();
        };
        rig.form->findChild<QAbstractButton*>("SpeedButton_SaveEdid")->click();
        rig.Settle();
        QVERIFY(!QFile::exists(rig.Path("lost.bin")));
        QCOMPARE(rig.device.transport->writesWhileClosed, 0);
        QVERIFY(rig.form->BitBtn_Search->isEnabled());
        QVERIFY(!rig.Page().Busy());
        // the same for an upload: it stops after the chunk during which the port was lost
        Rig up;
        up.Connect();
        up.dialogs.openAnswer = up.WriteFile("in.bin", Bytes(Sample("6311a3e944772acc")));
        up.device.onRequest = [&](const tavo::test::Request& r) {
            if (r.name == "ND_ED0A") up.device.transport->fail();
        };
        up.Mark();
        up.form->findChild<QAbstractButton*>("SpeedButton_OpenEdid")->click();
        up.Settle();
        QVERIFY(!up.Sent().contains("SET ND_ED1B"));
        QCOMPARE(up.device.transport->writesWhileClosed, 0);
    }

    // A close asked right after the click, before the write has started, and one asked while it
    // runs: the window closes only once the write and its read-back have ended.
    void aCloseWaitsForTheQueuedWrite() {
        for (const bool started : {false, true}) {
            Rig rig;
            rig.Connect();
            const EdidImage sample = Sample("6311a3e944772acc");
            rig.dialogs.openAnswer = rig.WriteFile("in.bin", Bytes(sample));
            rig.Combo("ComboBox_EdidSel_All")->setCurrentIndex(0); // input 1
            QSignalSpy closed(rig.form.get(), &TForm1::closed);
            bool closedEarly = false;
            rig.device.onRequest = [&](const tavo::test::Request& r) {
                if (started && r.name == "ND_ED0A" && r.verb == "SET") rig.form->close();
                closedEarly = closedEarly || closed.count() > 0;
            };
            rig.form->findChild<QAbstractButton*>("SpeedButton_OpenEdid")->click();
            if (!started) rig.form->close();
            rig.Settle();
            QVERIFY(!closedEarly);
            QCOMPARE(Bytes(rig.device.Slot(0x0000)), Bytes(sample));
            QCOMPARE(rig.Sent().last(), QByteArray("SET SYS_CTM"));
            QTRY_COMPARE(closed.count(), 1);
        }
    }

    void nothingHappensWithoutADevice() {
        Rig rig;
        qputenv("TAVO_SERIAL_PORTS", "/dev/memory-device");
        rig.form = std::make_unique<TForm1>(rig.state, nullptr, rig.device.transport);
        rig.form->findChild<QAbstractButton*>("SpeedButton_SaveEdid")->click();
        rig.form->findChild<QAbstractButton*>("SpeedButton_OpenEdid")->click();
        rig.form->findChild<QAbstractButton*>("SpeedButton_AnalysisEdid")->click();
        QCOMPARE(rig.device.Count(), 0);
        QVERIFY(rig.dialogs.saveFilters.isEmpty() && rig.dialogs.openFilters.isEmpty());
        QVERIFY(!rig.form->Form2->isVisible());
        // "Compose..." opens with files only, and its upload sends nothing
        rig.form->findChild<QAbstractButton*>("Button_Compose")->click();
        auto* window = rig.form->findChild<QWidget*>("Form_Compose");
        QCOMPARE(window->findChild<QLabel*>("Label_Compose_Message")->text(),
                 QString(kComposeNoOutputs));
        auto* compose = window->findChild<ComposeWindow*>();
        QVERIFY(compose->addSource("a", BuildPreset("1080p60-stereo").image));
        QVERIFY(compose->addSource("b", BuildPreset("720p60-stereo").image));
        QVERIFY(compose->built());
        compose->Button_Compose_UploadClick();
        QCOMPARE(rig.device.Count(), 0);
        QCOMPARE(window->findChild<QLabel*>("Label_Compose_Message")->text(),
                 QString(kComposeNoDevice));
    }
};

} // namespace edid_controller_test

QTEST_MAIN(edid_controller_test::EdidControllerTest)
#include "edid_controller_test.moc"
