#include "workspace/analysis/qt/EdidControllerPage.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <cerrno>
#include <cstring>

#include "edid/Decoder.h"
#include "edid/EdidBlocks.h"
#include "edid/Fit.h"
#include "edid/WholeFile.h"
#include "link/SlotName.h"
#include "link/qt/UartController.h"
#include "ui/qt/Dialogs.h"
#include "ui/qt/Glyphs.h"
#include "ui/qt/HistoryQuestion.h"
#include "ui/qt/PageBase.h"
#include "ui/qt/ShownText.h"
#include "ui/qt/SpeedButton.h"
#include "workspace/analysis/qt/CheckQuestion.h"
#include "workspace/analysis/qt/CheckWindows.h"
#include "workspace/analysis/qt/HexView.h"
#include "workspace/analysis/qt/SummaryView.h"
#include "workspace/compose/qt/ComposeWindow.h"
#include "workspace/sources/OutputFile.h"
#include "workspace/sources/qt/EdidFile.h"

namespace tavo {
namespace {

// The buttons that need a device: their colour glyph while one is connected, the grey one else.
struct GlyphPair {
    const char* button;
    const char* colour;
    const char* grey;
};
constexpr GlyphPair kDeviceGlyphs[] = {
    {"SpeedButton_OpenEdid", "OpenColor", "OpenGray"},
    {"SpeedButton_SaveEdid", "SaveColor", "SaveGray"},
    {"SpeedButton_CopyEdid_Src2Dest", "CopyLeftColor", "CopyLeftGray"},
    {"SpeedButton_AnalysisEdid", "AnalysisColor", "AnalysisGray"},
};

struct SlotCombo {
    const char* name;
    SlotList list;
};
constexpr SlotCombo kSlotCombos[] = {{"ComboBox_EdidSel_All", SlotList::All},
                                     {"ComboBox_EdidSel_Src", SlotList::Src},
                                     {"ComboBox_EdidSel_Dest", SlotList::Dest}};

// "Mode Select": 65 pixels for one row of buttons, 14 more for every further row.
constexpr int kModeSelectBaseHeight = 65;
constexpr int kModeSelectRowHeight = 14;

QString Latin1(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

const char* const kModeButtonProperty = "tavoModeButton";

} // namespace

EdidControllerPage::EdidControllerPage(DeviceTable& devices, EdidRecord& transfer,
                                       UartController& uart, QObject* parent)
    : PageBase(parent), devices_(devices), transfer_(transfer), uart_(uart) {
    setObjectName(QStringLiteral("EdidControllerPage"));
}

EdidControllerPage::~EdidControllerPage() = default;

void EdidControllerPage::attach(QWidget* window, QWidget* controllerSheet, QWidget* analyzerSheet) {
    attachTo(window, {controllerSheet, analyzerSheet});
    // the summary group moves into "EDID Analyzer": it stays a place of this page's controls
    analyzerGroup_ = control<QWidget>("GroupBox5");
    addRoot(analyzerGroup_);
    all_ = control<QComboBox>("ComboBox_EdidSel_All");
    src_ = control<QComboBox>("ComboBox_EdidSel_Src");
    dest_ = control<QComboBox>("ComboBox_EdidSel_Dest");
    open_ = control<QAbstractButton>("SpeedButton_OpenEdid");
    save_ = control<QAbstractButton>("SpeedButton_SaveEdid");
    copy_ = control<QAbstractButton>("SpeedButton_CopyEdid_Src2Dest");
    analysis_ = control<QAbstractButton>("SpeedButton_AnalysisEdid");
    openAnalysis_ = control<QAbstractButton>("SpeedButton_OpenEdid_Analysis");
    hexView_ = control<QAbstractButton>("Button_HexView_Analyzer");
    checkVerdict_ = control<QLabel>("Label_Check_Verdict");
    checkDetails_ = control<QAbstractButton>("Button_Check_Details");
    checkRepair_ = control<QAbstractButton>("Button_Check_Repair");
    label2_ = control<QLabel>("Label2");
    copyStatus_ = control<QLabel>("Label_Copy_Status");
    path_ = control<QLineEdit>("Edit_Edid_Path");
    panel10_ = control<QWidget>("Panel10");
    if (auto* group = control<QGroupBox>("GroupBox3"))
        group->setTitle(QStringLiteral("Save  /  Upload  /  Analysis"));
    showDeviceGlyphs(false);

    if (all_)
        connect(all_, &QComboBox::currentIndexChanged, this,
                &EdidControllerPage::ComboBox_EdidSel_AllChange);
    if (src_)
        connect(src_, &QComboBox::currentIndexChanged, this,
                &EdidControllerPage::ComboBox_EdidSel_SrcChange);
    if (dest_)
        connect(dest_, &QComboBox::currentIndexChanged, this,
                &EdidControllerPage::ComboBox_EdidSel_DestChange);
    if (open_)
        connect(open_, &QAbstractButton::clicked, this,
                &EdidControllerPage::SpeedButton_OpenEdidClick);
    if (save_)
        connect(save_, &QAbstractButton::clicked, this,
                &EdidControllerPage::SpeedButton_SaveEdidClick);
    if (copy_)
        connect(copy_, &QAbstractButton::clicked, this,
                &EdidControllerPage::SpeedButton_CopyEdid_Src2DestClick);
    if (analysis_)
        connect(analysis_, &QAbstractButton::clicked, this,
                &EdidControllerPage::SpeedButton_AnalysisEdidClick);
    // "Modify": the analysed EDID goes to the creator, whose page opens it
    if (openAnalysis_)
        connect(openAnalysis_, &QAbstractButton::clicked, this,
                &EdidControllerPage::modifyRequested);
    if (hexView_) hexView_->setEnabled(false); // until an analysis has bytes to show
    pages::GiveShortcut(save_, QKeySequence::Save);
    // another page changed what the slots hold (the defaults): what was said of them goes
    connect(&uart_.session(), &UartSession::deviceStateChanged, this, [this] {
        if (!busy()) forgetResults();
    });
    // the operator picking another slot is an action on the page: the last result goes
    for (QComboBox* combo : {all_.data(), src_.data(), dest_.data()})
        if (combo)
            connect(combo, &QComboBox::activated, this, [this] {
                if (!busy()) forgetResults();
            });
    if (hexView_)
        connect(hexView_, &QAbstractButton::clicked, this,
                &EdidControllerPage::Button_HexView_AnalyzerClick);
    if (checkDetails_)
        connect(checkDetails_, &QAbstractButton::clicked, this,
                &EdidControllerPage::Button_Check_DetailsClick);
    if (checkRepair_)
        connect(checkRepair_, &QAbstractButton::clicked, this,
                &EdidControllerPage::Button_Check_RepairClick);
    if (auto* compose = control<QAbstractButton>("Button_Compose"))
        connect(compose, &QAbstractButton::clicked, this, &EdidControllerPage::Button_ComposeClick);
    for (ModeButtonKind kind :
         {ModeButtonKind::Internal, ModeButtonKind::External, ModeButtonKind::User}) {
        for (int n = 1; n <= ModeButtonCount(kind); ++n) {
            const ModeButton b{kind, n};
            QWidget* w = control(QString::fromStdString(ModeButtonName(b)));
            if (!w) continue;
            w->setProperty(kModeButtonProperty,
                           static_cast<int>(kind) * 100 + n); // kind and number, for the filter
            w->installEventFilter(this);
        }
    }
    UartSession* session = &uart_.session();
    connect(session, &UartSession::deviceFound, this, [this](bool isp) {
        if (!isp) showDeviceGlyphs(true);
    });
    connect(session, &UartSession::enableModeButtons, this,
            [this] { setModeButtonsEnabled(true); });
    connect(session, &UartSession::modeButtons, this, &EdidControllerPage::showModeButtons);
    connect(session, &UartSession::slotListsChanged, this, &EdidControllerPage::fillSlotLists);
    connect(session, &UartSession::disconnected, this, &EdidControllerPage::onDisconnected);
}

// ---- what the link's events mean for this page ---------------------------------------------

void EdidControllerPage::showDeviceGlyphs(bool connected) {
    for (const GlyphPair& g : kDeviceGlyphs)
        if (auto* b = control<QAbstractButton>(QLatin1String(g.button)))
            SetGlyph(b, QLatin1String(connected ? g.colour : g.grey));
}

void EdidControllerPage::setModeButtonsEnabled(bool on) {
    const DeviceRecord& record = device();
    for (const ModeButton& b :
         ModeButtonsInUse(record.internalCount, record.outputCount, record.userCount))
        if (auto* w = control<QAbstractButton>(QString::fromStdString(ModeButtonName(b))))
            w->setEnabled(on);
}

void EdidControllerPage::showModeButtons(const QString& disable, const QString& enableAndCheck) {
    if (!disable.isEmpty())
        if (auto* w = control<QAbstractButton>(disable)) w->setEnabled(false);
    if (!enableAndCheck.isEmpty())
        if (auto* w = control<QAbstractButton>(enableAndCheck)) {
            w->setEnabled(true);
            w->setChecked(true);
        }
}

void EdidControllerPage::fillSlotLists() {
    const DeviceRecord& r = device();
    for (const SlotCombo& sc : kSlotCombos) {
        auto* combo = control<QComboBox>(QLatin1String(sc.name));
        if (!combo) continue;
        combo->clear();
        for (const std::string& item :
             SlotListItems(sc.list, r.inputCount, r.outputCount, r.userCount, r.internalCount))
            combo->addItem(QString::fromStdString(item));
        combo->setCurrentIndex(SlotListInitialPosition(sc.list, r.inputCount));
    }
}

void EdidControllerPage::onDisconnected() {
    setModeButtonsEnabled(false);
    showDeviceGlyphs(false);
    for (const SlotCombo& sc : kSlotCombos)
        if (auto* combo = control<QComboBox>(QLatin1String(sc.name))) combo->clear();
}

void EdidControllerPage::SerialDeviceSelected(const DeviceRecord& record, bool isp) {
    if (isp) return; // an ISP device shows only "System"
    if (auto* copyPanel = control<QWidget>("Panel52"))
        copyPanel->setVisible(record.inputs[0].copyPanel != 0);
    // "Mode Select": one row of buttons per slot number in use
    const int internals =
        std::min<int>(record.internalCount, ModeButtonCount(ModeButtonKind::Internal));
    const int users = std::min<int>(record.userCount, ModeButtonCount(ModeButtonKind::User));
    for (ModeButtonKind kind : {ModeButtonKind::Internal, ModeButtonKind::User}) {
        const int shown = kind == ModeButtonKind::Internal ? internals : users;
        for (int n = 1; n <= ModeButtonCount(kind); ++n)
            if (auto* b = control(QString::fromStdString(ModeButtonName({kind, n}))))
                b->setVisible(n <= shown);
    }
    const int rows = std::max(internals, users);
    if (auto* group = control<QWidget>("GroupBox12"))
        group->resize(group->width(),
                      kModeSelectBaseHeight + kModeSelectRowHeight * std::max(0, rows - 1));
    if (auto* header = control<QWidget>("Label30")) header->setVisible(rows > 1);
}

bool EdidControllerPage::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress) {
        const QVariant tag = watched->property(kModeButtonProperty);
        auto* w = qobject_cast<QWidget*>(watched);
        if (tag.isValid() && w && w->isEnabled()) {
            // while an operation runs the press is swallowed: the button must not show a mode
            // that is never sent
            if (busy() || uart_.session().operationRunning()) return true;
            const int v = tag.toInt();
            RadioButton_Set_MouseDown({static_cast<ModeButtonKind>(v / 100), v % 100});
        }
    }
    return QObject::eventFilter(watched, event);
}

