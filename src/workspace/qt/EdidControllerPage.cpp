#include "workspace/qt/EdidControllerPage.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QFileInfo>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QSaveFile>

#include "edid/Decoder.h"
#include "link/SlotName.h"
#include "link/qt/SlotHistory.h"
#include "link/qt/SlotTransfer.h"
#include "link/qt/UartController.h"
#include "ui/qt/Dialogs.h"
#include "ui/qt/Glyphs.h"
#include "ui/qt/SpeedButton.h"
#include "workspace/OutputFile.h"
#include "workspace/qt/ComposeWindow.h"
#include "workspace/qt/EdidFile.h"
#include "workspace/qt/HexView.h"

namespace tavo {
namespace {

// One operation at a time; the flag drops when the handler returns, however it returns.
class BusyScope {
public:
    explicit BusyScope(bool& flag) : flag_(flag) { flag_ = true; }
    ~BusyScope() { flag_ = false; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    bool& flag_;
};

QString Latin1(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

const char* const kModeButtonProperty = "tavoModeButton";

} // namespace

EdidControllerPage::EdidControllerPage(DeviceTable& devices, EdidRecord& transfer,
                                       UartController& uart, QObject* parent)
    : QObject(parent), devices_(devices), transfer_(transfer), uart_(uart),
      slots_(new SlotTransfer(uart.session(), this)), history_(new SlotHistory) {
    setObjectName(QStringLiteral("EdidControllerPage"));
    slots_->setHistory(history_.get());
}

EdidControllerPage::~EdidControllerPage() = default;

void EdidControllerPage::attach(QWidget* root) {
    root_ = root;
    auto find = [root](const char* name) { return root->findChild<QWidget*>(name); };
    all_ = qobject_cast<QComboBox*>(find("ComboBox_EdidSel_All"));
    src_ = qobject_cast<QComboBox*>(find("ComboBox_EdidSel_Src"));
    dest_ = qobject_cast<QComboBox*>(find("ComboBox_EdidSel_Dest"));
    upload_ = qobject_cast<QComboBox*>(find("ComboBox_EdidSel_Upload"));
    open_ = qobject_cast<QAbstractButton*>(find("SpeedButton_OpenEdid"));
    save_ = qobject_cast<QAbstractButton*>(find("SpeedButton_SaveEdid"));
    copy_ = qobject_cast<QAbstractButton*>(find("SpeedButton_CopyEdid_Src2Dest"));
    analysis_ = qobject_cast<QAbstractButton*>(find("SpeedButton_AnalysisEdid"));
    openAnalysis_ = qobject_cast<QAbstractButton*>(find("SpeedButton_OpenEdid_Analysis"));
    search_ = qobject_cast<QAbstractButton*>(find("BitBtn_Search"));
    hexView_ = qobject_cast<QAbstractButton*>(find("Button_HexView_Analyzer"));
    label2_ = qobject_cast<QLabel*>(find("Label2"));
    copyStatus_ = qobject_cast<QLabel*>(find("Label_Copy_Status"));
    path_ = qobject_cast<QLineEdit*>(find("Edit_Edid_Path"));
    memo_ = qobject_cast<QPlainTextEdit*>(find("Memo_Debug"));
    panel10_ = find("Panel10");

    if (all_)
        connect(all_, &QComboBox::currentIndexChanged, this,
                &EdidControllerPage::ComboBox_EdidSel_AllChange);
    if (src_)
        connect(src_, &QComboBox::currentIndexChanged, this,
                &EdidControllerPage::ComboBox_EdidSel_SrcChange);
    if (dest_)
        connect(dest_, &QComboBox::currentIndexChanged, this,
                &EdidControllerPage::ComboBox_EdidSel_DestChange);
    if (upload_)
        connect(upload_, &QComboBox::currentIndexChanged, this,
                &EdidControllerPage::ComboBox_EdidSel_UploadChange);
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
    if (hexView_) hexView_->setEnabled(false); // until an analysis has bytes to show
    pages::GiveShortcut(save_, QKeySequence::Save);
    // the operator picking another slot is an action on the page: the last result goes
    for (QComboBox* combo : {all_.data(), src_.data(), dest_.data()})
        if (combo)
            connect(combo, &QComboBox::activated, this, [this] {
                if (!busy_) forgetResults();
            });
    if (hexView_)
        connect(hexView_, &QAbstractButton::clicked, this,
                &EdidControllerPage::Button_HexView_AnalyzerClick);
    if (auto* compose = qobject_cast<QAbstractButton*>(find("Button_Compose")))
        connect(compose, &QAbstractButton::clicked, this, &EdidControllerPage::Button_ComposeClick);
    for (ModeButtonKind kind :
         {ModeButtonKind::Internal, ModeButtonKind::External, ModeButtonKind::User}) {
        for (int n = 1; n <= ModeButtonCount(kind); ++n) {
            const ModeButton b{kind, n};
            QWidget* w = find(ModeButtonName(b).c_str());
            if (!w) continue;
            w->setProperty(kModeButtonProperty,
                           static_cast<int>(kind) * 100 + n); // kind and number, for the filter
            w->installEventFilter(this);
        }
    }
}

bool EdidControllerPage::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress) {
        const QVariant tag = watched->property(kModeButtonProperty);
        auto* w = qobject_cast<QWidget*>(watched);
        if (tag.isValid() && w && w->isEnabled()) {
            // while an operation runs the press is swallowed: the button must not show a mode
            // that is never sent
            if (busy_ || uart_.session().operationRunning()) return true;
            const int v = tag.toInt();
            RadioButton_Set_MouseDown({static_cast<ModeButtonKind>(v / 100), v % 100});
        }
    }
    return QObject::eventFilter(watched, event);
}

// ---- helpers -----------------------------------------------------------------------------------

bool EdidControllerPage::connected() const {
    // no device while "Search" is enabled
    if (search_ && search_->isEnabled()) return false;
    return uart_.session().isConnected();
}

std::optional<SlotSelector> EdidControllerPage::slotAt(SlotList list, QComboBox* combo) const {
    if (!combo) return std::nullopt;
    const DeviceRecord& r = device();
    return SlotAtPosition(list, combo->currentIndex(), r.inputCount, r.outputCount, r.userCount,
                          r.internalCount);
}

void EdidControllerPage::setStatus(const QString& text, const QColor& colour) {
    if (!label2_) return;
    QPalette p = label2_->palette();
    p.setColor(QPalette::WindowText, colour);
    label2_->setPalette(p);
    label2_->setText(text);
}

void EdidControllerPage::setCopyStatus(const QString& text, const QColor& colour) {
    QLabel* label = copyStatus_ ? copyStatus_.data() : label2_.data();
    if (!label) return;
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, colour);
    label->setPalette(p);
    label->setText(text);
}

