#include "discovery/qt/DeviceGrid.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDesktopServices>
#include <QEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QUdpSocket>
#include <QUrl>
#include <QWidget>
#include <algorithm>

#include "discovery/qt/UdpEndpoints.h"
#include "link/qt/UartController.h"
#include "link/qt/UartSession.h"
#include "ui/qt/Dialogs.h"
#include "ui/qt/StringGrid.h"

namespace tavo {

namespace {

const QColor kMoneyGreen(192, 220, 192);
const QColor kHighlight(0, 255, 255);
constexpr int kFocusFrameWidth = 2; // the frame round the keyboard's row

constexpr int kColumnSlack = 8; // a widened column is the text width + 8
constexpr int kRowSlack = 4;    // a heightened row is the text height + 4

enum Column { ColNumber, ColInterface, ColProduct, ColDescription, ColIp, ColMac };

// Paints the device grid's cells: after the first selection the selected row cyan and the others
// white with black text; before it the grid's own colours. Text on one line, centred.
class GridDelegate : public QStyledItemDelegate {
public:
    GridDelegate(DeviceGrid* grid, QObject* parent) : QStyledItemDelegate(parent), grid_(grid) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const int row = index.row() + 1; // grid row; row 0 is the header
        const QString text = index.data(Qt::DisplayRole).toString();
        QColor background = option.palette.color(QPalette::Base);
        QColor foreground = option.palette.color(QPalette::Text);
        if (const int highlighted = grid_->HighlightedRow(); highlighted != 0) {
            background = row == highlighted ? kHighlight : QColor(Qt::white);
            foreground = Qt::black;
        }
        painter->save();
        painter->fillRect(option.rect, background);
        painter->setPen(foreground);
        painter->setFont(option.font);
        painter->drawText(option.rect, Qt::AlignCenter | Qt::TextSingleLine, text);
        // the keyboard's row (where Enter or Space selects) is framed while the grid has the focus
        const auto* view = qobject_cast<const QAbstractItemView*>(option.widget);
        if (view && view->hasFocus() && view->currentIndex().row() == index.row()) {
            const QRect r = option.rect;
            const QColor frame = option.palette.color(QPalette::Highlight);
            const int w = kFocusFrameWidth;
            painter->fillRect(r.left(), r.top(), r.width(), w, frame);
            painter->fillRect(r.left(), r.bottom() + 1 - w, r.width(), w, frame);
            if (index.column() == 0) painter->fillRect(r.left(), r.top(), w, r.height(), frame);
            if (index.column() == index.model()->columnCount() - 1)
                painter->fillRect(r.right() + 1 - w, r.top(), w, r.height(), frame);
        }
        painter->restore();
        // Sizing waits until the paint is over: a column changed now would be painted half old.
        const int column = index.column();
        QMetaObject::invokeMethod(
            grid_,
            [g = QPointer<DeviceGrid>(grid_), row, column, text] {
                if (!g) return;
                g->FitCell(row, column, text);
            },
            Qt::QueuedConnection);
    }

private:
    DeviceGrid* grid_;
};

} // namespace

DeviceGrid::DeviceGrid(DeviceTable& devices, NetDeviceTable& netDevices, QObject* parent)
    : PageBase(parent), devices_(devices), netDevices_(netDevices) {
    openUrl_ = [](const QString& url) { return QDesktopServices::openUrl(QUrl(url)); };
}

template <class T> T* DeviceGrid::find(const QString& name) const {
    return control<T>(name);
}

QString DeviceGrid::NetText(const std::string& bytes) {
    const std::size_t end = std::min(bytes.find('\0'), bytes.size());
    return QString::fromLatin1(bytes.data(), qsizetype(end));
}

