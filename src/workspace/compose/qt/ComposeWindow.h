#pragma once
// The behaviour of "Compose" (layout: ComposeLayout.{h,cpp}), reached from "EDID Controller": the
// sources in a list (the device's output slots, read when the window opens, then files, ready-made
// EDIDs and this computer's displays), each ticked one composed (workspace/compose/Compose.h) into
// the EDID they all take; the result's analyzer rows, what was left out, and the result in "Hex
// View", saved to a file or uploaded into an input or user slot. Reads and uploads go through the
// controller page's own transfers (its verified write with the slot history, its texts).
//
//   ComposeWindow::Make(controllerPage, mainWindow)->open();
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "edid/EdidImage.h"
#include "workspace/compose/Compose.h"

class QAbstractButton;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QWidget;

namespace tavo {

class EdidControllerPage;

// The left-out list's lines: compose's order, the video formats among them in numeric order.
QStringList LeftOutLines(const std::vector<ComposeOmission>& omissions);

inline constexpr const char* kComposeTooFew = "Tick at least two sources.";
inline constexpr const char* kComposeNoDevice = "No device: the result is not uploaded.";
inline constexpr const char* kComposeNoOutputs = "No device read: add files or displays.";
inline constexpr const char* kComposedName = "Composed EDID.bin";

class ComposeWindow : public QObject {
    Q_OBJECT
public:
    // A new window "Form_Compose" beside the main window of `root`.
    static ComposeWindow* Make(EdidControllerPage& controller, QWidget* root);
    // Attaches to the controls of `window` (built by BuildCompose).
    ComposeWindow(EdidControllerPage& controller, QWidget* window);

    // Reads the device's output slots (replacing the outputs an earlier opening read), then fills
    // the upload list and shows the window once the reads have ended.
    void open();
    // A source at the end of the list, ticked. An EDID that does not validate is refused with
    // its validation message (false).
    // `whole`: every byte of a file of more blocks than `image` holds (its DisplayID timings
    // count).
    bool addSource(const QString& label, const EdidImage& image, bool fromDevice = false,
                   std::vector<std::uint8_t> whole = {});

    // ---- the handlers
    void Button_Compose_AddFileClick();
    void Button_Compose_AddDisplayClick();
    void Button_Compose_RemoveClick();
    void Button_Compose_HexViewClick();
    void Button_Compose_SaveClick();
    void Button_Compose_UploadClick();
    // Composes the ticked sources again and shows the result.
    void recompose();

    QWidget* window() const { return window_; }
    // The last composition; outcome BadInput with kComposeTooFew before two sources are ticked.
    const ComposeResult& result() const { return result_; }
    bool built() const { return result_.outcome == ComposeOutcome::Built; }

private:
    struct Source {
        QString label;
        EdidImage image{};
        bool fromDevice = false;
        std::vector<std::uint8_t> whole{}; // a larger EDID's every byte
    };
    void setMessage(const QString& text, bool failure);
    // The outputs read for open(), then the window shown.
    void opened(const std::vector<std::optional<EdidImage>>& reads);
    void fillAudioFrom();
    void showResult();
    void addFromName(const QString& name, const QString& label);

    EdidControllerPage& controller_;
    QPointer<QWidget> window_;
    QPointer<QListWidget> sources_, leftOut_;
    QPointer<QComboBox> audioFrom_, upload_;
    QPointer<QLineEdit> name_;
    QPointer<QLabel> message_;
    QPointer<QAbstractButton> hexView_, save_, uploadButton_;
    std::vector<Source> list_; // by row of the sources list
    ComposeResult result_;
    bool filling_ = false; // the lists are being refilled: no recompose per change
};

} // namespace tavo
