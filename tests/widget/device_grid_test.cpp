// The device grid on the main window: announcements as rows (duplicates, limits, left-over serial
// records), the colours and sizes after a selection, selecting network and serial rows, and the
// "IP Configure" buttons through their seams. Datagrams go straight into the receive handler.
#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <memory>

#include "app/qt/AppState.h"
#include "app/qt/User_interface.h"
#include "discovery/qt/DeviceGrid.h"
#include "discovery/qt/IpConfigurePage.h"
#include "edid/EdidSource.h"
#include "edid/NewEdidTemplate.h"
#include "link/qt/UartController.h"
#include "link/qt/UartSession.h"
#include "support/RecordingDialogs.h"
#include "ui/qt/StringGrid.h"
#include "workspace/analysis/qt/EdidControllerPage.h"
#include "workspace/creator/qt/EdidCreatorPage.h"

using namespace tavo;
using tavo::test::RecordingDialogs;
using tavo::test::ScopedDialogs;

namespace {

QByteArray Bytes(const std::vector<std::uint8_t>& v) {
    return QByteArray(reinterpret_cast<const char*>(v.data()), qsizetype(v.size()));
}

NetDeviceRecord Device(int n) {
    NetDeviceRecord r;
    r.productId = "0401";
    r.productName = "Net " + std::to_string(n);
    r.mac = {0x02, 0x00, 0x00, 0x00, 0x00, std::uint8_t(n)};
    r.macText = MacText(r.mac);
    r.ip = "10.0.0." + std::to_string(n);
    r.mask = "255.255.255.0";
    r.gateway = "10.0.0.254";
    r.dns = "10.0.0.253";
    r.webPort = 80;
    r.telnetPort = 23;
    r.serial = "SN" + std::to_string(n);
    r.description = "Desk " + std::to_string(n);
    return r;
}

QByteArray Announcement(int n) {
    return Bytes(BuildAnnouncement(Device(n)));
}

QStringList Row(StringGrid* grid, int row) {
    QStringList out;
    for (int c = 0; c < 6; ++c)
        out << grid->Cell(row, c);
    return out;
}

struct SentCommand {
    std::uint8_t mode;
    std::uint16_t command;
    QByteArray payload;
    friend bool operator==(const SentCommand&, const SentCommand&) = default;
};

} // namespace

class DeviceGridTest : public QObject {
    Q_OBJECT

private:
    RecordingDialogs dialogs_;
    std::unique_ptr<ScopedDialogs> installed_;
    std::unique_ptr<AppState> state_;
    std::unique_ptr<TForm1> form_;
    QList<QByteArray> sent_;
    QStringList urls_;

    DeviceGrid* grid() { return form_->Grid; }
    IpConfigurePage* ipConfigure() { return form_->IpConfigure; }
    StringGrid* cells() { return form_->StringGrid1; }
    template <class T> T* w(const char* name) { return form_->findChild<T*>(name); }
    void Receive(const QByteArray& d) { grid()->IdIPMCastClient1IPMCastRead(d); }

    // A serial device as the search leaves it, at grid row `row`.
    DeviceRecord& SerialRow(int row, int internals, int users) {
        DeviceRecord& r = state_->deviceTable.records[std::size_t(row - 1)];
        r = DeviceRecord{};
        r.serialDevice = 1;
        r.vid = "5441";
        r.pid = "0401";
        r.firmwareVersion = "1.00";
        r.description = "Rack 2";
        r.inputCount = 2;
        r.outputCount = 1;
        r.internalCount = std::uint8_t(internals);
        r.userCount = std::uint8_t(users);
        state_->deviceTable.count = std::max(state_->deviceTable.count, row);
        cells()->SetRowCount(state_->deviceTable.count + 1);
        cells()->SetCell(row, 0, QString::number(row));
        return r;
    }

private slots:
    void init() {
        dialogs_ = RecordingDialogs();
        installed_ = std::make_unique<ScopedDialogs>(&dialogs_);
        state_ = std::make_unique<AppState>();
        form_ = std::make_unique<TForm1>(*state_);
        QVERIFY(form_->Grid);
        QVERIFY(form_->IpConfigure);
        sent_.clear();
        urls_.clear();
        ipConfigure()->setDatagramSender([this](const QByteArray& d) {
            sent_ << d;
            return true;
        });
        ipConfigure()->setUrlOpener([this](const QString& url) {
            urls_ << url;
            return true;
        });
    }
    void cleanup() {
        form_.reset();
        state_.reset();
        installed_.reset();
    }

    void announcementsBecomeRows() {
        Receive(Announcement(7));
        // only a MAC: the row has the interface and the MAC, the rest empty
        Receive(Bytes(FrameDatagram(kDatagramAnnouncement, {2, 6, 0xAA, 0xBB, 0xCC, 1, 2, 3})));
        QCOMPARE(state_->deviceTable.count, 2);
        QCOMPARE(cells()->RowCount(), 3);
        QCOMPARE(Row(cells(), 1), (QStringList{"1", "ETHERNET", "Net 7", "Desk 7", "10.0.0.7",
                                               "02:00:00:00:00:07"}));
        QCOMPARE(Row(cells(), 2), (QStringList{"2", "ETHERNET", "", "", "", "AA:BB:CC:01:02:03"}));
        QCOMPARE(state_->netDeviceTable.records[0].serial, std::string("SN7"));
    }