void DeviceGrid::attach(QWidget* window, QWidget* ipConfigureSheet, StringGrid* grid,
                        UdpEndpoints* udp) {
    attachTo(window, {ipConfigureSheet});
    udp_ = udp;
    grid_ = grid;
    if (grid_) {
        startWidths_.clear();
        for (int c = 0; c < grid_->columnCount(); ++c)
            startWidths_.append(grid_->columnWidth(c));
        // any cell written by anyone (search, announcements, pages): the columns follow, once
        // per round of the event loop
        auto queueFit = [this] {
            if (fitQueued_) return;
            fitQueued_ = true;
            QMetaObject::invokeMethod(
                this, [this] { FitColumns(); }, Qt::QueuedConnection);
        };
        connect(grid_->model(), &QAbstractItemModel::dataChanged, this, queueFit);
        connect(grid_->model(), &QAbstractItemModel::rowsInserted, this, queueFit);
        connect(grid_->model(), &QAbstractItemModel::rowsRemoved, this, queueFit);
        connect(grid_->model(), &QAbstractItemModel::headerDataChanged, this, queueFit);
        FitColumns(); // every header whole from the start
        grid_->setItemDelegate(new GridDelegate(this, grid_));
        // A press selects, also on the row already selected (to open "Commander" again). The
        // arrows only move the current cell: Enter or Space selects its row as a click does.
        connect(grid_, &QTableWidget::currentCellChanged, grid_->viewport(),
                qOverload<>(&QWidget::update));
        connect(grid_, &QTableWidget::cellPressed, this,
                [this](int r, int c) { StringGrid1SelectCell(c, r + 1); });
        grid_->installEventFilter(this);
    }
    if (udp_) {
        connect(udp_, &UdpEndpoints::datagramReceived, this,
                [this](const QNetworkDatagram& d) { IdIPMCastClient1IPMCastRead(d.data()); });
        // The plain listener shares the handler; it is only heard from once someone binds it.
        QUdpSocket* listener = udp_->IdUDPServer1();
        connect(listener, &QUdpSocket::readyRead, this, [this, listener] {
            while (listener->hasPendingDatagrams())
                IdUDPServer1UDPRead(listener->receiveDatagram().data());
        });
        if (!sendDatagram_)
            sendDatagram_ = [u = QPointer<UdpEndpoints>(udp_)](const QByteArray& d) {
                return u && u->SendMulticast(d);
            };
    }
    if (auto* b = find<QAbstractButton>("SpeedButton1"))
        connect(b, &QAbstractButton::clicked, this, &DeviceGrid::SpeedButton1Click);
    if (auto* b = find<QAbstractButton>("SpeedButton2"))
        connect(b, &QAbstractButton::clicked, this, &DeviceGrid::SpeedButton2Click);
    if (auto* link = find<QLabel>("Label_Web_Link")) link->installEventFilter(this);
}

bool DeviceGrid::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease && watched->objectName() == "Label_Web_Link")
        Label_Web_LinkClick();
    if (event->type() == QEvent::KeyPress && grid_ && watched == grid_.data())
        return SelectByKey(static_cast<QKeyEvent*>(event));
    // the keyboard's row frame comes and goes with the focus: the whole row, not just its cell
    if ((event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) && grid_ &&
        watched == grid_.data())
        grid_->viewport()->update();
    return QObject::eventFilter(watched, event);
}

bool DeviceGrid::SelectByKey(const QKeyEvent* key) {
    const int k = key->key();
    if (k != Qt::Key_Return && k != Qt::Key_Enter && k != Qt::Key_Space) return false;
    if (key->modifiers() & ~Qt::KeypadModifier) return false;
    const int row = grid_->currentRow();
    if (row < 0) return false;
    StringGrid1SelectCell(std::max(grid_->currentColumn(), 0), row + 1);
    return true;
}

void DeviceGrid::ConnectLink(UartController& link) {
    link_ = &link;
    // a disconnect empties the rows and a search starts them again: nothing stays highlighted
    connect(&link.session(), &UartSession::disconnected, this, &DeviceGrid::ClearHighlight);
    connect(&link.session(), &UartSession::searchStarted, this, &DeviceGrid::ClearHighlight);
    QPointer<UartController> l(&link);
    serialSender_ = [l](std::uint8_t mode, std::uint16_t command, std::uint16_t length,
                        const std::uint8_t* data) {
        if (l) l->Uart_SendCommand(mode, command, length, data);
    };
    ispQuery_ = [l] { return l && (l->session().link().flags & kLinkIspDevice) != 0; };
    connect(&link.session(), &UartSession::searchStarted, this, &DeviceGrid::CloseIpConfigure,
            Qt::UniqueConnection);
}

void DeviceGrid::CloseIpConfigure() {
    shownMac_.reset();
    emit ipConfigureClosed();
}

void DeviceGrid::DebugLine(const QString& line) {
    log(line + "\r\n");
}

