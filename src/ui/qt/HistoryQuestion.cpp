#include "ui/qt/HistoryQuestion.h"

#include <QPointer>
#include <QWidget>

#include "link/SlotName.h"
#include "ui/qt/Dialogs.h"

namespace tavo {

QString WriteWithoutHistoryQuestion(SlotSelector slot) {
    return QStringLiteral("The EDID in ") + QString::fromStdString(SlotTitle(slot)) +
           QStringLiteral(" cannot be kept in the history: write anyway?");
}

QString ResetWithoutHistoryQuestion(SlotSelector slot) {
    return QStringLiteral("The EDID in ") + QString::fromStdString(SlotTitle(slot)) +
           QStringLiteral(" cannot be kept in the history: reset anyway?");
}

WriteOptions AskBeforeWritingWithoutHistory(QWidget* parent, WriteOptions options) {
    QPointer<QWidget> over(parent);
    options.writeWithoutHistory = [over](SlotSelector slot, const std::string& reason) {
        return ConfirmWarning(over, QStringLiteral("Warning"),
                              WriteWithoutHistoryQuestion(slot) + QStringLiteral("\n") +
                                  QString::fromStdString(reason));
    };
    return options;
}

} // namespace tavo
