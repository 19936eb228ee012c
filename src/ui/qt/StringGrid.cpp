#include "ui/qt/StringGrid.h"

#include <QHeaderView>

namespace tavo {

StringGrid::StringGrid(int columns, QWidget* parent) : QTableWidget(0, columns, parent) {
    verticalHeader()->hide(); // no fixed column
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    // one Tab stop: the arrows move between the cells, Tab goes on to the next control
    setTabKeyNavigation(false);
    for (int c = 0; c < columns; ++c)
        setHorizontalHeaderItem(c, new QTableWidgetItem);
}

void StringGrid::SetRowCount(int rows) {
    setRowCount(rows > 1 ? rows - 1 : 0);
}

QString StringGrid::Cell(int row, int column) const {
    if (column < 0 || column >= columnCount()) return {};
    if (row == 0) return horizontalHeaderItem(column)->text();
    const QTableWidgetItem* it = (row > 0 && row <= rowCount()) ? item(row - 1, column) : nullptr;
    return it ? it->text() : QString();
}

void StringGrid::SetCell(int row, int column, const QString& text) {
    if (column < 0 || column >= columnCount() || row < 0 || row > rowCount()) return;
    if (row == 0) {
        horizontalHeaderItem(column)->setText(text);
        return;
    }
    QTableWidgetItem* it = item(row - 1, column);
    if (!it) {
        it = new QTableWidgetItem;
        it->setTextAlignment(Qt::AlignCenter);
        setItem(row - 1, column, it);
    }
    it->setText(text);
}

void StringGrid::SetFixedColor(const QColor& colour) {
    fixedColor_ = colour;
    for (int c = 0; c < columnCount(); ++c)
        horizontalHeaderItem(c)->setBackground(colour);
    // Styles differ in whether they honour an item's background in a header; a style sheet is
    // honoured by all of them.
    horizontalHeader()->setStyleSheet(
        QString("QHeaderView::section { background-color: %1; border: 1px solid gray;"
                " border-left: none; border-top: none; }")
            .arg(colour.name()));
}

void StringGrid::SetColumnWidths(const QList<int>& widths) {
    // the header's own minimum follows the font and the style; the designed widths go below it
    horizontalHeader()->setMinimumSectionSize(1);
    for (int c = 0; c < widths.size() && c < columnCount(); ++c)
        setColumnWidth(c, widths[c]);
}

void StringGrid::SetDefaultRowHeight(int height) {
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(height);
    horizontalHeader()->setFixedHeight(height);
}

} // namespace tavo