    void duplicatesAndBadDatagramsAddNoRow() {
        Receive(Announcement(1));
        NetDeviceRecord changed = Device(1);
        changed.ip = "10.9.9.9";
        Receive(Bytes(BuildAnnouncement(changed))); // same MAC, other values: ignored
        QByteArray badCrc = Announcement(2);
        badCrc[badCrc.size() - 1] = char(badCrc.back() ^ 0x01);
        Receive(badCrc);
        QByteArray wrongKind = Announcement(3);
        wrongKind[0] = 0x03;
        Receive(wrongKind);
        Receive(QByteArray());
        Receive(Announcement(4) + QByteArray(1024, '\0')); // longer than the receive buffer
        QCOMPARE(state_->deviceTable.count, 1);
        QCOMPARE(cells()->Cell(1, 4), QString("10.0.0.1"));
        // without a MAC nothing is a duplicate
        for (int i = 0; i < 3; ++i)
            Receive(QByteArray::fromHex("0200FFFF"));
        QCOMPARE(state_->deviceTable.count, 4);
        QCOMPARE(cells()->RowCount(), 5);
    }

    void theTablesLimitTheRows() {
        for (int n = 1; n <= 25; ++n)
            Receive(Announcement(n));
        QCOMPARE(state_->deviceTable.count, kMaxDevices);
        QCOMPARE(cells()->RowCount(), kMaxDevices + 1);
        QCOMPARE(cells()->Cell(20, 2), QString("Net 20"));
        QCOMPARE(form_->Memo_Debug->toPlainText().count("Device list full"), 1);
        // a freed table takes devices again (a new search resets the count)
        state_->deviceTable.count = 0;
        cells()->SetRowCount(2);
        Receive(Announcement(24));
        QCOMPARE(state_->deviceTable.count, 1);
        QCOMPARE(cells()->Cell(1, 2), QString("Net 24"));
    }

    void serialRecordsAndNetworkRowsShareIndexes() {
        // a record left from an earlier serial search is no serial device once a network row
        // takes its index
        state_->deviceTable.records[0].serialDevice = 1;
        state_->deviceTable.records[0].description = "old";
        Receive(Announcement(1));
        QCOMPARE(int(state_->deviceTable.records[0].serialDevice), 0);
        QCOMPARE(state_->deviceTable.records[0].description, std::string());

        // a serial row's stale network record is never a duplicate
        SerialRow(2, 1, 1);
        state_->netDeviceTable.records[1] = Device(5);
        Receive(Announcement(5));
        QCOMPARE(state_->deviceTable.count, 3);
        QCOMPARE(cells()->Cell(3, 2), QString("Net 5"));
    }

    void textsAreShownAsPlainText() {
        NetDeviceRecord r = Device(1);
        r.productName = "<b>bold</b>";
        r.description = std::string("Caf\xE9\0tail", 9);
        Receive(Bytes(BuildAnnouncement(r)));
        QCOMPARE(cells()->Cell(1, 2), QString("<b>bold</b>"));
        QCOMPARE(cells()->Cell(1, 3), QString::fromLatin1("Caf\xE9"));
        grid()->StringGrid1SelectCell(0, 1);
        auto* name = w<QLabel>("Label_Product_Name");
        QCOMPARE(name->text(), QString("<b>bold</b>"));
        QCOMPARE(name->textFormat(), Qt::PlainText);
    }

    void selectingANetworkRowFillsIpConfigureAndOpensCommander() {
        Receive(Announcement(1));
        NetDeviceRecord dhcp = Device(2);
        dhcp.ipMode = 1;
        dhcp.webPort = 8080;
        dhcp.productId = "A1B2";
        Receive(Bytes(BuildAnnouncement(dhcp)));
        grid()->StringGrid1SelectCell(3, 0); // the header row: nothing
        QVERIFY(form_->Form3->isHidden());

        grid()->StringGrid1SelectCell(2, 2);
        QCOMPARE(state_->deviceTable.current, 1);
        QCOMPARE(grid()->HighlightedRow(), 2);
        QTabWidget* pages = form_->PageControl1;
        QCOMPARE(pages->currentWidget(), form_->TabSheet10);
        QVERIFY(pages->isTabVisible(pages->indexOf(form_->TabSheet10)));
        const struct {
            const char* name;
            const char* text;
        } labels[] = {{"Label_Product_ID", "A1B2"},
                      {"Label_Product_Name", "Net 2"},
                      {"Label_MAC_Addr", "02:00:00:00:00:02"},
                      {"Label_Serial_Num", "SN2"},
                      {"Label_Description", "Desk 2"}};
        for (const auto& l : labels)
            QCOMPARE(w<QLabel>(l.name)->text(), QString(l.text));
        const struct {
            const char* name;
            const char* text;
        } edits[] = {{"Edit_IP_Address", "10.0.0.2"},   {"Edit_SubNet_Mask", "255.255.255.0"},
                     {"Edit_GateWay_IP", "10.0.0.254"}, {"Edit_DNS", "10.0.0.253"},
                     {"Edit_WebGUI_Port", "8080"},      {"Edit_Telnet_Port", "23"}};
        for (const auto& e : edits)
            QCOMPARE(w<QLineEdit>(e.name)->text(), QString(e.text));
        QCOMPARE(w<QComboBox>("ComboBox_IP_Mode")->currentText(), QString("DHCP"));

        // "Commander" hosts the pages and is shown near the main window
        QVERIFY(form_->Form3->isVisible());
        QCOMPARE(pages->parentWidget(), form_->Form3->Panel1);

        grid()->StringGrid1SelectCell(0, 1);
        QCOMPARE(w<QComboBox>("ComboBox_IP_Mode")->currentText(), QString("STATIC"));
        QCOMPARE(w<QLineEdit>("Edit_IP_Address")->text(), QString("10.0.0.1"));
        // rows past the devices are not devices
        grid()->StringGrid1SelectCell(0, 3);
        QCOMPARE(state_->deviceTable.current, 0);
    }

