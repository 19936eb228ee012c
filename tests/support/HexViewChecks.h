#pragma once
// What the widget tests that open "Hex View" check alike: the grids hold the bytes, the list the
// parts of the block map, and a part chosen in the list selects exactly its bytes and shows its
// fields.
#include <QFontDatabase>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QtTest>
#include <algorithm>

#include "edid/BlockMap.h"
#include "workspace/analysis/HexGrid.h"
#include "workspace/analysis/qt/HexView.h"

namespace tavo::test {

inline QString HexText(const std::string& s) {
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

inline QByteArray ImageBytes(const EdidImage& image) {
    return QByteArray(reinterpret_cast<const char*>(image.data()), kEdidSize);
}

// The bytes a grid shows (256 for a slot's image, every byte of a larger EDID), read back from
// its cells' texts.
inline QByteArray GridBytes(const QTableWidget* table, int count = 256) {
    QByteArray out;
    for (int b = 0; b < count; ++b) {
        const QTableWidgetItem* item = table->item(b / 16, b % 16);
        out += item ? QByteArray::fromHex(item->text().toLatin1()) : QByteArray("?");
    }
    return out;
}

// The offsets of the selected cells, in order.
inline QList<int> SelectedBytes(const QTableWidget* table) {
    QList<int> out;
    for (const QModelIndex& i : table->selectionModel()->selectedIndexes())
        out << i.row() * 16 + i.column();
    std::sort(out.begin(), out.end());
    return out;
}

inline QList<int> BytesOf(const BlockPart& part) {
    QList<int> out;
    for (int b = part.offset; b < part.end(); ++b)
        out << b;
    return out;
}

// The offsets of the cells marked as changed (bold, in the changed colour).
inline QList<int> MarkedBytes(const QTableWidget* table) {
    QList<int> out;
    for (int b = 0; b < table->rowCount() * 16; ++b)
        if (const QTableWidgetItem* item = table->item(b / 16, b % 16); item && item->font().bold())
            out << b;
    return out;
}

// `window` shows `image` in TableWidget_Hex with its parts listed; each part chosen in the list
// selects exactly its bytes and shows its fields.
inline void CheckHexView(QWidget* window, const EdidImage& image) {
    QVERIFY(window);
    QVERIFY(window->isVisible());
    auto* hex = window->findChild<QTableWidget*>("TableWidget_Hex");
    auto* parts = window->findChild<QListWidget*>("ListWidget_Parts");
    auto* fields = window->findChild<QPlainTextEdit*>("PlainTextEdit_Fields");
    QVERIFY(hex && parts && fields);
    QCOMPARE(GridBytes(hex), ImageBytes(image));
    const BlockMap map = MapBlocks(image);
    QCOMPARE(parts->count(), static_cast<int>(map.size()));
    for (int i = 0; i < parts->count(); ++i) {
        const BlockPart& part = map[static_cast<std::size_t>(i)];
        QCOMPARE(parts->item(i)->text(), HexText(PartLine(part)));
        // neighbouring parts in different colours, the list in the grid's colours
        const QColor colour = hex->item(part.offset / 16, part.offset % 16)->background().color();
        QCOMPARE(parts->item(i)->background().color(), colour);
        if (i > 0) {
            const int before = part.offset - 1;
            QVERIFY(hex->item(before / 16, before % 16)->background().color() != colour);
        }
    }
    for (int i = parts->count() - 1; i >= 0; --i) { // from the end: every row changes
        parts->setCurrentRow(i);
        const BlockPart& part = map[static_cast<std::size_t>(i)];
        QCOMPARE(SelectedBytes(hex), BytesOf(part));
        QVERIFY(fields->toPlainText().startsWith(HexText(PartLine(part)) + '\n'));
        for (const PartField& f : PartFields(image, part))
            QVERIFY2(fields->toPlainText().contains(HexText(f.name + ": " + f.value + '\n')),
                     qPrintable(HexText(f.name)));
    }
}

} // namespace tavo::test