// ---- helpers -----------------------------------------------------------------------------------

bool EdidControllerPage::connected() const {
    return uart_.session().isConnected();
}

std::optional<SlotSelector> EdidControllerPage::slotAt(SlotList list, QComboBox* combo) const {
    if (!combo) return std::nullopt;
    const DeviceRecord& r = device();
    return SlotAtPosition(list, combo->currentIndex(), r.inputCount, r.outputCount, r.userCount,
                          r.internalCount);
}

void EdidControllerPage::setStatus(const QString& text, const QColor& colour) {
    showStatus(label2_, text, colour);
}

void EdidControllerPage::setCopyStatus(const QString& text, const QColor& colour) {
    showStatus(copyStatus_ ? copyStatus_.data() : label2_.data(), text, colour);
}

void EdidControllerPage::forgetResults() {
    setStatus(QString(), kStatusBlack);
    setCopyStatus(QString(), kStatusBlack);
}

bool EdidControllerPage::canStart() const {
    return connected() && !busy() && !uart_.session().operationRunning();
}

void EdidControllerPage::submit(DeviceOperationValue operation,
                                std::function<void(const OperationResult&)> shown) {
    setBusy(true);
    // the runner and this page go with the window together: no result arrives after the page
    uart_.runner().submit(std::move(operation),
                          [this, shown = std::move(shown)](const OperationResult& r) {
                              setBusy(false);
                              if (shown) shown(r);
                          });
}

