#include "workspace/analysis/qt/CheckQuestion.h"

#include <QStringList>

#include "ui/qt/Dialogs.h"

namespace tavo {

namespace {

QString Text(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

} // namespace

CheckedWrite AskBeforeWritingFailingEdid(QWidget* parent, const QString& caption,
                                         const EdidImage& image) {
    CheckedWrite write;
    write.image = image;
    write.check = CheckBeforeWrite(image);
    if (!write.check.asks()) return write;
    QStringList answers;
    for (std::string_view a : WriteCheckAnswers(write.check))
        answers << Text(a);
    if (answers.size() == 1) { // only the cancel: nothing could be written
        write.choice = WriteChoice::Cancel;
        return write;
    }
    DialogMessage message;
    message.kind = DialogKind::Warning;
    message.caption = caption;
    message.text = QString::fromStdString(WriteCheckQuestion(write.check));
    write.asked = true;
    const int chosen = Dialogs::Current().Ask(parent, message, answers);
    const QString answer = answers.value(chosen, answers.constLast());
    if (answer == Text(kAnswerRepairAndWrite)) {
        write.choice = WriteChoice::Repaired;
        write.image = write.check.repaired;
    } else if (answer == Text(kAnswerWriteAsItIs)) {
        write.choice = WriteChoice::AsItIs;
    } else {
        write.choice = WriteChoice::Cancel;
    }
    return write;
}

QString RepairLogText(const CheckedWrite& write) {
    if (write.choice != WriteChoice::Repaired) return QString();
    QString text = QStringLiteral("Repaired before writing:\r\n");
    for (const std::string& line : write.check.repairChanges)
        text += QStringLiteral("  ") + QString::fromStdString(line) + QStringLiteral("\r\n");
    return text;
}

} // namespace tavo