    void colourAndSizeAfterTheFirstSelection() {
        NetDeviceRecord wide = Device(1);
        wide.productName = "A product name far wider than its column";
        Receive(Bytes(BuildAnnouncement(wide)));
        Receive(Announcement(2));
        Receive(Announcement(3));
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
        const QFontMetrics metrics(cells()->font());
        QCOMPARE(cells()->columnWidth(2),
                 metrics.horizontalAdvance(QString::fromStdString(wide.productName)) + 8);

        grid()->StringGrid1SelectCell(1, 2);
        form_->Form3->hide();
        QApplication::processEvents();
        const QImage image = cells()->viewport()->grab().toImage();
        auto pixel = [&](int row) {
            // the left edge of the "Interface" column, clear of the centred text
            const int y = cells()->rowViewportPosition(row - 1) + 2;
            const int x = cells()->columnViewportPosition(1) + 2;
            return image.pixelColor(x, y).rgb();
        };
        QCOMPARE(pixel(2), QColor(0, 255, 255).rgb());
        QCOMPARE(pixel(1), QColor(Qt::white).rgb());
        QCOMPARE(pixel(3), QColor(Qt::white).rgb());
        const QImage header = cells()->horizontalHeader()->grab().toImage();
        QCOMPARE(header.pixelColor(cells()->columnViewportPosition(1) + 2, 3).rgb(),
                 QColor(192, 220, 192).rgb());

        grid()->StringGrid1SelectCell(1, 3);
        const QImage again = cells()->viewport()->grab().toImage();
        QCOMPARE(again
                     .pixelColor(cells()->columnViewportPosition(1) + 2,
                                 cells()->rowViewportPosition(2) + 2)
                     .rgb(),
                 QColor(0, 255, 255).rgb());
        QCOMPARE(again
                     .pixelColor(cells()->columnViewportPosition(1) + 2,
                                 cells()->rowViewportPosition(1) + 2)
                     .rgb(),
                 QColor(Qt::white).rgb());

        // a disconnect (and a search) leaves no row highlighted
        for (int round = 0; round < 2; ++round) {
            grid()->StringGrid1SelectCell(1, 2);
            QCOMPARE(grid()->HighlightedRow(), 2);
            if (round == 0)
                emit form_->Uart->session().disconnected();
            else
                emit form_->Uart->session().searchStarted();
            QCOMPARE(grid()->HighlightedRow(), 0);
            const QImage after = cells()->viewport()->grab().toImage();
            QVERIFY(after
                        .pixelColor(cells()->columnViewportPosition(1) + 2,
                                    cells()->rowViewportPosition(1) + 2)
                        .rgb() != QColor(0, 255, 255).rgb());
        }
    }

    void aTallFontHeightensTheRow() {
        QFont big = cells()->font();
        big.setPixelSize(40);
        cells()->setFont(big);
        Receive(Announcement(1));
        const QFontMetrics metrics(big);
        QCOMPARE(cells()->rowHeight(0), metrics.height() + 4);
        QCOMPARE(cells()->horizontalHeader()->height(), metrics.height() + 4);
    }

