#pragma once
// The "EDID Creator" pages on the main window: binds the page's controls (found on its tab sheet)
// to a CreatorPage value and the creator's EdidRecord, and does the page's device and file work.
//
// Every change of a control runs the creator's rules on the value (ChangeText / ChangeCheck) and
// the controls are then refreshed from it: check states, texts, font colours, the warning line
// and the heights of the folding panels. Loading an EDID (New, Open, Open from the analyzer) sets
// the value the same way, so the rules run as they do for the operator's input.
//
//   auto* creator = new tavo::EdidCreatorPage(state.creatorRecord, form->Uart, form);
//   creator->setAnalysedImage([...] { return the analysed EDID, or nullopt; });
//   creator->attach(form, form->TabSheet4);
#include <QColor>
#include <QObject>
#include <QPointer>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "edid/EdidRecord.h"
#include "link/DeviceCommand.h"
#include "ui/qt/PageBase.h"
#include "workspace/creator/CreatorLoad.h"
#include "workspace/creator/CreatorPage.h"

class QAbstractButton;
class QComboBox;
class QEvent;
class QFrame;
class QLabel;
class QLineEdit;
class QScrollArea;
class QTabWidget;
class QWidget;

namespace tavo {

class UartController;

// Fixed waits of the creator's buttons, in milliseconds.
inline constexpr unsigned kNoTemplateWaitMs = 2000;
inline constexpr unsigned kCreateErrorWaitMs = 1000;
inline constexpr unsigned kUploadSettleWaitMs = 800;
inline constexpr unsigned kUploadButtonWaitMs = 150;
inline constexpr int kScrollBoxWheelStep = 15;

// The warning line's colours: red for a broken rule, navy blue when asking for a template.
inline const QColor kCreatorRed(0xFF, 0x00, 0x00);
inline const QColor kCreatorNavy(0x00, 0x00, 0x80);

class EdidCreatorPage : public PageBase {
    Q_OBJECT
public:
    // The analysed EDID that "Open from the analyzer" opens; nullopt when the last analysis has
    // no valid EDID.
    using AnalysedImage = std::function<std::optional<EdidImage>()>;

    EdidCreatorPage(EdidRecord& record, UartController* uart, QObject* parent = nullptr);

    // Finds the controls on the page's tab sheet and connects them; dialogs belong to `window`.
    // Shows the page value's start state.
    void attach(QWidget* window, QWidget* sheet);
    void setAnalysedImage(AnalysedImage source) { analysedImage_ = std::move(source); }
    // The date a New EDID takes its year and week from (today by default).
    void setToday(std::function<creator::CalendarDate()> today) { today_ = std::move(today); }

    const creator::CreatorPage& page() const { return page_; }
    EdidRecord& record() { return record_; }
    // A file dialog, a save or an upload is in progress (its waits let other handlers run):
    // busy() of the page base.
    // The page holds edits that no save or upload took yet.
    bool edited() const { return edited_; }