void DeviceGrid::ShowDescription(int deviceIndex, const QString& description) {
    if (grid_)
        grid_->SetCell(deviceIndex + 1, ColDescription,
                       QStringLiteral(" ") + description + QStringLiteral(" "));
}

void DeviceGrid::ClearHighlight() {
    highlighted_ = 0;
    if (grid_) grid_->viewport()->update();
}

void DeviceGrid::FitColumns() {
    fitQueued_ = false;
    if (!grid_) return;
    const QFontMetrics cells(grid_->font());
    const QFontMetrics header(grid_->horizontalHeader()->font());
    for (int c = 0; c < grid_->columnCount(); ++c) {
        int widest = header.horizontalAdvance(grid_->Cell(0, c));
        for (int r = 1; r < grid_->RowCount(); ++r)
            widest = std::max(widest, cells.horizontalAdvance(grid_->Cell(r, c)));
        const int start = c < startWidths_.size() ? startWidths_[c] : 0;
        const int width = std::max(start, widest + kColumnSlack);
        if (grid_->columnWidth(c) != width) grid_->setColumnWidth(c, width);
    }
}

void DeviceGrid::FitCell(int row, int column, const QString& text) {
    if (!grid_ || column < 0 || column >= grid_->columnCount()) return;
    const QFontMetrics metrics(grid_->font());
    const int width = metrics.horizontalAdvance(text);
    if (grid_->columnWidth(column) < width) grid_->setColumnWidth(column, width + kColumnSlack);
    const int height = metrics.height();
    if (row == 0) {
        QHeaderView* header = grid_->horizontalHeader();
        if (header->height() < height) header->setFixedHeight(height + kRowSlack);
    } else if (row <= grid_->rowCount() && grid_->rowHeight(row - 1) < height) {
        grid_->setRowHeight(row - 1, height + kRowSlack);
    }
}

void DeviceGrid::FitHeader(int column) {
    if (grid_) FitCell(0, column, grid_->Cell(0, column));
}

// ---- announcements -----------------------------------------------------------------------------

void DeviceGrid::HandleAnnouncement(const QByteArray& datagram) {
    // The devices listed so far: their MACs, serial rows left out (they have none).
    const int listed = std::clamp(devices_.count, 0, kMaxDevices);
    std::vector<std::array<std::uint8_t, 6>> known;
    for (int i = 0; i < listed; ++i)
        if (devices_.records[std::size_t(i)].serialDevice != 1)
            known.push_back(netDevices_.records[std::size_t(i)].mac);

    NetDeviceRecord record;
    const auto verdict =
        ParseAnnouncement(reinterpret_cast<const std::uint8_t*>(datagram.constData()),
                          std::size_t(datagram.size()), known, record);
    if (verdict != AnnouncementVerdict::Accepted) return;

    // A row index addresses both tables: the smaller one decides.
    const int k = devices_.count;
    if (k < 0 || k >= std::min(kMaxDevices, kMaxNetDevices)) {
        if (!fullLogged_)
            DebugLine(QString("Device list full (%1 devices): further devices are not listed.")
                          .arg(std::min(kMaxDevices, kMaxNetDevices)));
        fullLogged_ = true;
        return;
    }
    fullLogged_ = false;
    netDevices_.records[std::size_t(k)] = record;
    // The serial record at this index may be left from an earlier search: this row is no
    // serial device.
    devices_.records[std::size_t(k)] = DeviceRecord{};
    if (grid_) {
        grid_->SetRowCount(k + 2);
        const QString cells[] = {QString::number(k + 1),      "ETHERNET",
                                 NetText(record.productName), NetText(record.description),
                                 NetText(record.ip),          NetText(record.macText)};
        for (int c = 0; c < 6; ++c) {
            grid_->SetCell(k + 1, c, cells[c]);
            FitCell(k + 1, c, cells[c]);
            FitHeader(c);
        }
    }
    devices_.count = k + 1;
    emit rowAdded(k + 1);
}

// ---- selecting a row ---------------------------------------------------------------------------