void EdidControllerPage::submitBracket(std::function<void()> shown) {
    submit(ReadSlots{{}, true, false}, [shown = std::move(shown)](const OperationResult&) {
        if (shown) shown();
    });
}

std::uint8_t EdidControllerPage::ModeByte(const ModeButton& button) const {
    return static_cast<std::uint8_t>(
        ButtonToMode(button, device().internalCount, device().outputCount));
}

std::optional<EdidImage> EdidControllerPage::AnalysedImage() const {
    if (!analysed_) return std::nullopt;
    return analysed_->image;
}

// ---- slot lists --------------------------------------------------------------------------------

void EdidControllerPage::separatorRule(SlotList, QComboBox* combo) {
    if (!combo) return;
    const int p = combo->currentIndex();
    if (p >= 0 && combo->itemText(p) == QLatin1String(kSeparatorItem))
        combo->setCurrentIndex(p - 1); // runs the change handler again for the item above
}

void EdidControllerPage::ComboBox_EdidSel_AllChange() {
    if (!all_) return;
    const int p = all_->currentIndex();
    if (p >= 0 && all_->itemText(p) == QLatin1String(kSeparatorItem)) {
        all_->setCurrentIndex(p - 1);
        return;
    }
    const auto slot = slotAt(SlotList::All, all_);
    if (open_) SetGlyph(open_, slot && IsWritableSlot(*slot) ? "OpenColor" : "OpenGray");
}

