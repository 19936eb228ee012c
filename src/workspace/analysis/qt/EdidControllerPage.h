#pragma once
// The "EDID Controller" page and the "EDID Analyzer" window: the four slot lists (a separator
// can never stay selected), file to slot and slot to file, the slot to slot copy, the output EDID
// mode, and the analysis of a slot with its fifteen summary rows.
//
// Finds its controls on the two tab sheets its layouts built (EdidControllerLayout,
// EdidAnalyzerLayout) and follows the link's signals itself: glyphs, slot lists and "Mode Select"
// for a found device, all of it back for a disconnect.
//
//   auto* page = new tavo::EdidControllerPage(state.deviceTable, state.edidTransfer, *form->Uart,
//                                             form);
//   page->setAnalyzerShower([form] { form->ShowAnalyzer(); });
//   page->attach(form, form->TabSheet1, form->TabSheet3);
//
// Every transfer is an operation submitted to the link's DeviceRunner (the operations and command
// sequences `tavo-cli device` runs too); its verdict is shown when its result arrives. The page is
// busy from the click to the verdict: a click meanwhile does nothing. A save or an analysis uses a
// read only when all four chunks of that read arrived with a good CRC.
#include <QColor>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "edid/Check.h"
#include "edid/EdidRecord.h"
#include "link/DeviceModel.h"
#include "link/qt/DeviceRunner.h"
#include "ui/qt/PageBase.h"
#include "workspace/analysis/AnalyzerSummary.h"

class QAbstractButton;
class QComboBox;
class QEvent;
class QLabel;
class QLineEdit;
class QWidget;

namespace tavo {

class CheckDetailsWindow;
class ComposeWindow;
class RepairWindow;
class UartController;

// The copy button stays disabled this long after a copy.
inline constexpr unsigned kCopyDoneMs = 150;
inline constexpr const char* kEdidFilter = "EDID (*.bin)";

// Status texts of `Label2`.
inline constexpr const char* kTextOk = "Ok.";
inline constexpr const char* kTextUploadCanceled = "Upload Edid Canceled.";
inline constexpr const char* kTextSaveFailed = "Save Edid Failed.";
inline constexpr const char* kTextReadOnlySlot = "Read Only Slot, Upload Refused.";
inline constexpr const char* kTextUploadFailed = "Upload Edid Failed.";
// the slot's former EDID could not be kept in the history and the operator chose not to write
inline constexpr const char* kTextNothingWritten = "Nothing Written.";
inline constexpr const char* kTextCopyFailed = "Copy Edid Failed.";
inline constexpr const char* kTextNoAnswer = "No Answer";
// While an operation runs; its result replaces it when it has ended.
inline constexpr const char* kTextUploading = "Uploading...";
inline constexpr const char* kTextSaving = "Saving...";
inline constexpr const char* kTextCopying = "Copying...";
inline constexpr const char* kTextOpenFail = "Edid Open Fail.";
inline const QColor kStatusBlack(0, 0, 0);
inline const QColor kStatusRed(255, 0, 0);

class EdidControllerPage : public PageBase {
    Q_OBJECT
public:
    EdidControllerPage(DeviceTable& devices, EdidRecord& transfer, UartController& uart,
                       QObject* parent = nullptr);
    ~EdidControllerPage() override;

    // Finds the controls on the two sheets and connects them; dialogs belong to `window`.
    void attach(QWidget* window, QWidget* controllerSheet, QWidget* analyzerSheet);
    // The "EDID Information" group, which "EDID Analyzer" hosts.
    QWidget* AnalyzerGroup() const { return analyzerGroup_; }
    // A serial row was selected (after its port descriptors were read again): the copy panel and
    // the rows of "Mode Select" the device has.
    void SerialDeviceSelected(const tavo::DeviceRecord& record, bool isp);
    // Places and shows "EDID Analyzer" with the summary group.
    void setAnalyzerShower(std::function<void()> show) { showAnalyzer_ = std::move(show); }

    // ---- the handlers
    // The three slot lists: a chosen separator line moves the choice to the slot above it.
    void ComboBox_EdidSel_AllChange();
    void ComboBox_EdidSel_SrcChange();
    void ComboBox_EdidSel_DestChange();
    // "Upload": a file (or display, preset) chosen, validated and written into the selected slot
    // by the verified write.
    void SpeedButton_OpenEdidClick();
    // "Save": the selected slot read and written to a file.
    void SpeedButton_SaveEdidClick();
    // "Copy": the source slot read and written into the destination slot.
    void SpeedButton_CopyEdid_Src2DestClick();
    // "Analysis": the selected slot read and shown in "EDID Analyzer".
    void SpeedButton_AnalysisEdidClick();
    // "Hex View...": the analysed EDID's bytes in "Hex View" (nothing without a complete read).
    void Button_HexView_AnalyzerClick();
    // "Details...": the analysed EDID's findings in "Check Details".
    void Button_Check_DetailsClick();
    // "Repair...": the analysed EDID repaired in "Repair", to save or upload.
    void Button_Check_RepairClick();
    // The seventeen mouse-down handlers of "Mode Select" (RadioButton_Set_IntEdid1MouseDown ..
    // RadioButton_Set_UserEdid8MouseDown): one family that differs only in the button.
    void RadioButton_Set_MouseDown(const ModeButton& button);
    // The mode byte a Mode Select button sends for the current device.
    std::uint8_t ModeByte(const ModeButton& button) const;

