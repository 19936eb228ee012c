#pragma once
// The device grid: a table whose row 0 is the fixed header row, addressed like a string grid
// (row 0 is the header, rows 1.. the devices). The header is drawn in the grid's fixed colour.
#include <QColor>
#include <QTableWidget>

namespace tavo {

class StringGrid : public QTableWidget {
    Q_OBJECT
public:
    explicit StringGrid(int columns, QWidget* parent = nullptr);

    // Rows including the fixed header row (at least 1).
    int RowCount() const { return rowCount() + 1; }
    void SetRowCount(int rows);

    // Cell text; row 0 is the header. Out-of-range cells read as empty and are not written.
    QString Cell(int row, int column) const;
    void SetCell(int row, int column, const QString& text);

    QColor FixedColor() const { return fixedColor_; }
    void SetFixedColor(const QColor& colour);

    void SetColumnWidths(const QList<int>& widths);
    // Height of every row, the header row included.
    void SetDefaultRowHeight(int height);

private:
    QColor fixedColor_;
};

} // namespace tavo
