#include "discovery/qt/DeviceGrid.h"

#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QUdpSocket>
#include <QWidget>
#include <algorithm>

#include "discovery/qt/UdpEndpoints.h"
#include "link/qt/UartController.h"
#include "link/qt/UartSession.h"
#include "ui/qt/ShownText.h"
#include "ui/qt/StringGrid.h"

namespace tavo {

namespace {

const QColor kMoneyGreen(192, 220, 192);
const QColor kHighlight(0, 255, 255);
constexpr int kFocusFrameWidth = 2; // the frame round the keyboard's row

constexpr int kColumnSlack = 8; // a widened column is the text width + 8
constexpr int kRowSlack = 4;    // a heightened row is the text height + 4

enum Column { ColNumber, ColInterface, ColProduct, ColDescription, ColIp, ColMac, ColCount };

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
        // (a blank row, no device's, is never framed)
        const auto* view = qobject_cast<const QAbstractItemView*>(option.widget);
        bool blank = true;
        for (int c = 0; blank && c < index.model()->columnCount(); ++c)
            blank = index.model()->index(index.row(), c).data().toString().trimmed().isEmpty();
        if (view && !blank && view->hasFocus() && view->currentIndex().row() == index.row()) {
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
    }

private:
    DeviceGrid* grid_;
};

} // namespace

DeviceGrid::DeviceGrid(DeviceTable& devices, NetDeviceTable& netDevices, QObject* parent)
    : PageBase(parent), devices_(devices), netDevices_(netDevices) {}

QString DeviceGrid::NetText(const std::string& bytes) {
    const std::size_t end = std::min(bytes.find('\0'), bytes.size());
    // datagram fields come from anything on the network: control characters made visible
    return ShownLatin1(std::string_view(bytes).substr(0, end));
}

void DeviceGrid::attach(QWidget* window, StringGrid* grid, UdpEndpoints* udp) {
    attachTo(window, {grid});
    udp_ = udp;
    grid_ = grid;
    if (grid_) {
        startWidths_.clear();
        for (int c = 0; c < grid_->columnCount(); ++c)
            startWidths_.append(grid_->columnWidth(c));
        // any cell written by anyone (search, announcements, pages): the grid follows
        connect(grid_->model(), &QAbstractItemModel::dataChanged, this, &DeviceGrid::QueueFit);
        connect(grid_->model(), &QAbstractItemModel::rowsInserted, this, &DeviceGrid::QueueFit);
        connect(grid_->model(), &QAbstractItemModel::rowsRemoved, this, &DeviceGrid::QueueFit);
        connect(grid_->model(), &QAbstractItemModel::headerDataChanged, this,
                &DeviceGrid::QueueFit);
        Fit(); // every header whole from the start
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
    }
}