void EdidControllerPage::forgetResults() {
    setStatus(QString(), kStatusBlack);
    setCopyStatus(QString(), kStatusBlack);
}

void EdidControllerPage::setDebugText(const QString& text) {
    if (memo_) memo_->setPlainText(text);
}

void EdidControllerPage::setPollOn(bool on) {
    QTimer& poll = uart_.session().pollTimer();
    if (on && uart_.session().isConnected())
        poll.start();
    else
        poll.stop();
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
void EdidControllerPage::ComboBox_EdidSel_UploadChange() {
    separatorRule(SlotList::Upload, upload_);
}

// ---- file to slot ------------------------------------------------------------------------------

void EdidControllerPage::SpeedButton_OpenEdidClick() {
    if (busy_ || !connected()) return;
    const DeviceOperation operation(uart_.session());
    if (!operation) return;
    BusyScope busy(busy_);
    forgetResults();
    const auto slot = slotAt(SlotList::All, all_);
    if (!slot) return;
    if (!IsWritableSlot(*slot)) {
        // outputs and internal slots are read only: say so instead of silently doing nothing
        setStatus(kTextReadOnlySlot, kStatusRed);
        return;
    }
    devices_.Current().selected = *slot;
    slots_->Begin();

    // a cancel is a cancel: no file name is left over from an earlier dialog
    const QString name =
        Dialogs::Current().OpenEdid(root_, kEdidOpenFilter, ConnectedDisplays(), PresetChoices());
    if (!name.isEmpty() && path_) path_->setText(name);
    EdidImage image{};
    QString refused;
    if (!ReadEdidFile(name, image, &refused)) {
        setDebugText(QStringLiteral("Edid Open Fail.\r\n"));
        // a file the reader refuses says why; a cancelled dialog is a cancelled upload
        setStatus(refused.isEmpty() ? QString(kTextUploadCanceled)
                                    : QStringLiteral("Edid Open Fail: ") + refused,
                  kStatusRed);
        slots_->End();
        return;
    }
    setDebugText(QStringLiteral("Edid Open OK.\r\n"));
    transfer_.image = image;
    if (!ValidateImage(transfer_.image, transfer_.status)) {
        setStatus(Latin1(ValidationMessage(transfer_.status)), kStatusRed);
        slots_->End();
        return;
    }
    setStatus(kTextUploading, kStatusBlack);
    const bool ok = writeVerified(*slot, transfer_.image);
    slots_->End();
    // the verdict once the write and its read-back have ended; it stays until the next action
    if (!ok)
        setStatus(kTextUploadFailed, kStatusRed);
    else
        setStatus(kTextOk, kStatusBlack);
}

bool EdidControllerPage::writeVerified(SlotSelector slot, const EdidImage& image) {
    setPollOn(false);
    // judged by what the slot holds afterwards (read back), never by the answers to the SETs
    const VerifiedWrite w = slots_->WriteVerified(slot, image);
    setPollOn(true);
    return w.ok();
}

QString EdidControllerPage::uploadImage(SlotSelector slot, const EdidImage& image) {
    if (busy_ || !connected()) return QString();
    const DeviceOperation operation(uart_.session());
    if (!operation) return QString();
    BusyScope busy(busy_);
    if (!IsWritableSlot(slot)) return kTextReadOnlySlot;
    std::uint16_t status = 0;
    if (!ValidateImage(image, status)) return Latin1(ValidationMessage(status));
    devices_.Current().selected = slot;
    slots_->Begin();
    const bool ok = writeVerified(slot, image);
    slots_->End();
    return ok ? kTextOk : kTextUploadFailed;
}

std::vector<std::optional<EdidImage>>
EdidControllerPage::readSlots(const std::vector<SlotSelector>& wanted) {
    if (busy_ || !connected()) return {};
    const DeviceOperation operation(uart_.session());
    if (!operation) return {};
    BusyScope busy(busy_);
    std::vector<std::optional<EdidImage>> out(wanted.size());
    setPollOn(false);
    slots_->Begin();
    for (std::size_t i = 0; i < wanted.size() && !slots_->lost(); ++i) {
        const SlotRead r = slots_->Read(wanted[i]);
        if (r.complete()) out[i] = r.image;
    }
    slots_->End();
    setPollOn(true);
    return out;
}

void EdidControllerPage::Button_ComposeClick() {
    if (busy_) return;
    if (!compose_) compose_ = ComposeWindow::Make(*this, root_);
    compose_->open();
}

// ---- slot to file ------------------------------------------------------------------------------

void EdidControllerPage::SpeedButton_SaveEdidClick() {
    if (busy_ || !connected()) return;
    const DeviceOperation operation(uart_.session());
    if (!operation) return;
    BusyScope busy(busy_);
    forgetResults();
    const auto slot = slotAt(SlotList::All, all_);
    if (!slot) return;
    setPollOn(false);
    devices_.Current().selected = *slot;
    slots_->Begin();

    const QString name = Dialogs::Current().SaveFile(
        root_, kEdidFilter, QString::fromStdString(ProposedEdidFileName(*slot)));
    QString result, failure;
    if (!name.isEmpty()) {
        const QByteArray fileName = QFileInfo(name).fileName().toUtf8();
        auto saveFailure = [&](const char* pageText, const QString& reason) {
            return QString::fromStdString(
                SaveFailureText(pageText, fileName.toStdString(), reason.toStdString()));
        };
        // the file appears only complete, through a temporary file and a rename
        QSaveFile file(name);
        // a device node or a pipe is never replaced by a plain file
        const OutputTarget target = ResolveOutputPath(name.toStdString());
        if (!target || !file.open(QIODevice::WriteOnly)) {
            setDebugText(QStringLiteral("Edid Open Fail.\r\n"));
            failure = saveFailure(kTextOpenFail, !target ? QString::fromStdString(target.problem)
                                                         : file.errorString());
        } else {
            setDebugText(QStringLiteral("Edid Open OK.\r\n"));
            setStatus(kTextSaving, kStatusBlack);
            const SlotRead r = slots_->Read(*slot);
            if (!r.complete()) {
                file.cancelWriting();
                failure = saveFailure(kTextSaveFailed,
                                      QStringLiteral("the device did not send the whole EDID"));
            } else {
                file.write(reinterpret_cast<const char*>(r.image.data()),
                           static_cast<qint64>(r.image.size()));
                if (file.commit())
                    result = kTextOk;
                else
                    failure = saveFailure(kTextSaveFailed, file.errorString());
            }
        }
    }
    slots_->End();
    setPollOn(true);
    // the verdict once the file is written (or not); it stays until the next action
    if (!failure.isEmpty())
        setStatus(failure, kStatusRed);
    else
        setStatus(result, kStatusBlack);
}

// ---- slot to slot ------------------------------------------------------------------------------

void EdidControllerPage::SpeedButton_CopyEdid_Src2DestClick() {
    if (busy_ || !connected()) return;
    const DeviceOperation operation(uart_.session());
    if (!operation) return;
    BusyScope busy(busy_);
    const auto source = slotAt(SlotList::Src, src_);
    const auto dest = slotAt(SlotList::Dest, dest_);
    if (!source || !dest) return;
    forgetResults();
    if (copy_) copy_->setEnabled(false);
    setCopyStatus(kTextCopying, kStatusBlack);
    setPollOn(false);
    slots_->Begin();
    const SlotRead r = slots_->Read(*source);
    bool ok = false;
    QString failure = kTextCopyFailed;
    if (r.complete()) {
        std::uint16_t status = 0;
        if (!ValidateImage(r.image, status)) {
            failure = Latin1(ValidationMessage(status)); // an invalid EDID is not copied
        } else {
            const VerifiedWrite w = slots_->WriteVerified(*dest, r.image);
            ok = w.ok();
            if (!ok) failure = kTextUploadFailed; // the destination does not hold the source
        }
    }
    slots_->End();
    setPollOn(true);
    // the verdict once the destination was read back; it stays until the next action
    setCopyStatus(ok ? QString(kTextOk) : failure, ok ? kStatusBlack : kStatusRed);
    UartSession::Uart_Wait(kCopyDoneMs);
    if (copy_) copy_->setEnabled(true);
}

// ---- output EDID mode --------------------------------------------------------------------------

void EdidControllerPage::RadioButton_Set_MouseDown(const ModeButton& button) {
    if (busy_ || !connected()) return;
    const DeviceOperation operation(uart_.session());
    if (!operation) return;
    BusyScope busy(busy_);
    forgetResults();
    if (root_)
        if (auto* b =
                root_->findChild<QAbstractButton*>(QString::fromStdString(ModeButtonName(button))))
            b->setChecked(true);
    slots_->Start();
    if (!slots_->SetMode(ModeByte(button)) && connected()) {
        // the device did not take the mode: forget the mode shown, so the next status poll
        // checks the button of the mode the device really has
        devices_.Current().inputs[0].currentMode = kModeUnknown;
    }
}

// ---- analysis ----------------------------------------------------------------------------------

AnalyzerSummary EdidControllerPage::noAnswerSummary() const {
    AnalyzerSummary s;
    for (SummaryText& row : s.rows)
        row.Assign("-");
    s.rows[static_cast<int>(SummaryRow::Header)].Assign(kTextNoAnswer);
    s.audioPanelHeight = summary_.audioPanelHeight;
    s.valid = false;
    return s;
}

void EdidControllerPage::SpeedButton_AnalysisEdidClick() {
    if (busy_ || !connected()) return;
    const DeviceOperation operation(uart_.session());
    if (!operation) return;
    BusyScope busy(busy_);
    const auto slot = slotAt(SlotList::All, all_);
    if (!slot) return; // nothing selected: nothing to analyse
    forgetResults();
    analysedSlot_ = all_ ? all_->currentText() : QString();
    slots_->Start();
    setPollOn(false);
    const SlotRead r = slots_->Read(*slot);
    setPollOn(true);
    EdidRecord record;
    if (r.complete()) {
        transfer_.image = r.image;
        const int height = panel10_ ? panel10_->height() : kAudioPanelHeight;
        summary_ = ShowAnalysis(transfer_, height);
        record = transfer_;
    } else {
        // an incomplete read is not analysed: the buffer holds parts of other EDIDs
        summary_ = noAnswerSummary();
        record.image.fill(0);
        ValidateImage(record.image, record.status); // refused by the creator
    }
    analysed_ = record;
    analysedRead_ = r.complete();
    if (hexView_) hexView_->setEnabled(analysedRead_);
    // an open hex view of the former analysis shows this one (or says it is not of this slot)
    if (auto* view = HexView::Existing(root_))
        view->FollowAnalysis(analysedRead_ ? &analysed_->image : nullptr, analysedSlot_);
    showSummary(summary_);
    emit analysed(*analysed_);
    if (showAnalyzer_) showAnalyzer_();
}

void EdidControllerPage::Button_HexView_AnalyzerClick() {
    if (!analysed_ || !analysedRead_) return; // an incomplete read has no bytes to show
    HexView::Of(root_)->Show(analysed_->image, std::nullopt,
                             hexView_ ? hexView_->window() : root_.data(),
                             analysedSlot_ + QStringLiteral(" (analysis)"), true);
}

void EdidControllerPage::showSummary(const AnalyzerSummary& summary) {
    if (!root_) return;
    for (int i = 0; i < kSummaryRowCount; ++i) {
        auto* label = root_->findChild<QLabel*>(Latin1(kSummaryLabelNames[i]));
        if (!label) continue;
        QString text = Latin1(summary.rows[i].View());
        text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        label->setText(text);
    }
    if (panel10_) panel10_->setFixedHeight(summary.audioPanelHeight);
    if (openAnalysis_) SetGlyph(openAnalysis_, Latin1(summary.Glyph()));
}

} // namespace tavo