    // ---- the handlers
    // "New": the page filled from the new-EDID template.
    void SpeedButton_OpenEdid_NewClick();
    // "Open": a file, display or preset chosen and loaded into the page.
    void SpeedButton_OpenEdid_CreatorClick();
    // "Modify" on the analyzer window (its page asks for it with modifyRequested).
    void SpeedButton_OpenEdid_AnalysisClick();
    // "Presets...": a ready-made EDID (workspace/sources/Presets.h) opened on the page as Open
    // opens a file.
    void Button_Presets_CreatorClick();
    // "Paste EDID": `text` (hex text, or the bytes of a binary image) opened as Open opens a
    // file; "Edid Open Fail." when it is no EDID that the reader takes.
    void openPasted(const QByteArray& text);
    // "Save": the page built into an EDID and written to a file.
    void SpeedButton_SaveEdid_CreatorClick();
    // "Upload": the page built into an EDID and written into the slot of the upload list.
    void SpeedButton_CopyEdid_CreatorClick();
    // "Hex View...": the build in "Hex View", beside the EDID that was opened (if any).
    void Button_HexView_CreatorClick();
    // The mouse wheel over the fields scrolls them one step down or up.
    void ScrollBox1MouseWheelDown();
    void ScrollBox1MouseWheelUp();
    // The "Audio2" tab is shown: its scrolled fields take the focus, so the wheel scrolls them.
    void TabSheet11Show();
    // The upload list: a chosen separator line moves the choice to the slot above it.
    void ComboBox_EdidSel_UploadChange();

signals:
    // An upload ended (sent, refused or cut short by a disconnect) and its button is back.
    void uploadFinished();
    // The analysed EDID was opened on the page: the analyzer window has done its part.
    void analysisOpened();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    template <class T> T* find(const QString& name) const;
    void bindFields();
    void connectButtons();
    void followLink();
    void onCheckToggled(int index, bool checked);
    void onTextChanged(int index, const QString& text);
    // Shows the page value: every control that differs, the warning line, the panels' heights.
    void refresh();
    void setLabel(QLabel* label, const QString& text, const QColor& colour);
    void setWarningColour(const QColor& colour);
    void showNoTemplate();
    // These two say false when the page went during their wait.
    bool showCreateError();
    bool showBuildFailure(const std::string& message);
    bool connected() const;
    void send(std::uint16_t command, std::uint16_t length = 0, const std::uint8_t* data = nullptr);
    void fillUploadList();
    // The slot the upload list names when it takes an EDID (an input or user slot).
    std::optional<SlotSelector> chosenUploadSlot() const;
    // The upload once the link is held; false when the page went during its waits.
    bool uploadPage();
    creator::CalendarDate today() const;
    void loadFile(const QString& path);
    // Asks before a load replaces edits not yet saved or uploaded; true to go on.
    bool mayDiscardEdits();
    // The first field shown red (its rule is broken), as the operator reads its name; "" none.
    QString redField() const;
    // A refusal or a failure on the status line, red, for a while.
    void showRefusal(const QString& text);

    EdidRecord& record_;
    QPointer<UartController> uart_;
    creator::CreatorPage page_;
    AnalysedImage analysedImage_;
    std::function<creator::CalendarDate()> today_;

    std::vector<QPointer<QAbstractButton>> checks_; // by CreatorPage::IndexOf
    std::vector<QPointer<QLineEdit>> edits_;        // by IndexOf - number of checks
    std::vector<QPointer<QFrame>> audioPanels_;     // by kAudioPanels index
    QPointer<QFrame> hdrPanel_;
    QPointer<QLabel> warning_, label3_;
    QPointer<QAbstractButton> upload_;
    QPointer<QComboBox> uploadSlot_;
    QPointer<QScrollArea> scrollBox_;
    QPointer<QTabWidget> pageControl2_;
    QPointer<QWidget> audio2_; // TabSheet11
    QColor warningColour_ = kCreatorRed;
    int wheelRemainder_ = 0;
    bool syncing_ = false;
    bool edited_ = false; // the operator changed the page since it was last loaded or saved
    // The image last opened from a file or the analyzer (none after New): what a save or an
    // upload compares its build with before it asks "This EDID will lose: ...".
    std::optional<EdidImage> opened_;
    // Every byte of an opened EDID of more than two blocks (`opened_` holds its base block and
    // first CTA-861 extension); empty otherwise.
    std::vector<std::uint8_t> openedWhole_;
    // What the hex view shows beside the build: the opened EDID whole; empty after New.
    std::span<const std::uint8_t> openedBytes() const;
    bool confirmLoss();
    // `image` on the page as the opened EDID; an invalid one is named on Label3 after `source`
    // ("Not an EDID (100 bytes): ...").
    QString hexViewTitle() const;
    void followInHexView();
    void showOpened(const EdidImage& image, const QString& source,
                    std::vector<std::uint8_t> whole = {});
};

} // namespace tavo