bool DeviceGrid::eventFilter(QObject* watched, QEvent* event) {
    // a grid in its destructor is no StringGrid any more (qobject_cast says so): nothing to do
    // then, and the pointer is not looked at as one
    auto* grid = qobject_cast<StringGrid*>(watched);
    if (grid != nullptr && grid == grid_.data()) {
        switch (event->type()) {
        case QEvent::KeyPress:
            return SelectByKey(static_cast<QKeyEvent*>(event));
        case QEvent::FocusIn:
        case QEvent::FocusOut:
            // the keyboard's row frame comes and goes with the focus: the whole row, not its cell
            grid->viewport()->update();
            break;
        case QEvent::FontChange:
        case QEvent::StyleChange:
            // other text sizes: the cells are fitted again
            QueueFit();
            break;
        default:
            break;
        }
    }
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
    connect(&link.session(), &UartSession::searchStarted, this, &DeviceGrid::ipConfigureClosed,
            Qt::UniqueConnection);
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

// ---- sizing ------------------------------------------------------------------------------------

void DeviceGrid::QueueFit() {
    if (fitQueued_) return;
    fitQueued_ = true;
    // after the paint or the write that asked for it: a column changed in a paint would be
    // painted half old
    QMetaObject::invokeMethod(
        this, [this] { Fit(); }, Qt::QueuedConnection);
}

void DeviceGrid::Fit() {
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
    const int height = cells.height();
    if (QHeaderView* top = grid_->horizontalHeader(); top->height() < height)
        top->setFixedHeight(height + kRowSlack);
    for (int r = 0; r < grid_->rowCount(); ++r)
        if (grid_->rowHeight(r) < height) grid_->setRowHeight(r, height + kRowSlack);
    CheckWidth();
}

void DeviceGrid::CheckWidth() {
    if (!grid_) return;
    int needed = 2 * grid_->frameWidth();
    for (int c = 0; c < grid_->columnCount(); ++c)
        needed += grid_->columnWidth(c);
    if (grid_->verticalScrollBar()->isVisible()) needed += grid_->verticalScrollBar()->width();
    if (needed > grid_->width()) emit widthWanted(needed);
}

// ---- the rows ----------------------------------------------------------------------------------

std::optional<GridRow> DeviceGrid::Row(int row) const {
    // rows past the listed devices (or the tables) are not devices
    if (row < 1 || row > std::clamp(devices_.count, 0, kMaxGridDevices)) return std::nullopt;
    GridRow listed;
    listed.row = row;
    listed.record = std::size_t(row - 1);
    if (devices_.records[listed.record].serialDevice != 1) {
        listed.kind = GridRow::Kind::Network;
        listed.mac = netDevices_.records[listed.record].mac;
    }
    return listed;
}

std::vector<GridRow> DeviceGrid::Rows() const {
    std::vector<GridRow> rows;
    for (int r = 1; const std::optional<GridRow> row = Row(r); ++r)
        rows.push_back(*row);
    return rows;
}

std::optional<GridRow> DeviceGrid::NetRow(const std::array<std::uint8_t, 6>& mac) const {
    auto matches = [&](const std::optional<GridRow>& row) {
        return row && row->kind == GridRow::Kind::Network && row->mac == mac;
    };
    if (const auto selected = Row(devices_.current + 1); matches(selected)) return selected;
    for (const GridRow& row : Rows())
        if (matches(row)) return row;
    return std::nullopt;
}

const NetDeviceRecord* DeviceGrid::ListedNetRecord(const std::array<std::uint8_t, 6>& mac) const {
    const auto row = NetRow(mac);
    return row ? &netDevices_.records[row->record] : nullptr;
}

std::vector<NetDeviceRecord> DeviceGrid::ListedNetRecords() const {
    std::vector<NetDeviceRecord> listed;
    for (const GridRow& row : Rows())
        if (row.kind == GridRow::Kind::Network) listed.push_back(netDevices_.records[row.record]);
    return listed;
}

bool DeviceGrid::UpdateNetRow(const NetDeviceRecord& record) {
    const auto row = NetRow(record.mac);
    if (!row) return false;
    netDevices_.records[row->record] = record;
    WriteNetRow(*row);
    return true;
}

void DeviceGrid::WriteNetRow(const GridRow& row) {
    if (!grid_) return;
    const NetDeviceRecord& r = netDevices_.records[row.record];
    const QString cells[ColCount] = {QString::number(row.row),
                                     QStringLiteral("ETHERNET"),
                                     NetText(r.productName),
                                     NetText(r.description),
                                     NetText(r.ip),
                                     NetText(r.macText)};
    for (int c = 0; c < ColCount; ++c)
        grid_->SetCell(row.row, c, cells[c]);
    Fit();
}

// ---- announcements -----------------------------------------------------------------------------

void DeviceGrid::HandleAnnouncement(const QByteArray& datagram) {
    // The devices listed so far: their MACs, serial rows left out (they have none).
    std::vector<std::array<std::uint8_t, 6>> known;
    for (const GridRow& row : Rows())
        if (row.kind == GridRow::Kind::Network) known.push_back(row.mac);

    NetDeviceRecord record;
    const auto verdict =
        ParseAnnouncement(reinterpret_cast<const std::uint8_t*>(datagram.constData()),
                          std::size_t(datagram.size()), known, record);
    if (verdict != AnnouncementVerdict::Accepted) return;

    const int k = devices_.count;
    if (k < 0 || k >= kMaxGridDevices) {
        if (!fullLogged_)
            DebugLine(QString("Device list full (%1 devices): further devices are not listed.")
                          .arg(kMaxGridDevices));
        fullLogged_ = true;
        return;
    }
    fullLogged_ = false;
    netDevices_.records[std::size_t(k)] = record;
    // The serial record at this index may be left from an earlier search: this row is no
    // serial device.
    devices_.records[std::size_t(k)] = DeviceRecord{};
    devices_.count = k + 1;
    if (grid_) grid_->SetRowCount(k + 2);
    if (const auto row = Row(k + 1)) WriteNetRow(*row);
    emit rowAdded(k + 1);
}

// ---- selecting a row ---------------------------------------------------------------------------

void DeviceGrid::StringGrid1SelectCell(int column, int row) {
    (void)column;
    const std::optional<GridRow> selected = Row(row);
    if (!selected) return;
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

    DeviceRecord& record = devices_.records[selected->record];
    if (selected->kind == GridRow::Kind::Serial) {
        const bool isp = ispQuery_ && ispQuery_();
        if (!isp) RefreshPortDescriptors(record);
        emit serialDeviceSelected(record, isp);
    } else {
        emit netDeviceSelected(record, netDevices_.records[selected->record]);
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

} // namespace tavo