void DeviceGrid::StringGrid1SelectCell(int column, int row) {
    (void)column;
    if (row < 1 || devices_.count <= 0) return;
    // Rows past the listed devices (or the tables) are not devices.
    if (row > std::min(devices_.count, std::int32_t(kMaxDevices))) return;
    // A selection sends serial commands and processes window messages while it waits; a second
    // selection in that time waits for the operator to choose again.
    if (selecting_) return;
    // During a firmware update a click on its row brings "Commander" back to the update.
    if (updating_ && updating_()) {
        if (row - 1 == devices_.current) emit updateRowSelected();
        return;
    }
    // So does a selection while another device operation holds the serial link.
    const DeviceOperation operation(link_ ? &link_->session() : nullptr);
    if (!operation) return;
    selecting_ = true;

    devices_.current = row - 1;
    highlighted_ = row;
    if (grid_) {
        if (grid_->FixedColor() != kMoneyGreen) grid_->SetFixedColor(kMoneyGreen);
        grid_->viewport()->update();
    }

    DeviceRecord& record = devices_.records[std::size_t(row - 1)];
    if (record.serialDevice == 1) {
        shownMac_.reset(); // the page is hidden and belongs to no device
        const bool isp = ispQuery_ && ispQuery_();
        if (!isp) RefreshPortDescriptors(record);
        emit serialDeviceSelected(record, isp);
    } else {
        showStatus(find<QLabel>("Label_IpConfig_Status"), QString(), Qt::black);
        FillIpConfigure(netDevices_.records[std::size_t(row - 1)]);
        emit netDeviceSelected(record);
    }
    selecting_ = false;
    emit rowSelected(row);
}

// The port descriptors again: each input, then each output (as many as the model holds).
void DeviceGrid::RefreshPortDescriptors(DeviceRecord& record) {
    if (!serialSender_) return;
    const int inputs = std::min<int>(record.inputCount, kMaxPorts);
    const int outputs = std::min<int>(record.outputCount, kMaxPorts);
    auto refresh = [&](SlotKind kind, int i) {
        const SlotSelector selector = SlotSelector::Make(kind, unsigned(i));
        record.selected = selector;
        const auto bytes = selector.bytes();
        serialSender_(kModeSet, ND_SEL, 2, bytes.data());
        serialSender_(kModeGet, ND_DSCPT, 0, nullptr);
    };
    for (int i = 0; i < inputs; ++i)
        refresh(SlotKind::Input, i);
    for (int i = 0; i < outputs; ++i)
        refresh(SlotKind::Output, i);
    record.selected = SlotSelector::Make(SlotKind::Output, record.outputCount);
}

void DeviceGrid::FillIpConfigure(const NetDeviceRecord& r) {
    auto label = [&](const char* name, const QString& text) {
        if (auto* l = find<QLabel>(name)) l->setText(text);
    };
    auto edit = [&](const char* name, const QString& text) {
        if (auto* e = find<QLineEdit>(name)) e->setText(text);
    };
    shownMac_ = r.mac;
    label("Label_Product_ID", NetText(r.productId));
    label("Label_Product_Name", NetText(r.productName));
    label("Label_MAC_Addr", QString::fromStdString(MacText(r.mac)));
    if (auto* mode = find<QComboBox>("ComboBox_IP_Mode"))
        mode->setCurrentIndex(r.ipMode == 0 || r.ipMode == 1 ? r.ipMode : -1);
    edit("Edit_IP_Address", NetText(r.ip));
    edit("Edit_SubNet_Mask", NetText(r.mask));
    edit("Edit_GateWay_IP", NetText(r.gateway));
    edit("Edit_DNS", NetText(r.dns));
    edit("Edit_WebGUI_Port", QString::number(r.webPort));
    edit("Edit_Telnet_Port", QString::number(r.telnetPort));
    label("Label_Serial_Num", NetText(r.serial));
    label("Label_Description", NetText(r.description));
}

// ---- "IP Configure" buttons --------------------------------------------------------------------

NetDeviceRecord* DeviceGrid::SelectedNetRecord() {
    const int i = devices_.current;
    if (devices_.count <= 0 || i < 0 || i >= std::min(devices_.count, std::int32_t(kMaxDevices)))
        return nullptr;
    if (devices_.records[std::size_t(i)].serialDevice == 1) return nullptr;
    return &netDevices_.records[std::size_t(i)];
}