    // The EDID the analyzer window shows (decoded), kept apart from the transfer image so later
    // transfers do not change it. Its status carries a validation bit when the last analysis had
    // no complete read or an invalid image; nullopt before the first analysis.
    const std::optional<EdidRecord>& AnalysedRecord() const { return analysed_; }
    // The slot list's entry of the last analysis ("" before one).
    QString AnalysedSlotName() const { return analysedSlot_; }
    std::optional<EdidImage> AnalysedImage() const;
    // The check's findings for the analysed EDID (none without a complete read).
    const std::vector<Finding>& AnalysedFindings() const { return findings_; }

    // An operation (open, save, copy, analysis, mode) is running.
    bool Busy() const { return busy(); }

    // ---- the "Compose..." window's transfers, through this page's own
    // "Compose...": the window, its sources the EDIDs of the device's outputs read now.
    void Button_ComposeClick();
    using SlotImages = std::vector<std::optional<EdidImage>>;
    // The slots read as a save reads them, in one operation; `done` gets one entry per slot,
    // nullopt when its read was not complete. Without a device or while an operation runs, `done`
    // gets an empty list at once.
    void readSlots(const std::vector<SlotSelector>& wanted, std::function<void(SlotImages)> done);
    // `image` into `slot` as "Upload" sends a file: validated, then the verified write with the
    // slot's history. `done` gets the text "Upload" would show: "Ok.", "Read Only Slot, Upload
    // Refused.", the validation message or "Upload Edid Failed."; empty when nothing ran (no
    // device, busy). A refusal before the write is given at once.
    void uploadImage(SlotSelector slot, const EdidImage& image,
                     std::function<void(const QString&)> done);
    const DeviceRecord& currentDevice() const { return device(); }

signals:
    // A new analysis is shown (valid or not).
    void analysed(const tavo::EdidRecord& record);
    // "Modify" was clicked: the analysed EDID is to be opened in the creator.
    void modifyRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool connected() const;
    const DeviceRecord& device() const { return devices_.Current(); }
    std::optional<SlotSelector> slotAt(SlotList list, QComboBox* combo) const;
    void separatorRule(SlotList list, QComboBox* combo);
    void setStatus(const QString& text, const QColor& colour);
    void setCopyStatus(const QString& text, const QColor& colour); // the copy row's own line
    void showDeviceGlyphs(bool connected);
    void setModeButtonsEnabled(bool on);
    void showModeButtons(const QString& disable, const QString& enableAndCheck);
    void fillSlotLists();
    void onDisconnected();
    // A result stays until the operator's next action on the page, which forgets it.
    void forgetResults();
    void showSummary(const AnalyzerSummary& summary);
    // The check's verdict line for the analysis; the check's windows follow it.
    void showCheck();
    AnalyzerSummary noAnswerSummary() const;
    // The page can start an operation: a device, the page idle, the link free.
    bool canStart() const;
    // `operation` to the runner, the page busy until `shown` has shown its result.
    void submit(DeviceOperationValue operation, std::function<void(const OperationResult&)> shown);
    // SYS_STM and SYS_CTM alone (a transfer that ended before its first slot), then `shown`.
    void submitBracket(std::function<void()> shown);
    // A file `name` holding more blocks than a slot: the question naming what fitting drops,
    // with Fit and Cancel. nullopt when there is nothing to ask (the file is read as always),
    // false when cancelled, true with the fitted EDID in `image`.
    std::optional<bool> askToFit(const QString& name, EdidImage& image);

    DeviceTable& devices_;
    EdidRecord& transfer_;
    UartController& uart_;
    std::function<void()> showAnalyzer_;
    std::optional<EdidRecord> analysed_;
    bool analysedRead_ = false; // the analysed EDID came from a complete read
    QString analysedSlot_;
    AnalyzerSummary summary_;
    std::vector<Finding> findings_; // the check of the analysed EDID

    QPointer<QComboBox> all_, src_, dest_;
    QPointer<QAbstractButton> open_, save_, copy_, analysis_, openAnalysis_, hexView_;
    QPointer<QAbstractButton> checkDetails_, checkRepair_;
    QPointer<QLabel> label2_, copyStatus_, checkVerdict_;
    QPointer<QLineEdit> path_;
    QPointer<QWidget> analyzerGroup_, panel10_;
    QPointer<ComposeWindow> compose_;      // the "Compose" window's behaviour, made on first use
    QPointer<CheckDetailsWindow> details_; // "Check Details", made on first use
    QPointer<RepairWindow> repair_;        // "Repair", made on first use
};

} // namespace tavo