void EdidControllerPage::ComboBox_EdidSel_SrcChange() {
    separatorRule(SlotList::Src, src_);
}
void EdidControllerPage::ComboBox_EdidSel_DestChange() {
    separatorRule(SlotList::Dest, dest_);
}

// ---- file to slot ------------------------------------------------------------------------------

void EdidControllerPage::SpeedButton_OpenEdidClick() {
    if (!canStart()) return;
    forgetResults();
    const auto slot = slotAt(SlotList::All, all_);
    if (!slot) return;
    if (!IsWritableSlot(*slot)) {
        // outputs and internal slots are read only: say so instead of silently doing nothing
        setStatus(kTextReadOnlySlot, kStatusRed);
        return;
    }
    devices_.Current().selected = *slot;
    // the dialogs first (the page busy meanwhile), then the write as one operation; a refusal
    // still sends the transfer's SYS_STM and SYS_CTM, and its text comes once they went. The page
    // lives as long as the window, so it is still there after a dialog.
    setBusy(true);
    auto refuse = [this](const QString& text) {
        setBusy(false);
        submitBracket([this, text] { setStatus(text, kStatusRed); });
    };

    // a cancel is a cancel: no file name is left over from an earlier dialog
    const QString name = Dialogs::Current().OpenEdid(dialogParent(), kEdidOpenFilter,
                                                     ConnectedDisplays(), PresetChoices());
    if (!name.isEmpty() && path_) path_->setText(name);
    EdidImage image{};
    QString refused;
    // an EDID of more blocks than a slot holds goes up only fitted, once the operator has seen
    // what fitting drops
    const std::optional<bool> fitted = askToFit(name, image);
    if (fitted == false) return refuse(kTextUploadCanceled);
    if (!fitted && !ReadChosenEdid(name, image, &refused)) {
        replaceLog(QStringLiteral("Edid Open Fail.\r\n"));
        // a file the reader refuses says why; a cancelled dialog is a cancelled upload
        return refuse(refused.isEmpty() ? QString(kTextUploadCanceled)
                                        : QStringLiteral("Edid Open Fail: ") + refused);
    }
    replaceLog(QStringLiteral("Edid Open OK.\r\n"));
    // an EDID that fails the check goes up only as the operator says: repaired, as it is, or not
    const CheckedWrite checked =
        AskBeforeWritingFailingEdid(dialogParent(), QStringLiteral("EDID Controller"), image);
    std::uint16_t status = 0;
    if (!checked) {
        // one the uploads could not take says why; a cancelled question is a cancelled upload
        return refuse(ValidateImage(image, status) ? QString(kTextUploadCanceled)
                                                   : Latin1(ValidationMessage(status)));
    }
    if (checked.choice == WriteChoice::Repaired) log(RepairLogText(checked));
    if (!ValidateImage(checked.image, status)) return refuse(Latin1(ValidationMessage(status)));
    setBusy(false);
    setStatus(kTextUploading, kStatusBlack);
    // judged by what the slot holds afterwards (read back), never by the answers to the SETs; a
    // slot whose former EDID cannot be kept is written only when the operator says so (asked
    // from within the write)
    submit(WriteSlot{*slot, checked.image, AskBeforeWritingWithoutHistory(dialogParent())},
           [this](const OperationResult& r) {
               // the verdict once the write and its read-back have ended; it stays until the
               // next action
               const VerifiedWrite w = r.write.value_or(VerifiedWrite{});
               setStatus(Latin1(WriteStatusText(w)), w.ok() ? kStatusBlack : kStatusRed);
           });
}

