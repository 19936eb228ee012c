#include "ui/qt/Dialogs.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/qt/DisplayChooser.h"

#include "ui/qt/ScreenPlacement.h"

namespace tavo {

namespace {

Dialogs* g_current = nullptr;

QMessageBox::Icon IconOf(DialogKind kind) {
    switch (kind) {
    case DialogKind::Information:
        return QMessageBox::Information;
    case DialogKind::Warning:
        return QMessageBox::Warning;
    case DialogKind::Error:
        return QMessageBox::Critical;
    case DialogKind::Confirmation:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

int RunBox(QWidget* parent, const DialogMessage& message, QMessageBox::StandardButtons buttons) {
    QMessageBox box(IconOf(message.kind), message.caption, message.text, buttons, parent);
    box.setTextFormat(Qt::PlainText);
    if (!message.acceptText.isEmpty())
        if (auto* ok = box.button(QMessageBox::Ok)) ok->setText(message.acceptText);
    if (!message.rejectText.isEmpty())
        if (auto* cancel = box.button(QMessageBox::Cancel)) cancel->setText(message.rejectText);
    if (message.topLeft) {
        // A moved dialog keeps its place instead of being centred over its parent.
        box.adjustSize();
        MoveOnScreenOf(&box, parent ? parent->window() : nullptr, *message.topLeft);
    }
    return box.exec();
}

} // namespace

Dialogs& Dialogs::Current() {
    static QtDialogs real;
    return g_current ? *g_current : real;
}

Dialogs* Dialogs::SetCurrent(Dialogs* dialogs) {
    Dialogs* previous = g_current;
    g_current = dialogs;
    return previous;
}

void ShowInformation(QWidget* parent, const QString& caption, const QString& text,
                     std::optional<QPoint> topLeft) {
    Dialogs::Current().Message(parent, {DialogKind::Information, caption, text, topLeft});
}

void ShowWarning(QWidget* parent, const QString& caption, const QString& text,
                 std::optional<QPoint> topLeft) {
    Dialogs::Current().Message(parent, {DialogKind::Warning, caption, text, topLeft});
}

bool ConfirmWarning(QWidget* parent, const QString& caption, const QString& text,
                    std::optional<QPoint> topLeft) {
    return Dialogs::Current().Confirm(parent, {DialogKind::Warning, caption, text, topLeft});
}

void QtDialogs::Message(QWidget* parent, const DialogMessage& message) {
    RunBox(parent, message, QMessageBox::Ok);
}

bool QtDialogs::Confirm(QWidget* parent, const DialogMessage& message) {
    return RunBox(parent, message, QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
}

QString QtDialogs::OpenFile(QWidget* parent, const QString& filter, const QString& caption) {
    return QFileDialog::getOpenFileName(parent, caption, QString(), filter);
}

QString QtDialogs::SaveFile(QWidget* parent, const QString& filter, const QString& proposedName) {
    return QFileDialog::getSaveFileName(parent, QString(), proposedName, filter);
}

QString QtDialogs::OpenEdid(QWidget* parent, const QString& filter,
                            const QList<DisplayChoice>& displays,
                            const QList<ListChoice>& presets) {
    // Qt's own file dialog, which takes a button of ours below its file list
    QFileDialog dialog(parent, QString(), QString(), filter);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    QString answer;
    auto* fromDisplay = new QPushButton(QStringLiteral("From a connected display…"), &dialog);
    fromDisplay->setObjectName(QStringLiteral("Button_FromDisplay"));
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
        grid->addWidget(fromDisplay, grid->rowCount(), 0, 1, grid->columnCount());
    QObject::connect(fromDisplay, &QPushButton::clicked, &dialog, [&] {
        DisplayChooser chooser(displays, &dialog);
        if (chooser.exec() == QDialog::Accepted && !chooser.connector().isEmpty()) {
            answer = kDisplayAnswerPrefix + chooser.connector();
            dialog.reject();
        }
    });
    if (!presets.isEmpty()) {
        auto* fromPreset = new QPushButton(QStringLiteral("Ready-made EDID…"), &dialog);
        fromPreset->setObjectName(QStringLiteral("Button_FromPreset"));
        if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
            grid->addWidget(fromPreset, grid->rowCount(), 0, 1, grid->columnCount());
        QObject::connect(fromPreset, &QPushButton::clicked, &dialog, [&] {
            const QString name =
                ChooseFromList(&dialog, QStringLiteral("Ready-made EDID"), presets);
            if (!name.isEmpty()) {
                answer = kPresetAnswerPrefix + name;
                dialog.reject();
            }
        });
    }
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        return dialog.selectedFiles().constFirst();
    return answer;
}

QString QtDialogs::ChooseFromList(QWidget* parent, const QString& caption,
                                  const QList<ListChoice>& items) {
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("ListChooser"));
    dialog.setWindowTitle(caption);
    auto* layout = new QVBoxLayout(&dialog);
    auto* list = new QListWidget(&dialog);
    list->setObjectName(QStringLiteral("ListBox_Choices"));
    for (const ListChoice& c : items) {
        auto* item = new QListWidgetItem(c.name + QStringLiteral("  ") + c.description);
        item->setData(Qt::UserRole, c.name);
        list->addItem(item);
    }
    if (!items.isEmpty()) list->setCurrentRow(0);
    list->setMinimumWidth(list->sizeHintForColumn(0) + 24);
    layout->addWidget(list);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    QObject::connect(list, &QListWidget::itemDoubleClicked, &dialog, &QDialog::accept);
    if (dialog.exec() != QDialog::Accepted || !list->currentItem()) return QString();
    return list->currentItem()->data(Qt::UserRole).toString();
}

QString QtDialogs::ChooseFolder(QWidget* parent, const QString& caption) {
    return QFileDialog::getExistingDirectory(parent, caption);
}

int QtDialogs::Ask(QWidget* parent, const DialogMessage& message, const QStringList& answers) {
    if (answers.isEmpty()) return -1;
    QMessageBox box(IconOf(message.kind), message.caption, message.text, QMessageBox::NoButton,
                    parent);
    box.setTextFormat(Qt::PlainText);
    QList<QAbstractButton*> buttons;
    for (qsizetype i = 0; i < answers.size(); ++i) {
        // the last answer is the cancel: Escape and the close button choose it
        const bool last = i + 1 == answers.size();
        buttons.append(
            box.addButton(answers[i], last ? QMessageBox::RejectRole : QMessageBox::AcceptRole));
    }
    box.setDefaultButton(qobject_cast<QPushButton*>(buttons.constLast()));
    box.setEscapeButton(buttons.constLast());
    if (message.topLeft) {
        box.adjustSize();
        MoveOnScreenOf(&box, parent ? parent->window() : nullptr, *message.topLeft);
    }
    box.exec();
    const auto chosen = buttons.indexOf(box.clickedButton());
    return chosen < 0 ? static_cast<int>(answers.size() - 1) : static_cast<int>(chosen);
}

} // namespace tavo
