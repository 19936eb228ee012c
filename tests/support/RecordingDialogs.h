#pragma once
// A Dialogs stand-in for tests: records every request and answers at once, so no test ever waits
// on a modal window. Install it for a scope with ScopedDialogs.
#include <QList>
#include <QString>
#include <QStringList>

#include "ui/qt/Dialogs.h"

namespace tavo::test {

class RecordingDialogs : public Dialogs {
public:
    void Message(QWidget* parent, const DialogMessage& message) override {
        parents.append(parent);
        messages.append(message);
    }
    bool Confirm(QWidget* parent, const DialogMessage& message) override {
        parents.append(parent);
        messages.append(message);
        confirmations.append(message);
        if (!confirmAnswers.isEmpty()) return confirmAnswers.takeFirst();
        return confirmAnswer;
    }
    QString OpenFile(QWidget* parent, const QString& filter, const QString& caption) override {
        parents.append(parent);
        openFilters.append(filter);
        openCaptions.append(caption);
        return openAnswer;
    }
    QString SaveFile(QWidget* parent, const QString& filter, const QString& proposedName) override {
        parents.append(parent);
        saveFilters.append(filter);
        proposedNames.append(proposedName);
        return saveAnswer;
    }

    // Answers with openAnswer, as OpenFile does: a file name or "display:CONNECTOR".
    QString OpenEdid(QWidget* parent, const QString& filter, const QList<DisplayChoice>& displays,
                     const QList<ListChoice>& presets) override {
        parents.append(parent);
        openFilters.append(filter);
        offeredDisplays = displays;
        offeredPresets = presets;
        return openAnswer;
    }
    // Answers with listAnswer (a name, or "" to cancel).
    QString ChooseFromList(QWidget* parent, const QString& caption,
                           const QList<ListChoice>& items) override {
        parents.append(parent);
        listCaptions.append(caption);
        offeredChoices = items;
        return listAnswer;
    }
    QString ChooseFolder(QWidget* parent, const QString& caption) override {
        parents.append(parent);
        folderCaptions.append(caption);
        return folderAnswer;
    }

    // Answers with the index of askAnswer among `answers`, or the last one (the cancel) when it
    // is not offered.
    int Ask(QWidget* parent, const DialogMessage& message, const QStringList& answers) override {
        parents.append(parent);
        questions.append(message);
        offeredAnswers.append(answers);
        const auto at = answers.indexOf(askAnswer);
        return at >= 0 ? static_cast<int>(at) : static_cast<int>(answers.size()) - 1;
    }

    QList<DialogMessage> messages;      // every box shown, in order (confirmations too)
    QList<DialogMessage> confirmations; // the OK/Cancel boxes only
    QStringList openFilters, openCaptions, saveFilters, proposedNames;
    bool confirmAnswer = true;
    QList<bool> confirmAnswers; // the answers to the next confirmations, in order, before
                                // confirmAnswer
    QString openAnswer, saveAnswer, folderAnswer; // empty: the operator cancels
    QList<DisplayChoice> offeredDisplays;         // the displays the last OpenEdid offered
    QStringList folderCaptions;                   // every ChooseFolder
    QList<ListChoice> offeredPresets;             // the presets the last OpenEdid offered
    QList<ListChoice> offeredChoices;             // the items the last ChooseFromList offered
    QStringList listCaptions;                     // every ChooseFromList
    QString listAnswer;                           // empty: the operator cancels
    QList<QWidget*> parents;                      // the window each request belonged to
    QList<DialogMessage> questions;               // every Ask, in order (not in `messages`)
    QList<QStringList> offeredAnswers;            // the answers each Ask offered
    // what Ask answers; the default writes as before the question existed
    QString askAnswer = QStringLiteral("Write as it is");
};

class ScopedDialogs {
public:
    explicit ScopedDialogs(Dialogs* dialogs) : previous_(Dialogs::SetCurrent(dialogs)) {}
    ~ScopedDialogs() { Dialogs::SetCurrent(previous_); }
    ScopedDialogs(const ScopedDialogs&) = delete;
    ScopedDialogs& operator=(const ScopedDialogs&) = delete;

private:
    Dialogs* previous_;
};

} // namespace tavo::test