std::optional<bool> EdidControllerPage::askToFit(const QString& name, EdidImage& image) {
    const std::vector<std::uint8_t> whole = ReadLargeEdidFile(name);
    if (whole.empty()) return std::nullopt;
    const EdidBlocks blocks = ReadEdidBlocks(whole);
    if (blocks.announced <= 2) return std::nullopt;
    const FitOutcome fit = FitEdid(whole);
    if (fit.result != FitResult::Fitted) return std::nullopt; // refused as before
    QString text = QStringLiteral("%1 holds %2 blocks; a slot holds 2. Fitting keeps the base "
                                  "block and CTA-861 block %3 and drops:")
                       .arg(QFileInfo(name).fileName())
                       .arg(blocks.announced)
                       .arg(blocks.FirstCta()->index);
    for (const auto& d : fit.dropped)
        text += QStringLiteral("\n") + QString::fromStdString(d);
    DialogMessage question;
    question.kind = DialogKind::Confirmation;
    question.caption = QStringLiteral("Upload");
    question.text = text;
    question.acceptText = QStringLiteral("Fit");
    question.rejectText = QStringLiteral("Cancel");
    if (!Dialogs::Current().Confirm(dialogParent(), question)) return false;
    image = fit.image;
    return true;
}

void EdidControllerPage::uploadImage(SlotSelector slot, const EdidImage& image,
                                     std::function<void(const QString&)> done) {
    if (!canStart()) return done(QString());
    if (!IsWritableSlot(slot)) return done(kTextReadOnlySlot);
    std::uint16_t status = 0;
    if (!ValidateImage(image, status)) return done(Latin1(ValidationMessage(status)));
    devices_.Current().selected = slot;
    submit(WriteSlot{slot, image, AskBeforeWritingWithoutHistory(dialogParent())},
           [done = std::move(done)](const OperationResult& r) {
               done(Latin1(WriteStatusText(r.write.value_or(VerifiedWrite{}))));
           });
}

void EdidControllerPage::readSlots(const std::vector<SlotSelector>& wanted,
                                   std::function<void(SlotImages)> done) {
    if (!canStart()) return done({});
    submit(ReadSlots{wanted, true, false},
           [n = wanted.size(), done = std::move(done)](const OperationResult& r) {
               SlotImages out(n); // a slot not read (the port went) stays nullopt
               for (std::size_t i = 0; i < n && i < r.reads.size(); ++i)
                   if (r.reads[i].complete()) out[i] = r.reads[i].image;
               done(std::move(out));
           });
}

void EdidControllerPage::Button_ComposeClick() {
    if (busy()) return;
    if (!compose_) compose_ = ComposeWindow::Make(*this, window());
    compose_->open();
}

// ---- slot to file ------------------------------------------------------------------------------

