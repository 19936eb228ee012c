#include "workspace/analysis/qt/CheckLayout.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace tavo::pages {

namespace {

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& text) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    return b;
}

QLabel* MakeLine(QWidget* parent, const char* name) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    return label;
}

} // namespace

void BuildCheckDetails(QWidget* window) {
    window->setWindowTitle(QStringLiteral("Check Details"));
    auto* layout = new QVBoxLayout(window);
    layout->addWidget(MakeLine(window, "Label_Check_Details"));
    auto* table = new QTableWidget(0, 4, window);
    table->setObjectName("TableWidget_Check_Findings");
    table->setHorizontalHeaderLabels({QStringLiteral("Severity"), QStringLiteral("Rule"),
                                      QStringLiteral("Part"), QStringLiteral("Finding")});
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setWordWrap(true);
    table->verticalHeader()->setVisible(false);
    table->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(table, 1);
    auto* hint =
        new QLabel(QStringLiteral("A finding chosen here is shown in \"Hex View\"."), window);
    layout->addWidget(hint);
    window->resize(760, 320);
}

void BuildRepair(QWidget* window) {
    window->setWindowTitle(QStringLiteral("Repair"));
    auto* layout = new QVBoxLayout(window);
    layout->addWidget(MakeLine(window, "Label_Repair_Verdict"));

    auto* named = new QGroupBox(QStringLiteral("Repairs that change what the display claims "
                                               "(ticked: made)"),
                                window);
    named->setObjectName("GroupBox_Repair_Named");
    auto* namedLayout = new QVBoxLayout(named);
    auto* namedList = new QListWidget(named);
    namedList->setObjectName("ListWidget_Repair_Named");
    namedLayout->addWidget(namedList);
    layout->addWidget(named, 1);

    auto* changes = new QGroupBox(QStringLiteral("Changes"), window);
    changes->setObjectName("GroupBox_Repair_Changes");
    auto* changesLayout = new QVBoxLayout(changes);
    auto* changeList = new QListWidget(changes);
    changeList->setObjectName("ListWidget_Repair_Changes");
    changesLayout->addWidget(changeList);
    layout->addWidget(changes, 2);

    layout->addWidget(MakeLine(window, "Label_Repair_Message"));
    auto* files = new QHBoxLayout;
    files->addWidget(MakeButton(window, "Button_Repair_HexView", QStringLiteral("Hex View\u2026")));
    files->addWidget(MakeButton(window, "Button_Repair_Save", QStringLiteral("Save\u2026")));
    files->addStretch(1);
    layout->addLayout(files);
    auto* upload = new QHBoxLayout;
    upload->addWidget(new QLabel(QStringLiteral("Into slot:"), window));
    auto* slot = new QComboBox(window);
    slot->setObjectName("ComboBox_Repair_Upload");
    upload->addWidget(slot, 1);
    upload->addWidget(MakeButton(window, "Button_Repair_Upload", QStringLiteral("Upload")));
    layout->addLayout(upload);
    window->resize(640, 480);
}

} // namespace tavo::pages
