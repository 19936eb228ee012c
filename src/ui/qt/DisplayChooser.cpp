#include "ui/qt/DisplayChooser.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace tavo {

DisplayChooser::DisplayChooser(const QList<DisplayChoice>& displays, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("DisplayChooser"));
    setWindowTitle(QStringLiteral("From a connected display"));
    auto* layout = new QVBoxLayout(this);
    label_ = new QLabel(displays.isEmpty() ? QString::fromLatin1(kTextNoDisplay)
                                           : QStringLiteral("Connected displays:"),
                        this);
    label_->setObjectName(QStringLiteral("Label_Displays"));
    layout->addWidget(label_);
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("ListBox_Displays"));
    for (const DisplayChoice& d : displays) {
        auto* item = new QListWidgetItem(d.connector + QStringLiteral("  ") + d.description);
        item->setData(Qt::UserRole, d.connector);
        list_->addItem(item);
    }
    list_->setVisible(!displays.isEmpty());
    if (!displays.isEmpty()) list_->setCurrentRow(0);
    layout->addWidget(list_);
    buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons_->button(QDialogButtonBox::Ok)->setEnabled(!displays.isEmpty());
    layout->addWidget(buttons_);
    connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(list_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
}

QString DisplayChooser::connector() const {
    const QListWidgetItem* item = list_->currentItem();
    return item ? item->data(Qt::UserRole).toString() : QString();
}

} // namespace tavo
