#include "link/qt/UartController.h"

#include <QAbstractButton>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTableWidget>

#include "edid/VisibleText.h"

namespace tavo {
namespace {

const QColor kMoneyGreen(192, 220, 192);
constexpr int kGridColumns = 6;

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

void UartController::connectSession() {
    connect(&session_, &UartSession::logText, this, &UartController::appendLog);
    connect(&session_, &UartSession::logLine, this, &UartController::appendLogLine);
    connect(&session_, &UartSession::searchStarted, this, &UartController::onSearchStarted);
    connect(&session_, &UartSession::busy, this, &UartController::onBusy);
    connect(&session_, &UartSession::deviceFound, this, &UartController::onDeviceFound);
    connect(&session_, &UartSession::deviceRow, this, &UartController::onDeviceRow);
    connect(&session_, &UartSession::disconnected, this, &UartController::onDisconnected);
}

void UartController::attach(const Controls& controls) {
    window_ = controls.window;
    grid_ = controls.grid;
    memo_ = controls.log;
    search_ = controls.search;
    disconnect_ = controls.disconnect;
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
    c.insertText(QString::fromStdString(VisibleText(text.toStdString(), true)));
    if (atEnd) bar->setValue(bar->maximum());
}

void UartController::appendLogLine(const QString& line) {
    if (memo_)
        memo_->appendPlainText(QString::fromStdString(VisibleText(line.toStdString(), true)));
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
         {static_cast<QWidget*>(window_.data()), static_cast<QWidget*>(search_.data()),
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

// ---- buttons

void UartController::onDeviceFound() {
    if (search_) search_->setEnabled(false);
    if (disconnect_) disconnect_->setEnabled(true);
}

void UartController::onDisconnected() {
    if (search_) search_->setEnabled(true);
    if (disconnect_) disconnect_->setEnabled(false);
    const int rows = session_.devices().count;
    for (int r = 1; r <= rows; ++r)
        for (int c = 0; c < kGridColumns; ++c)
            setCell(r, c, QString());
    // the blanked rows go, as at the start one empty row stays: no blank rows to frame or click
    if (grid_ && tableRow(1) == 0) setGridRowCount(2);
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
}

} // namespace tavo
