#include "workspace/analysis/qt/HexViewLayout.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace tavo::pages {

namespace {

constexpr int kCellWidth = 24;
constexpr int kCellHeight = 18;

// 16 rows of 16 bytes: the rows headed by their offsets, the columns by the low hex digit.
QTableWidget* MakeGrid(QWidget* parent, const char* name) {
    auto* grid = new QTableWidget(16, 16, parent);
    grid->setObjectName(name);
    grid->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionMode(QAbstractItemView::NoSelection); // the view selects whole parts
    grid->setFocusPolicy(Qt::NoFocus);
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QStringList columns, rows;
    for (int i = 0; i < 16; ++i) {
        columns << QString::number(i, 16).toUpper();
        rows << QStringLiteral("%1").arg(i * 16, 2, 16, QLatin1Char('0')).toUpper();
    }
    grid->setHorizontalHeaderLabels(columns);
    grid->setVerticalHeaderLabels(rows);
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->horizontalHeader()->setDefaultSectionSize(kCellWidth);
    grid->horizontalHeader()->setMinimumSectionSize(kCellWidth);
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->verticalHeader()->setDefaultSectionSize(kCellHeight);
    grid->verticalHeader()->setMinimumSectionSize(kCellHeight);
    for (int i = 0; i < 16; ++i) {
        grid->setColumnWidth(i, kCellWidth);
        grid->setRowHeight(i, kCellHeight);
    }
    for (int r = 0; r < 16; ++r)
        for (int c = 0; c < 16; ++c) {
            auto* item = new QTableWidgetItem;
            item->setTextAlignment(Qt::AlignCenter);
            grid->setItem(r, c, item);
        }
    // exactly the 256 cells and the headers
    const int rowHeader = grid->fontMetrics().horizontalAdvance(QStringLiteral("F0")) + 16;
    const int columnHeader = grid->fontMetrics().height() + 6;
    grid->verticalHeader()->setFixedWidth(rowHeader);
    grid->horizontalHeader()->setFixedHeight(columnHeader);
    const int width = rowHeader + 16 * kCellWidth + 2 * grid->frameWidth();
    const int height = columnHeader + 16 * kCellHeight + 2 * grid->frameWidth();
    grid->setFixedSize(width, height);
    return grid;
}

QLabel* MakeCaption(QWidget* parent, const char* name, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QPlainTextEdit* MakeText(QWidget* parent, const char* name) {
    auto* text = new QPlainTextEdit(parent);
    text->setObjectName(name);
    text->setReadOnly(true);
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    return text;
}

} // namespace

void BuildHexView(QWidget* outer) {
    outer->setWindowTitle(QStringLiteral("Hex View"));
    // on a small screen the window shrinks to fit and its content scrolls
    auto* fill = new QVBoxLayout(outer);
    fill->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea(outer);
    scroll->setObjectName("ScrollArea_HexView");
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    fill->addWidget(scroll);
    // the grids and the parts beside them in a splitter: the operator gives either more room
    auto* window = new QSplitter(Qt::Horizontal);
    window->setObjectName("Panel_HexView");
    window->setChildrenCollapsible(false);
    auto* gridsPanel = new QWidget(window);
    gridsPanel->setObjectName("Panel_HexGrids");
    auto* columns = new QHBoxLayout(gridsPanel);
    columns->setContentsMargins(4, 4, 4, 4);

    // the image shown (the creator's build) ...
    auto* shown = new QVBoxLayout;
    shown->addWidget(MakeCaption(gridsPanel, "Label_HexShown", QStringLiteral("EDID")));
    shown->addWidget(MakeGrid(gridsPanel, "TableWidget_Hex"));
    shown->addStretch(1);
    columns->addLayout(shown);

    // ... and beside it the EDID the creator opened, with the same bytes marked
    auto* openedPanel = new QWidget(gridsPanel);
    openedPanel->setObjectName("Panel_HexOpened");
    auto* opened = new QVBoxLayout(openedPanel);
    opened->setContentsMargins(0, 0, 0, 0);
    opened->addWidget(MakeCaption(openedPanel, "Label_HexOpened", QStringLiteral("Opened")));
    opened->addWidget(MakeGrid(openedPanel, "TableWidget_Opened"));
    opened->addStretch(1);
    columns->addWidget(openedPanel);

    auto* sidePanel = new QWidget(window);
    sidePanel->setObjectName("Panel_HexParts");
    auto* side = new QVBoxLayout(sidePanel);
    side->setContentsMargins(4, 4, 4, 4);
    side->addWidget(MakeCaption(sidePanel, "Label_HexParts", QStringLiteral("Parts")));
    auto* parts = new QListWidget(sidePanel);
    parts->setObjectName("ListWidget_Parts");
    parts->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    parts->setSelectionMode(QAbstractItemView::SingleSelection);
    parts->setMinimumWidth(140);
    parts->setTextElideMode(Qt::ElideMiddle); // each line's tooltip holds all of it
    side->addWidget(parts, 1);
    auto* details = new QTabWidget(sidePanel);
    details->setObjectName("TabWidget_HexDetails");
    details->addTab(MakeText(details, "PlainTextEdit_Fields"), QStringLiteral("Fields"));
    details->addTab(MakeText(details, "PlainTextEdit_Report"), QStringLiteral("Full report"));
    side->addWidget(details, 1);
    auto* buttons = new QHBoxLayout;
    auto* changed = MakeCaption(sidePanel, "Label_HexChanged", QString());
    buttons->addWidget(changed, 1);
    auto* report = new QPushButton(QStringLiteral("Full report"), sidePanel);
    report->setObjectName("Button_FullReport");
    buttons->addWidget(report);
    side->addLayout(buttons);
    window->addWidget(gridsPanel);
    window->addWidget(sidePanel);
    window->setStretchFactor(0, 0);
    window->setStretchFactor(1, 1);
    scroll->setWidget(window);
    // the grids and a parts list wide enough for its names; HexView narrows it to the room
    // beside the window it belongs to and keeps it on the screen
    const QSize content = window->sizeHint();
    outer->resize(gridsPanel->sizeHint().width() + 330, content.height() + 4);
}

} // namespace tavo::pages