void EdidControllerPage::SpeedButton_SaveEdidClick() {
    if (!canStart()) return;
    forgetResults();
    const auto slot = slotAt(SlotList::All, all_);
    if (!slot) return;
    devices_.Current().selected = *slot;

    setBusy(true);
    const QString name = Dialogs::Current().SaveFile(
        dialogParent(), kEdidFilter, QString::fromStdString(ProposedEdidFileName(*slot)));
    setBusy(false);
    // a cancelled dialog or a file that cannot be written: the transfer's bracket alone
    if (name.isEmpty()) return submitBracket([this] { setStatus(QString(), kStatusBlack); });
    const std::string fileName = QFileInfo(name).fileName().toStdString();
    auto saveFailure = [fileName](const char* pageText, const QString& reason) {
        return QString::fromStdString(SaveFailureText(pageText, fileName, reason.toStdString()));
    };
    // a device node, a pipe or a read-only file is never replaced by a plain file
    const OutputTarget target = ResolveOutputPath(name.toStdString());
    const QString folder = QFileInfo(QString::fromStdString(target.path)).absolutePath();
    if (!target || !QFileInfo(folder).isWritable()) {
        const QString failure = saveFailure(
            kTextOpenFail, !target ? QString::fromStdString(target.problem)
                                   : folder + QStringLiteral(": ") +
                                         QString::fromLocal8Bit(std::strerror(
                                             QFileInfo::exists(folder) ? EACCES : ENOENT)));
        replaceLog(failure + QStringLiteral("\r\n"));
        return submitBracket([this, failure] { setStatus(failure, kStatusRed); });
    }
    replaceLog(QStringLiteral("Edid Open OK.\r\n"));
    setStatus(kTextSaving, kStatusBlack);
    submit(ReadSlots{{*slot}, true, false}, [this, target, saveFailure](const OperationResult& r) {
        const SlotRead read = r.reads.empty() ? SlotRead{} : r.reads.front();
        QString failure;
        std::string why;
        if (!read.complete()) {
            failure = saveFailure(kTextSaveFailed,
                                  QStringLiteral("the device did not send the whole EDID"));
        } else {
            // a valid one-block EDID is saved as its own 128 bytes; anything else whole, as the
            // slot holds it
            std::uint16_t status = 0;
            const std::size_t length =
                ValidateImage(read.image, status) ? EdidLength(read.image) : read.image.size();
            if (!WriteWholeFile( // the file appears only complete, or not at all
                    target.path, {reinterpret_cast<const char*>(read.image.data()), length},
                    target.exists ? int(target.mode) : -1, why))
                failure = saveFailure(kTextSaveFailed, QString::fromLocal8Bit(why));
        }
        // the verdict once the file is written (or not); it stays until the next action
        if (!failure.isEmpty())
            setStatus(failure, kStatusRed);
        else
            setStatus(kTextOk, kStatusBlack);
    });
}

// ---- slot to slot ------------------------------------------------------------------------------

void EdidControllerPage::SpeedButton_CopyEdid_Src2DestClick() {
    if (!canStart()) return;
    const auto source = slotAt(SlotList::Src, src_);
    const auto dest = slotAt(SlotList::Dest, dest_);
    if (!source || !dest) return;
    forgetResults();
    if (copy_) copy_->setEnabled(false);
    setCopyStatus(kTextCopying, kStatusBlack);
    submit(CopySlot{*source, *dest, AskBeforeWritingWithoutHistory(dialogParent())},
           [this](const OperationResult& r) {
               const bool read = !r.reads.empty() && r.reads.front().complete();
               const bool ok = r.write && r.write->ok();
               QString failure = kTextCopyFailed;
               if (read && !r.write)
                   failure =
                       Latin1(ValidationMessage(r.copyStatus)); // an invalid EDID is not copied
               else if (r.write && !ok)
                   failure = Latin1(WriteStatusText(*r.write)); // the destination lacks the source
               // the verdict once the destination was read back; it stays until the next action,
               // and the button comes back after a short while (the page busy until then)
               setCopyStatus(ok ? QString(kTextOk) : failure, ok ? kStatusBlack : kStatusRed);
               setBusy(true);
               QTimer::singleShot(kCopyDoneMs, this, [this] {
                   setBusy(false);
                   if (copy_) copy_->setEnabled(true);
               });
           });
}

// ---- output EDID mode --------------------------------------------------------------------------

void EdidControllerPage::RadioButton_Set_MouseDown(const ModeButton& button) {
    if (!canStart()) return;
    forgetResults();
    if (auto* b = control<QAbstractButton>(QString::fromStdString(ModeButtonName(button))))
        b->setChecked(true);
    submit(SetMode{ModeByte(button), false}, [this](const OperationResult& r) {
        if (!r.modeTaken && connected()) {
            // the device did not take the mode: forget the mode shown, so the next status poll
            // checks the button of the mode the device really has
            devices_.Current().inputs[0].currentMode = kModeUnknown;
        }
    });
}

// ---- analysis ----------------------------------------------------------------------------------

AnalyzerSummary EdidControllerPage::noAnswerSummary() const {
    AnalyzerSummary s;
    for (SummaryText& row : s.rows)
        row.Assign("-");
    s.rows[static_cast<int>(SummaryRow::Header)].Assign(kTextNoAnswer);
    s.valid = false;
    return s;
}

