#include "link/qt/UartController.h"

#include "link/qt/FindControl.h"
#include "link/qt/Thread_uart_api.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTableWidget>

namespace tavo {
namespace {

const QColor kMoneyGreen(192, 220, 192);
constexpr int kGridColumns = 6;
constexpr int kFirmwareGroupShort = 48; // little more than the caption
constexpr int kFirmwareGroupFull = 155;

struct GlyphPair {
    const char* button;
    const char* colour;
    const char* grey;
};
constexpr GlyphPair kDeviceGlyphs[] = {
    {"SpeedButton_OpenEdid", "OpenColor", "OpenGray"},
    {"SpeedButton_SaveEdid", "SaveColor", "SaveGray"},
    {"SpeedButton_CopyEdid_Src2Dest", "CopyLeftColor", "CopyLeftGray"},
    {"SpeedButton_CopyEdid_Creator", "CopyUpColor", "CopyUpGray"},
    {"SpeedButton_AnalysisEdid", "AnalysisColor", "AnalysisGray"},
};

struct SlotCombo {
    const char* name;
    SlotList list;
};
constexpr SlotCombo kSlotCombos[] = {{"ComboBox_EdidSel_All", SlotList::All},
                                     {"ComboBox_EdidSel_Src", SlotList::Src},
                                     {"ComboBox_EdidSel_Dest", SlotList::Dest},
                                     {"ComboBox_EdidSel_Upload", SlotList::Upload}};

} // namespace

UartController::UartController(UartLink& link, DeviceTable& devices, EdidImage& transfer,
                               LinkTransport* transport, QObject* parent)
    : QObject(parent), session_(link, devices, transfer, transport) {
    transfers_.setHistory(&history_);
    connectSession();
}

UartController::UartController(DeviceTable& devices, EdidImage& transfer, LinkTransport* transport,
                               QObject* parent)
    : QObject(parent), session_(devices, transfer, transport) {
    transfers_.setHistory(&history_);
    connectSession();
}

void UartController::setWorker(TThread_Uart_Api* worker) {
    worker_ = worker;
    if (!worker_) return;
    if (session_.isResumed())
        worker_->resume();
    else
        worker_->suspend();
}

void UartController::connectSession() {
    // the worker object's running state follows the link's resume and suspend
    connect(&session_, &UartSession::resumedChanged, this, [this](bool on) {
        if (!worker_) return;
        if (on)
            worker_->resume();
        else
            worker_->suspend();
    });
    connect(&session_, &UartSession::logText, this, &UartController::appendLog);
    connect(&session_, &UartSession::logLine, this, &UartController::appendLogLine);
    connect(&session_, &UartSession::searchStarted, this, &UartController::onSearchStarted);
    connect(&session_, &UartSession::busy, this, &UartController::onBusy);
    connect(&session_, &UartSession::deviceFound, this, &UartController::onDeviceFound);
    connect(&session_, &UartSession::enableModeButtons, this, &UartController::onEnableModeButtons);
    connect(&session_, &UartSession::deviceRow, this, &UartController::onDeviceRow);
    connect(&session_, &UartSession::slotListsChanged, this, &UartController::onSlotListsChanged);
    connect(&session_, &UartSession::modeButtons, this, &UartController::onModeButtons);
    connect(&session_, &UartSession::disconnected, this, &UartController::onDisconnected);
}

template <class T> T* UartController::find(const QString& name) const {
    return FindControl<T>(root_.data(), name);
}

void UartController::attach(QWidget* root) {
    root_ = root;
    grid_ = find<QTableWidget>(QStringLiteral("StringGrid1"));
    memo_ = find<QPlainTextEdit>(QStringLiteral("Memo_Debug"));
    search_ = find<QAbstractButton>(QStringLiteral("BitBtn_Search"));
    disconnect_ = find<QAbstractButton>(QStringLiteral("BitBtn_Disconnect"));
    if (search_)
        connect(search_, &QAbstractButton::clicked, this, &UartController::BitBtn_SearchClick,
                Qt::UniqueConnection);
    if (disconnect_)
        connect(disconnect_, &QAbstractButton::clicked, this,
                &UartController::BitBtn_DisconnectClick, Qt::UniqueConnection);
}

void UartController::BitBtn_SearchClick() {
    session_.Uart_Search();
}

void UartController::BitBtn_DisconnectClick() {
    session_.Uart_Disconnect();
}

// ---- debug log

void UartController::appendLog(const QString& text) {
    if (!memo_) return;
    QScrollBar* bar = memo_->verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    QTextCursor c(memo_->document());
    c.movePosition(QTextCursor::End);
    c.insertText(text);
    if (atEnd) bar->setValue(bar->maximum());
}

void UartController::appendLogLine(const QString& line) {
    if (memo_) memo_->appendPlainText(line);
}

// ---- grid

int UartController::tableRow(int gridRow) const {
    if (!grid_) return gridRow;
    const QTableWidgetItem* corner = grid_->item(0, 0);
    const bool headerInRow0 = corner && corner->text() == QLatin1String("#");
    return headerInRow0 ? gridRow : gridRow - 1;
}

void UartController::setGridRowCount(int gridRows) {
    if (!grid_) return;
    grid_->setRowCount(std::max(0, tableRow(gridRows)));
}

void UartController::setCell(int gridRow, int column, const QString& text) {
    if (!grid_) return;
    const int row = tableRow(gridRow);
    if (row < 0 || row >= grid_->rowCount() || column < 0 || column >= grid_->columnCount()) return;
    if (QTableWidgetItem* item = grid_->item(row, column))
        item->setText(text);
    else if (!text.isEmpty()) {
        auto* item = new QTableWidgetItem(text);
        item->setTextAlignment(Qt::AlignCenter);
        grid_->setItem(row, column, item);
    }
}

void UartController::onSearchStarted() {
    if (grid_) {
        for (int r = 1; tableRow(r) < grid_->rowCount(); ++r)
            for (int c = 0; c < kGridColumns; ++c)
                setCell(r, c, QString());
    }
    if (discoverySender_) discoverySender_();
}

void UartController::onBusy(bool on) {
    for (QWidget* w :
         {static_cast<QWidget*>(root_.data()), static_cast<QWidget*>(search_.data()),
          static_cast<QWidget*>(disconnect_.data()), static_cast<QWidget*>(grid_.data())}) {
        if (!w) continue;
        if (on)
            w->setCursor(Qt::WaitCursor);
        else
            w->unsetCursor();
    }
}

void UartController::onDeviceRow(int row, const QString& port, const QString& product,
                                 const QString& description) {
    // device count + 1 rows: networked devices may have taken the rows after this one meanwhile
    setGridRowCount(std::max(row, static_cast<int>(session_.devices().count)) + 1);
    setCell(row, 0, QString::number(row));
    setCell(row, 1, port);
    setCell(row, 2, product);
    setCell(row, 3, description);
    setCell(row, 4, QStringLiteral("NC"));
    setCell(row, 5, QStringLiteral("NC"));
}

// ---- buttons, glyphs, groups

void UartController::setGlyph(const char* button, const char* glyph) {
    auto* b = find<QAbstractButton>(QLatin1String(button));
    if (!b) return;
    if (glyphSetter_)
        glyphSetter_(b, glyph);
    else
        b->setProperty("glyph", QLatin1String(glyph));
}

void UartController::onDeviceFound(bool isp) {
    if (search_) search_->setEnabled(false);
    if (disconnect_) disconnect_->setEnabled(true);
    if (!isp)
        for (const GlyphPair& g : kDeviceGlyphs)
            setGlyph(g.button, g.colour);
    if (auto* box = find<QGroupBox>(QStringLiteral("GroupBox4"))) {
        box->setFixedHeight(isp ? kFirmwareGroupFull : kFirmwareGroupShort);
        // the short group shows the version line alone: no half-cut button peeks out below it
        for (auto* child : box->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
            if (child->objectName() != QLatin1String("Label_FW_Version")) child->setVisible(isp);
    }
}

void UartController::setModeButtonsEnabled(bool on) {
    const DeviceRecord& record = session_.devices().Current();
    for (const ModeButton& b :
         ModeButtonsInUse(record.internalCount, record.outputCount, record.userCount))
        if (auto* w = find<QAbstractButton>(QString::fromStdString(ModeButtonName(b))))
            w->setEnabled(on);
}

void UartController::onEnableModeButtons() {
    setModeButtonsEnabled(true);
}

void UartController::onModeButtons(const QString& disable, const QString& enableAndCheck) {
    if (!disable.isEmpty())
        if (auto* w = find<QAbstractButton>(disable)) w->setEnabled(false);
    if (!enableAndCheck.isEmpty())
        if (auto* w = find<QAbstractButton>(enableAndCheck)) {
            w->setEnabled(true);
            w->setChecked(true);
        }
}

void UartController::onSlotListsChanged() {
    const DeviceRecord& r = session_.devices().Current();
    for (const SlotCombo& sc : kSlotCombos) {
        auto* combo = find<QComboBox>(QLatin1String(sc.name));
        if (!combo) continue;
        combo->clear();
        for (const std::string& item :
             SlotListItems(sc.list, r.inputCount, r.outputCount, r.userCount, r.internalCount))
            combo->addItem(QString::fromStdString(item));
        combo->setCurrentIndex(SlotListInitialPosition(sc.list, r.inputCount));
    }
}

void UartController::onDisconnected() {
    if (search_) search_->setEnabled(true);
    if (disconnect_) disconnect_->setEnabled(false);
    setModeButtonsEnabled(false);
    for (const GlyphPair& g : kDeviceGlyphs)
        setGlyph(g.button, g.grey);
    for (const SlotCombo& sc : kSlotCombos)
        if (auto* combo = find<QComboBox>(QLatin1String(sc.name))) combo->clear();
    const int rows = session_.devices().count;
    for (int r = 1; r <= rows; ++r)
        for (int c = 0; c < kGridColumns; ++c)
            setCell(r, c, QString());
    if (fixedColourSetter_) {
        fixedColourSetter_(kMoneyGreen);
    } else if (grid_) {
        // the fixed (header) colour goes back to money green
        grid_->setProperty("fixedColor", kMoneyGreen);
        if (tableRow(0) == 0) {
            for (int c = 0; c < grid_->columnCount(); ++c)
                if (QTableWidgetItem* item = grid_->item(0, c)) item->setBackground(kMoneyGreen);
        }
    }
    if (popupCloser_) {
        popupCloser_();
    } else {
        for (const char* name : {"Form2", "Form3"})
            if (QWidget* w = find<QWidget>(QLatin1String(name)); w && w->isWindow()) w->close();
    }
}

} // namespace tavo