NetDeviceRecord* DeviceGrid::ShownNetRecord() {
    if (!shownMac_) return nullptr;
    // the selected row first: MACs of devices without one (all zero) may repeat
    if (NetDeviceRecord* selected = SelectedNetRecord(); selected && selected->mac == *shownMac_)
        return selected;
    const int listed = std::clamp(devices_.count, 0, std::min(kMaxDevices, kMaxNetDevices));
    for (int i = 0; i < listed; ++i)
        if (devices_.records[std::size_t(i)].serialDevice != 1 &&
            netDevices_.records[std::size_t(i)].mac == *shownMac_)
            return &netDevices_.records[std::size_t(i)];
    return nullptr;
}

std::vector<NetDeviceRecord> DeviceGrid::ListedNetRecords() const {
    std::vector<NetDeviceRecord> listed;
    const int count = std::clamp(devices_.count, 0, std::min(kMaxDevices, kMaxNetDevices));
    for (int i = 0; i < count; ++i)
        if (devices_.records[std::size_t(i)].serialDevice != 1)
            listed.push_back(netDevices_.records[std::size_t(i)]);
    return listed;
}

void DeviceGrid::OpenWebPage() {
    const NetDeviceRecord* record = SelectedNetRecord();
    if (!record) return;
    const auto address = WebAddress(*record);
    if (!address || !openUrl_) return;
    const QString url = QString::fromLatin1(address->c_str());
    // without a browser the operator gets the address to copy
    if (!openUrl_(url))
        ShowStatus(QStringLiteral("No browser opened the page. Its address: ") + url, true, true);
}

void DeviceGrid::ShowStatus(const QString& text, bool failure, bool stays) {
    // a line to act on (an address to copy) stays until the next one
    showStatus(find<QLabel>("Label_IpConfig_Status"), text, failure ? Qt::red : Qt::black,
               stays ? -1 : kIpConfigStatusMs);
}

void DeviceGrid::SpeedButton2Click() {
    // the values on the page go to the device they were read from, whichever row is selected
    NetDeviceRecord* record = ShownNetRecord();
    if (!record) {
        if (shownMac_)
            ShowStatus("The device shown is no longer listed: select its row again.", true);
        return;
    }
    auto text = [&](const char* name) {
        const auto* e = find<QLineEdit>(name);
        return e ? e->text().toLatin1().toStdString() : std::string();
    };
    NetConfigEdits edits;
    if (const auto* mode = find<QComboBox>("ComboBox_IP_Mode"))
        edits.ipModeIndex = mode->currentIndex();
    edits.ip = text("Edit_IP_Address");
    edits.mask = text("Edit_SubNet_Mask");
    edits.gateway = text("Edit_GateWay_IP");
    edits.dns = text("Edit_DNS");
    edits.webPort = text("Edit_WebGUI_Port");
    edits.telnetPort = text("Edit_Telnet_Port");

    const NetConfigResult result = BuildConfiguration(*record, edits);
    if (!result.ok) {
        ShowStatus(QString::fromStdString(result.error), true);
        return;
    }
    // an address another listed device holds would leave two rows with one address: asked first,
    // in the words `net configure` warns with
    const std::string taken =
        AddressTakenText(ListedNetRecords(), record->mac, edits.ip, result.record.ipMode == 1);
    if (!taken.empty() && !ConfirmWarning(dialogParent(), QStringLiteral("Warning"),
                                          QString::fromStdString(taken) +
                                              QStringLiteral(": send it all the same?"))) {
        ShowStatus(QStringLiteral("Nothing sent: ") + QString::fromStdString(taken) +
                       QStringLiteral("."),
                   true);
        return;
    }
    // the question ran the event loop: the row may be gone
    record = ShownNetRecord();
    if (!record) {
        ShowStatus("The device shown is no longer listed: select its row again.", true);
        return;
    }
    *record = result.record;
    const QByteArray datagram(reinterpret_cast<const char*>(result.datagram.data()),
                              qsizetype(result.datagram.size()));
    if (sendDatagram_ && sendDatagram_(datagram)) {
        ShowStatus(QString::fromLatin1(DescribeConfiguration(result).c_str()), false);
        // the row shows the address just sent, as the record keeps it
        if (grid_) grid_->SetCell(devices_.current + 1, ColIp, NetText(record->ip));
        emit configurationSent(datagram);
    } else {
        ShowStatus("The configuration could not be sent.", true);
    }
}

} // namespace tavo
