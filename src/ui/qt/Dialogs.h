#pragma once
// The one door to modal dialogs: message boxes and file choosers. Handlers never open a modal
// window themselves; they ask the current Dialogs instance, which the tests replace with one that
// records the request and answers at once.
#include <QList>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <optional>

class QWidget;

namespace tavo {

enum class DialogKind { Information, Warning, Error, Confirmation };

struct DialogMessage {
    DialogKind kind = DialogKind::Information;
    QString caption;               // window title
    QString text;                  // body, plain text
    std::optional<QPoint> topLeft; // screen position of the box's top-left corner
    // Confirm only: the texts of the two buttons instead of OK and Cancel ("Continue").
    QString acceptText = {};
    QString rejectText = {};
};

// A display connected to this computer, as the "From a connected display…" chooser lists it.
struct DisplayChoice {
    QString connector;   // "card0-HDMI-A-1"
    QString description; // manufacturer and monitor name
};

// An entry of a list to choose from (a ready-made EDID): its name and a line about it.
struct ListChoice {
    QString name;        // "1080p60-stereo"
    QString description; // "1920x1080 60 Hz, 2-channel L-PCM"
};

// The prefix of an OpenEdid answer that names a display's connector instead of a file.
inline const QString kDisplayAnswerPrefix = QStringLiteral("display:");
// The prefix of an OpenEdid answer that names a ready-made EDID instead of a file.
inline const QString kPresetAnswerPrefix = QStringLiteral("preset:");

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // A box with a single OK button.
    virtual void Message(QWidget* parent, const DialogMessage& message) = 0;
    // A box with OK and Cancel; true only when the operator chose OK.
    virtual bool Confirm(QWidget* parent, const DialogMessage& message) = 0;
    // The chosen file name, or an empty string when the operator cancelled. `filter` is a Qt
    // name filter such as "EDID (*.bin)"; `caption` the dialog's title (the toolkit's own when
    // empty).
    virtual QString OpenFile(QWidget* parent, const QString& filter,
                             const QString& caption = QString()) = 0;
    virtual QString SaveFile(QWidget* parent, const QString& filter,
                             const QString& proposedName) = 0;
    // Opening an EDID: the file dialog with "From a connected display…" beside it, which
    // offers `displays` in a small chooser. The chosen file name, "display:" and the chosen
    // connector, or an empty string when the operator cancelled. With `presets`, a button
    // "Ready-made EDID…" beside it offers them (ChooseFromList), answered as "preset:" and the
    // chosen name.
    virtual QString OpenEdid(QWidget* parent, const QString& filter,
                             const QList<DisplayChoice>& displays,
                             const QList<ListChoice>& presets = {}) = 0;
    // One entry of `items` chosen in a small list window titled `caption`: its name, or an
    // empty string when the operator cancelled.
    virtual QString ChooseFromList(QWidget* parent, const QString& caption,
                                   const QList<ListChoice>& items) = 0;
    // A folder (for a device backup), or an empty string when the operator cancelled.
    virtual QString ChooseFolder(QWidget* parent, const QString& caption) = 0;
    // A question with one button per entry of `answers` (the last one the cancel, which closing
    // the box chooses too): the index of the chosen answer.
    virtual int Ask(QWidget* parent, const DialogMessage& message, const QStringList& answers) = 0;

    // The instance every handler uses: the real dialogs unless one was set.
    static Dialogs& Current();
    // Installs `dialogs` (not owned; nullptr restores the real dialogs); returns the previous one.
    static Dialogs* SetCurrent(Dialogs* dialogs);
};

// Shorthands over Dialogs::Current().
void ShowInformation(QWidget* parent, const QString& caption, const QString& text,
                     std::optional<QPoint> topLeft = std::nullopt);
void ShowWarning(QWidget* parent, const QString& caption, const QString& text,
                 std::optional<QPoint> topLeft = std::nullopt);
bool ConfirmWarning(QWidget* parent, const QString& caption, const QString& text,
                    std::optional<QPoint> topLeft = std::nullopt);

// The real dialogs: QMessageBox placed where asked (moved just enough to stay on the screen),
// QFileDialog.
class QtDialogs : public Dialogs {
public:
    void Message(QWidget* parent, const DialogMessage& message) override;
    bool Confirm(QWidget* parent, const DialogMessage& message) override;
    QString OpenFile(QWidget* parent, const QString& filter, const QString& caption) override;
    QString SaveFile(QWidget* parent, const QString& filter, const QString& proposedName) override;
    QString OpenEdid(QWidget* parent, const QString& filter, const QList<DisplayChoice>& displays,
                     const QList<ListChoice>& presets = {}) override;
    QString ChooseFromList(QWidget* parent, const QString& caption,
                           const QList<ListChoice>& items) override;
    QString ChooseFolder(QWidget* parent, const QString& caption) override;
    int Ask(QWidget* parent, const DialogMessage& message, const QStringList& answers) override;
};

} // namespace tavo