    void clickingARowSelectsIt() {
        Receive(Announcement(1));
        Receive(Announcement(2));
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
        auto centre = [&](int row) {
            return QPoint(cells()->columnViewportPosition(2) + 5,
                          cells()->rowViewportPosition(row - 1) + 5);
        };
        QTest::mouseClick(cells()->viewport(), Qt::LeftButton, {}, centre(2));
        QCOMPARE(grid()->HighlightedRow(), 2);
        QVERIFY(form_->Form3->isVisible());
        QCOMPARE(w<QLabel>("Label_Product_Name")->text(), QString("Net 2"));
        // the same row again opens the closed "Commander" again
        form_->Form3->close();
        QTest::mouseClick(cells()->viewport(), Qt::LeftButton, {}, centre(2));
        QVERIFY(form_->Form3->isVisible());
        // the arrows move inside the grid without selecting; Enter or Space selects as a click
        cells()->setFocus();
        const struct {
            Qt::Key key;
            int highlighted;
            const char* product;
        } keys[] = {{Qt::Key_Up, 2, "Net 2"},   {Qt::Key_Return, 1, "Net 1"},
                    {Qt::Key_Down, 1, "Net 1"}, {Qt::Key_Space, 2, "Net 2"},
                    {Qt::Key_Up, 2, "Net 2"},   {Qt::Key_Enter, 1, "Net 1"}};
        for (const auto& k : keys) {
            QTest::keyClick(cells(), k.key);
            QCOMPARE(grid()->HighlightedRow(), k.highlighted);
            QCOMPARE(w<QLabel>("Label_Product_Name")->text(), QString(k.product));
        }
        // the grid is one Tab stop: Tab and Shift+Tab leave it, for Search
        form_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form_.get()));
        cells()->setFocus();
        QTest::keyClick(cells(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), form_->BitBtn_Search);
        cells()->setFocus();
        QTest::keyClick(cells(), Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), form_->BitBtn_Search);
        QTest::keyClick(form_->BitBtn_Search, Qt::Key_Tab); // Disconnect is disabled
        QCOMPARE(QApplication::focusWidget(), cells());
        QCOMPARE(grid()->HighlightedRow(), 1); // entering the grid selects nothing
        // the keyboard's row is framed while the grid has the focus, and only then
        auto framed = [&](int row) {
            const QImage shown = cells()->viewport()->grab().toImage();
            const QColor frame = cells()->palette().color(QPalette::Highlight);
            return shown.pixelColor(cells()->columnViewportPosition(2) + 5,
                                    cells()->rowViewportPosition(row)) == frame;
        };
        QTest::keyClick(cells(), Qt::Key_Down);
        const int current = cells()->currentRow();
        QVERIFY(current >= 0);
        QVERIFY(framed(current));
        QVERIFY(!framed(1 - current));
        QTest::keyClick(cells(), Qt::Key_Up);
        QVERIFY(framed(cells()->currentRow()) && cells()->currentRow() != current);
        QVERIFY(!framed(current));
        QTest::keyClick(cells(), Qt::Key_Tab);
        QVERIFY(!framed(0) && !framed(1));
    }

    void configurationIsSentByteExact() {
        Receive(Announcement(1));
        grid()->StringGrid1SelectCell(0, 1);
        // unchanged page: the MAC item alone
        form_->findChild<QAbstractButton*>("SpeedButton2")->click();
        QCOMPARE(sent_.size(), 1);
        QCOMPARE(sent_[0].size(), 12);
        QCOMPARE(sent_[0].left(10), QByteArray::fromHex("03080206020000000001"));

        w<QLineEdit>("Edit_IP_Address")->setText("01.2.3.4");
        w<QLineEdit>("Edit_WebGUI_Port")->setText("8080");
        ipConfigure()->SpeedButton2Click();
        QCOMPARE(sent_.size(), 2);
        QCOMPARE(sent_[1],
                 Bytes(FrameDatagram(kDatagramConfiguration, {2, 6, 2, 0, 0, 0, 0, 1, 3, 4, 1, 2, 3,
                                                              4, 8, 2, 0x90, 0x1F})));
        QCOMPARE(state_->netDeviceTable.records[0].ip, std::string("01.2.3.4"));
        QCOMPARE(state_->netDeviceTable.records[0].webPort, 8080);

        // DHCP: the mode item, no addresses; the record's addresses become 0.0.0.0
        w<QComboBox>("ComboBox_IP_Mode")->setCurrentIndex(1);
        w<QLineEdit>("Edit_GateWay_IP")->setText("9.9.9.9");
        ipConfigure()->SpeedButton2Click();
        QCOMPARE(sent_.size(), 3);
        QCOMPARE(sent_[2],
                 Bytes(FrameDatagram(kDatagramConfiguration, {2, 6, 2, 0, 0, 0, 0, 1, 7, 1, 1})));
        QCOMPARE(state_->netDeviceTable.records[0].gateway, std::string("0.0.0.0"));
        QCOMPARE(w<QLineEdit>("Edit_GateWay_IP")->text(), QString("9.9.9.9"));
    }

    // An IP mode other than STATIC (0) and DHCP (1) shows no mode and is kept: Apply sends no mode
    // until the operator picks one.
    void anUnknownIpModeIsKept() {
        NetDeviceRecord odd = Device(3);
        odd.ipMode = 5;
        Receive(Bytes(BuildAnnouncement(odd)));
        grid()->StringGrid1SelectCell(0, 1);
        QCOMPARE(w<QComboBox>("ComboBox_IP_Mode")->currentIndex(), -1);
        ipConfigure()->SpeedButton2Click();
        QCOMPARE(sent_.size(), 1);
        QCOMPARE(sent_[0], Bytes(FrameDatagram(kDatagramConfiguration, {2, 6, 2, 0, 0, 0, 0, 3})));
        QCOMPARE(state_->netDeviceTable.records[0].ipMode, 5);
        w<QComboBox>("ComboBox_IP_Mode")->setCurrentIndex(0);
        ipConfigure()->SpeedButton2Click();
        QCOMPARE(sent_[1],
                 Bytes(FrameDatagram(kDatagramConfiguration, {2, 6, 2, 0, 0, 0, 0, 3, 7, 1, 0})));
    }

    // "IP Configure" belongs to the device whose values it shows: Apply sends to that MAC
    // whichever row is current, and a new search, which empties the rows, closes the page.
    void ipConfigureBelongsToTheDeviceShown() {
        Receive(Announcement(1));
        Receive(Announcement(2));
        grid()->StringGrid1SelectCell(0, 1); // device 1's values
        state_->deviceTable.current = 1;     // another row current, as a search may leave it
        w<QLineEdit>("Edit_IP_Address")->setText("10.0.0.50");
        ipConfigure()->SpeedButton2Click();
        QCOMPARE(sent_.size(), 1);
        QCOMPARE(sent_[0], Bytes(FrameDatagram(kDatagramConfiguration,
                                               {2, 6, 2, 0, 0, 0, 0, 1, 3, 4, 10, 0, 0, 50})));
        QCOMPARE(state_->netDeviceTable.records[0].ip, std::string("10.0.0.50"));
        QCOMPARE(state_->netDeviceTable.records[1].ip, std::string("10.0.0.2"));

        // a new search: the page closes; the devices answer again in the other order
        qputenv("TAVO_SERIAL_PORTS", "/dev/tavo-no-such-port");
        form_->Uart->setDiscoverySender([] {});
        form_->BitBtn_Search->click();
        QTabWidget* pages = form_->PageControl1;
        QVERIFY(!pages->isTabVisible(pages->indexOf(form_->TabSheet10)));
        Receive(Announcement(2));
        ipConfigure()->SpeedButton2Click();
        QCOMPARE(sent_.size(), 1); // the closed page belongs to no device: nothing sent
        // selecting again shows the row's own values and sends to its MAC
        grid()->StringGrid1SelectCell(0, 1);
        QCOMPARE(w<QLineEdit>("Edit_IP_Address")->text(), QString("10.0.0.2"));
        ipConfigure()->SpeedButton2Click();
        QCOMPARE(sent_.size(), 2);
        QCOMPARE(sent_[1].left(10), QByteArray::fromHex("03080206020000000002"));
    }

    void applySaysWhatWasSentAndTheRowFollows() {
        Receive(Announcement(1));
        Receive(Announcement(2));
        grid()->StringGrid1SelectCell(0, 2);
        auto* status = w<QLabel>("Label_IpConfig_Status");
        const QString mac = w<QLabel>("Label_MAC_Addr")->text();
        const struct {
            const char* mode; // "" keeps the mode
            const char* ip;
            const char* line; // after "Sent to <MAC>: "
            const char* ipCell;
        } steps[] = {
            {"", nullptr, "no change.", "10.0.0.2"},
            {"", "192.168.7.9", "IP Address 192.168.7.9.", "192.168.7.9"},
            // DHCP: the record keeps 0.0.0.0, and so does the row
            {"DHCP", nullptr, "IP Mode DHCP.", "0.0.0.0"},
        };
        for (const auto& step : steps) {
            if (*step.mode) w<QComboBox>("ComboBox_IP_Mode")->setCurrentText(step.mode);
            if (step.ip) w<QLineEdit>("Edit_IP_Address")->setText(step.ip);
            form_->findChild<QAbstractButton*>("SpeedButton2")->click();
            QCOMPARE(status->text(), "Sent to " + mac + ": " + step.line);
            QCOMPARE(status->palette().color(QPalette::WindowText), QColor(Qt::black));
            QCOMPARE(cells()->Cell(2, 4), QString(step.ipCell));
            QCOMPARE(cells()->Cell(1, 4), QString("10.0.0.1")); // the other row stays
        }
        // the line stands clear of every control of its group
        auto* select = w<QWidget>("GroupBox_Select");
        for (auto* control : select->findChildren<QAbstractButton*>())
            QVERIFY2(!status->geometry().intersects(control->geometry()),
                     qPrintable(control->objectName()));
        QVERIFY(select->rect().contains(status->geometry()));
    }

    // An address another listed device holds is asked first, in the words `net configure` warns
    // with (however the address is written); "no" sends nothing, and DHCP or a free address is not
    // asked at all.
    void anAddressAnotherDeviceHoldsIsAskedFirst() {
        Receive(Announcement(1));
        Receive(Announcement(2));
        NetDeviceRecord dhcp = Device(3);
        dhcp.ip = "10.0.0.7";
        dhcp.ipMode = 1; // its address is the DHCP server's to give
        Receive(Bytes(BuildAnnouncement(dhcp)));
        grid()->StringGrid1SelectCell(0, 1);
        auto* status = w<QLabel>("Label_IpConfig_Status");
        const QString taken = "10.000.0.2 is the address of 02:00:00:00:00:02 (Net 2)";
        const std::vector<NetDeviceRecord> listed = {Device(1), Device(2), dhcp};
        QCOMPARE(
            QString::fromStdString(AddressTakenText(listed, Device(1).mac, "10.000.0.2", false)),
            taken);
        const struct {
            const char* mode;
            const char* ip;
            bool asked, answer, sent;
        } steps[] = {
            {"STATIC", "10.000.0.2", true, false, false},
            {"STATIC", "10.000.0.2", true, true, true},
            {"STATIC", "10.0.0.7", false, true, true}, // a DHCP device's address is not held
            {"STATIC", "10.0.0.1", false, true, true}, // its own address
            {"DHCP", "10.0.0.2", false, true, true},   // the address is not sent
        };
        int asked = 0, sent = 0;
        for (const auto& step : steps) {
            w<QComboBox>("ComboBox_IP_Mode")->setCurrentText(step.mode);
            w<QLineEdit>("Edit_IP_Address")->setText(step.ip);
            dialogs_.confirmAnswer = step.answer;
            ipConfigure()->SpeedButton2Click();
            asked += step.asked ? 1 : 0;
            sent += step.sent ? 1 : 0;
            QCOMPARE(dialogs_.confirmations.size(), asked);
            QCOMPARE(sent_.size(), sent);
            if (step.asked)
                QCOMPARE(dialogs_.confirmations.last().text, taken + ": send it all the same?");
            if (!step.sent) {
                QCOMPARE(status->text(), "Nothing sent: " + taken + ".");
                QCOMPARE(cells()->Cell(1, 4), QString("10.0.0.1"));
            }
        }
    }

    // Apply changes the shown device's record and row, not the current row's, and only once the
    // datagram went out: a failed send leaves what the device still holds, so the same edit is
    // sent again in full. A serial row's selection takes the page from the device.
    void applyChangesTheShownDeviceOnlyWhenSent() {
        Receive(Announcement(1));
        Receive(Announcement(2));
        SerialRow(3, 1, 1);
        grid()->StringGrid1SelectCell(0, 1);
        state_->deviceTable.current = 1; // another row current, as a search may leave it
        auto* status = w<QLabel>("Label_IpConfig_Status");
        bool delivers = true;
        ipConfigure()->setDatagramSender([&](const QByteArray& d) {
            if (delivers) sent_ << d;
            return delivers;
        });
        const QByteArray toSixty = Bytes(
            FrameDatagram(kDatagramConfiguration, {2, 6, 2, 0, 0, 0, 0, 1, 3, 4, 10, 0, 0, 60}));
        const struct {
            const char* ip;
            bool delivers;
            int sent;
            const char* recordIp; // device 1's record and row after the click
        } steps[] = {{"10.0.0.50", true, 1, "10.0.0.50"},
                     {"10.0.0.60", false, 1, "10.0.0.50"},
                     {"10.0.0.60", true, 2, "10.0.0.60"}};
        for (const auto& step : steps) {
            delivers = step.delivers;
            w<QLineEdit>("Edit_IP_Address")->setText(step.ip);
            ipConfigure()->SpeedButton2Click();
            QCOMPARE(sent_.size(), step.sent);
            QCOMPARE(state_->netDeviceTable.records[0].ip, std::string(step.recordIp));
            QCOMPARE(cells()->Cell(1, 4), QString(step.recordIp));
            QCOMPARE(cells()->Cell(2, 4), QString("10.0.0.2"));
            QCOMPARE(state_->netDeviceTable.records[1].ip, std::string("10.0.0.2"));
            if (!step.delivers)
                QCOMPARE(status->text(), QString("The configuration could not be sent."));
        }
        QCOMPARE(sent_.last(), toSixty);

        grid()->setSerialSender(
            [](std::uint8_t, std::uint16_t, std::uint16_t, const std::uint8_t*) {});
        grid()->StringGrid1SelectCell(0, 3);
        ipConfigure()->SpeedButton2Click();
        ipConfigure()->SpeedButton1Click();
        QCOMPARE(sent_.size(), 2);
        QVERIFY(urls_.isEmpty());
    }

    void badNumbersShowAMessageAndSendNothing() {
        Receive(Announcement(1));
        grid()->StringGrid1SelectCell(0, 1);
        auto* status = w<QLabel>("Label_IpConfig_Status");
        const struct {
            const char* field;
            const char* text;
            const char* mentions;
        } cases[] = {{"Edit_IP_Address", "10.0.x.1", "IP Address \"10.0.x.1\""},
                     {"Edit_DNS", "1.2.3.999", "DNS \"1.2.3.999\""},
                     {"Edit_IP_Address", "10.0.1", "IP Address \"10.0.1\""},
                     {"Edit_IP_Address", "10..0.0.5",
                      "IP Address \"10..0.0.5\" is not an address: four numbers"},
                     {"Edit_SubNet_Mask", "255.255.255.0.0", "SubNet Mask \"255.255.255.0.0\""},
                     {"Edit_WebGUI_Port", "eighty", "WebGUI Port"},
                     {"Edit_Telnet_Port", "70000", "Telnet Port"}};
        for (const auto& c : cases) {
            auto* edit = w<QLineEdit>(c.field);
            const QString before = edit->text();
            edit->setText(c.text);
            ipConfigure()->SpeedButton2Click();
            QVERIFY2(sent_.isEmpty(), c.field);
            QVERIFY2(status->text().contains(c.mentions), qPrintable(status->text()));
            QCOMPARE(status->palette().color(QPalette::WindowText), QColor(Qt::red));
            edit->setText(before);
        }
        QCOMPARE(state_->netDeviceTable.records[0].ip, std::string("10.0.0.1"));
    }

    void webPageGoesThroughTheSeam() {
        ipConfigure()->SpeedButton1Click(); // no device listed
        QVERIFY(urls_.isEmpty());
        Receive(Announcement(1));
        NetDeviceRecord other = Device(2);
        other.webPort = 8080;
        Receive(Bytes(BuildAnnouncement(other)));
        NetDeviceRecord none = Device(3);
        none.webPort = 0;
        Receive(Bytes(BuildAnnouncement(none)));

        grid()->StringGrid1SelectCell(0, 1);
        w<QLineEdit>("Edit_IP_Address")->setText("99.99.99.99"); // the record's address counts
        form_->findChild<QAbstractButton*>("SpeedButton1")->click();
        grid()->StringGrid1SelectCell(0, 2);
        ipConfigure()->Label_Web_LinkClick();
        grid()->StringGrid1SelectCell(0, 3);
        ipConfigure()->SpeedButton1Click();
        QCOMPARE(urls_, (QStringList{"Http://10.0.0.1/", "Http://10.0.0.2:8080/"}));

        // no browser took it: the address is shown to copy, and stays
        ipConfigure()->setUrlOpener([](const QString&) { return false; });
        grid()->StringGrid1SelectCell(0, 2);
        ipConfigure()->SpeedButton1Click();
        auto* status = w<QLabel>("Label_IpConfig_Status");
        QVERIFY2(status->text().contains("Http://10.0.0.2:8080/"), qPrintable(status->text()));
        QVERIFY(status->textInteractionFlags() & Qt::TextSelectableByMouse);
        QTest::qWait(kIpConfigStatusMs + 200);
        QVERIFY(status->text().contains("Http://10.0.0.2:8080/"));
    }

    void eachRowShowsOnlyThePagesThatActOnIt() {
        grid()->setSerialSender(
            [](std::uint8_t, std::uint16_t, std::uint16_t, const std::uint8_t*) {});
        SerialRow(1, 3, 5);
        Receive(Announcement(2));
        QTabWidget* pages = form_->PageControl1;
        auto shown = [&] {
            QStringList names;
            for (int i = 0; i < pages->count(); ++i)
                if (pages->isTabVisible(i)) names << pages->widget(i)->objectName();
            return names;
        };
        const QStringList network = {"TabSheet10"};
        const QStringList serial = {"TabSheet1", "TabSheet4", "TabSheet2"};
        // the same tabs for the same row, whatever was selected before
        const struct {
            int row;
            const QStringList& tabs;
            const char* current;
        } steps[] = {{2, network, "TabSheet10"}, {1, serial, "TabSheet1"},
                     {2, network, "TabSheet10"}, {2, network, "TabSheet10"},
                     {1, serial, "TabSheet1"},   {1, serial, "TabSheet1"}};
        for (const auto& step : steps) {
            grid()->StringGrid1SelectCell(0, step.row);
            QCOMPARE(shown(), step.tabs);
            QCOMPARE(pages->currentWidget()->objectName(), QString(step.current));
            // Ctrl+Tab, Ctrl+Shift+Tab and the tab bar's arrows reach only the tabs shown
            const struct {
                QWidget* to;
                Qt::Key key;
                Qt::KeyboardModifiers modifiers;
            } presses[] = {{pages, Qt::Key_Tab, Qt::ControlModifier},
                           {pages, Qt::Key_Tab, Qt::ControlModifier},
                           {pages, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier},
                           {pages->tabBar(), Qt::Key_Right, Qt::NoModifier},
                           {pages->tabBar(), Qt::Key_Left, Qt::NoModifier},
                           {pages->tabBar(), Qt::Key_Left, Qt::NoModifier}};
            for (const auto& press : presses) {
                QTest::keyClick(press.to, press.key, press.modifiers);
                QVERIFY2(step.tabs.contains(pages->currentWidget()->objectName()),
                         qPrintable(pages->currentWidget()->objectName()));
            }
            pages->setCurrentIndex(pages->indexOf(w<QWidget>(step.current)));
        }
        // a networked row has no creator: Paste EDID says why and changes nothing
        QGuiApplication::clipboard()->setText(QString::fromLatin1(EdidHexText(NewEdidTemplate())));
        grid()->StringGrid1SelectCell(0, 2);
        form_->PasteEdid->trigger();
        QCOMPARE(pages->currentWidget(), form_->TabSheet10);
        QVERIFY2(form_->statusBar()->currentMessage().contains("select its row"),
                 qPrintable(form_->statusBar()->currentMessage()));
        QVERIFY(!form_->Creator->edited() && form_->Creator->record().image != NewEdidTemplate());
        // nor does the analyzer's "Modify" reach the creator from there
        form_->statusBar()->clearMessage();
        emit form_->EdidController->modifyRequested();
        QCOMPARE(pages->currentWidget(), form_->TabSheet10);
        QVERIFY2(form_->statusBar()->currentMessage().startsWith("Modify: ") &&
                     form_->statusBar()->currentMessage().contains("select its row"),
                 qPrintable(form_->statusBar()->currentMessage()));
        // the serial row's creator takes it, and shows it
        grid()->StringGrid1SelectCell(0, 1);
        form_->Form3->close();
        form_->PasteEdid->trigger();
        QCOMPARE(pages->currentWidget(), form_->TabSheet4);
        QVERIFY(form_->Form3->isVisible());
    }

    void columnsFitTheirContentBothWays() {
        const QFontMetrics metrics(cells()->font());
        const QFontMetrics header(cells()->horizontalHeader()->font());
        // at start every header is whole and every column inside the grid
        int total = 0;
        for (int c = 0; c < cells()->columnCount(); ++c) {
            QVERIFY(cells()->columnWidth(c) >= header.horizontalAdvance(cells()->Cell(0, c)));
            total += cells()->columnWidth(c);
        }
        QVERIFY(total <= cells()->viewport()->width());
        const int productAtStart = cells()->columnWidth(2);

        NetDeviceRecord wide = Device(1);
        wide.productName = "A product name far wider than its column";
        QSignalSpy wanted(grid(), &DeviceGrid::widthWanted);
        Receive(Bytes(BuildAnnouncement(wide)));
        const int wideWidth =
            metrics.horizontalAdvance(QString::fromStdString(wide.productName)) + 8;
        // the columns no longer fit: a grid as wide as all of them is asked for
        QApplication::processEvents();
        QVERIFY(!wanted.isEmpty());
        int columns = 0;
        for (int c = 0; c < cells()->columnCount(); ++c)
            columns += cells()->columnWidth(c);
        QVERIFY(wanted.last().at(0).toInt() >= columns);
        const struct {
            const char* text;
            int width; // -1: as at start
        } steps[] = {{nullptr, wideWidth}, {"Short", -1}, {"", -1}};
        for (const auto& step : steps) {
            if (step.text) cells()->SetCell(1, 2, step.text);
            QApplication::processEvents();
            QCOMPARE(cells()->columnWidth(2), step.width < 0 ? productAtStart : step.width);
        }
    }

    void selectingASerialRowLaysOutModeSelect() {
        QList<SentCommand> commands;
        grid()->setSerialSender([&](std::uint8_t mode, std::uint16_t command, std::uint16_t length,
                                    const std::uint8_t* data) {
            commands << SentCommand{mode, command,
                                    QByteArray(reinterpret_cast<const char*>(data), length)};
        });
        Receive(Announcement(1));
        DeviceRecord& serial = SerialRow(2, 3, 5);
        serial.inputs[0].copyPanel = 1;
        grid()->StringGrid1SelectCell(0, 2);

        QTabWidget* pages = form_->PageControl1;
        QCOMPARE(pages->currentWidget(), form_->TabSheet1);
        QVERIFY(!pages->isTabVisible(pages->indexOf(form_->TabSheet10)));
        QVERIFY(pages->isTabVisible(pages->indexOf(form_->TabSheet4)));
        QCOMPARE(form_->findChild<QGroupBox*>("GroupBox12")->height(), 121);
        for (int n = 1; n <= 8; ++n) {
            QCOMPARE(
                !w<QWidget>(qPrintable(QString("RadioButton_Set_IntEdid%1").arg(n)))->isHidden(),
                n <= 3);
            QCOMPARE(
                !w<QWidget>(qPrintable(QString("RadioButton_Set_UserEdid%1").arg(n)))->isHidden(),
                n <= 5);
        }
        QVERIFY(!w<QWidget>("Label30")->isHidden());
        QVERIFY(!form_->findChild<QFrame*>("Panel52")->isHidden());
        QCOMPARE(w<QLabel>("Label_FW_Version")->text(),
                 QString("Current :   VID-5441    PID-0401    Version-1.00"));
        const QList<SentCommand> want = {
            {kModeSet, ND_SEL, QByteArray::fromHex("0000")}, {kModeGet, ND_DSCPT, {}},
            {kModeSet, ND_SEL, QByteArray::fromHex("0001")}, {kModeGet, ND_DSCPT, {}},
            {kModeSet, ND_SEL, QByteArray::fromHex("1000")}, {kModeGet, ND_DSCPT, {}}};
        QCOMPARE(commands, want);
        QCOMPARE(serial.selected.value, 0x1001);
        QVERIFY(form_->Form3->isVisible());

        // one slot of each: the smallest group, no column header, no copy panel
        DeviceRecord& small = SerialRow(2, 1, 0);
        small.inputs[0].copyPanel = 0;
        grid()->StringGrid1SelectCell(0, 2);
        QCOMPARE(form_->findChild<QGroupBox*>("GroupBox12")->height(), 65);
        QVERIFY(w<QWidget>("Label30")->isHidden());
        QVERIFY(form_->findChild<QFrame*>("Panel52")->isHidden());
        // counts past the buttons that exist: the group stops at eight rows
        SerialRow(2, 255, 40);
        grid()->StringGrid1SelectCell(0, 2);
        QCOMPARE(form_->findChild<QGroupBox*>("GroupBox12")->height(), 65 + 7 * 14);
    }

    void selectingAnIspRowShowsOnlyTheSystemPage() {
        int sends = 0;
        grid()->setSerialSender(
            [&](std::uint8_t, std::uint16_t, std::uint16_t, const std::uint8_t*) { ++sends; });
        grid()->setIspQuery([] { return true; });
        SerialRow(1, 3, 5);
        grid()->StringGrid1SelectCell(0, 1);
        QTabWidget* pages = form_->PageControl1;
        for (QWidget* hidden : {form_->TabSheet1, form_->TabSheet4, form_->TabSheet10})
            QVERIFY(!pages->isTabVisible(pages->indexOf(hidden)));
        QVERIFY(form_->findChild<QGroupBox*>("GroupBox11")->isHidden());
        QCOMPARE(w<QLabel>("Label_FW_Version")->text(), QString("Target :"));
        QCOMPARE(sends, 0);
        // no creator in an ISP session: Paste EDID says so and leaves "System" shown
        state_->uartLink.flags |= kLinkIspDevice;
        form_->PasteEdid->trigger();
        QCOMPARE(pages->currentWidget(), form_->TabSheet2);
        QVERIFY2(form_->statusBar()->currentMessage().contains("ISP mode"),
                 qPrintable(form_->statusBar()->currentMessage()));
    }
};

QTEST_MAIN(DeviceGridTest)
#include "device_grid_test.moc"