void EdidControllerPage::SpeedButton_AnalysisEdidClick() {
    if (!canStart()) return;
    const auto slot = slotAt(SlotList::All, all_);
    if (!slot) return; // nothing selected: nothing to analyse
    forgetResults();
    analysedSlot_ = all_ ? all_->currentText() : QString();
    // read without the transfer's bracket
    submit(ReadSlots{{*slot}, false, false}, [this](const OperationResult& r) {
        const SlotRead read = r.reads.empty() ? SlotRead{} : r.reads.front();
        EdidRecord record;
        if (read.complete()) {
            record.image = read.image;
            summary_ = AnalyseEdid(record);
        } else {
            // an incomplete read is not analysed: the buffer holds parts of other EDIDs
            summary_ = noAnswerSummary();
            record.image.fill(0);
            ValidateImage(record.image, record.status); // refused by the creator
        }
        analysed_ = record;
        analysedRead_ = read.complete();
        if (hexView_) hexView_->setEnabled(analysedRead_);
        showCheck();
        // an open hex view of the former analysis shows this one (or says it is not of this
        // slot)
        if (auto* view = HexView::Existing(window()))
            view->FollowAnalysis(analysedRead_ ? &analysed_->image : nullptr, analysedSlot_);
        showSummary(summary_);
        emit analysed(*analysed_);
        if (showAnalyzer_) showAnalyzer_();
    });
}

void EdidControllerPage::Button_HexView_AnalyzerClick() {
    if (!analysed_ || !analysedRead_) return; // an incomplete read has no bytes to show
    HexView::Of(window())->Show(analysed_->image, std::nullopt,
                                hexView_ ? hexView_->window() : window(),
                                analysedSlot_ + QStringLiteral(" (analysis)"), true);
}

void EdidControllerPage::showCheck() {
    // only the bytes of a complete read are checked: the buffer of an incomplete one holds parts
    // of other EDIDs
    findings_ = analysed_ && analysedRead_ ? CheckImage(analysed_->image) : std::vector<Finding>{};
    if (checkVerdict_) {
        checkVerdict_->setText(analysedRead_ ? QString::fromStdString(CheckSummaryLine(findings_))
                                             : QString());
        QPalette p = checkVerdict_->palette();
        p.setColor(QPalette::WindowText,
                   VerdictOf(findings_) == Verdict::Fail ? kStatusRed : kStatusBlack);
        checkVerdict_->setPalette(p);
    }
    for (QAbstractButton* b : {checkDetails_.data(), checkRepair_.data()})
        if (b) b->setEnabled(analysedRead_);
    // an open window of the former analysis shows this one, or goes when there is none
    if (details_ && details_->window() && details_->window()->isVisible()) {
        if (analysedRead_)
            details_->show(analysed_->image, findings_, analysedSlot_, nullptr);
        else
            details_->window()->hide();
    }
    if (repair_ && repair_->window() && repair_->window()->isVisible()) {
        if (analysedRead_)
            repair_->open(analysed_->image, analysedSlot_, nullptr);
        else
            repair_->window()->hide();
    }
}

void EdidControllerPage::Button_Check_DetailsClick() {
    if (!analysed_ || !analysedRead_) return;
    if (!details_) details_ = CheckDetailsWindow::Make(window());
    details_->show(analysed_->image, findings_, analysedSlot_,
                   checkDetails_ ? checkDetails_->window() : window());
}

void EdidControllerPage::Button_Check_RepairClick() {
    if (!analysed_ || !analysedRead_ || busy()) return;
    if (!repair_) repair_ = RepairWindow::Make(*this, window());
    repair_->open(analysed_->image, analysedSlot_,
                  checkRepair_ ? checkRepair_->window() : window());
}

void EdidControllerPage::showSummary(const AnalyzerSummary& summary) {
    const ShownSummary shown = SummaryAsShown(summary);
    for (int i = 0; i < kSummaryRowCount; ++i)
        if (auto* label = control<QLabel>(Latin1(kSummaryLabelNames[i])))
            label->setText(shown.rows[i]);
    if (panel10_) panel10_->setFixedHeight(AudioRowHeight(summary, shown, panel10_->height()));
    if (openAnalysis_) SetGlyph(openAnalysis_, shown.glyph);
}

} // namespace tavo
