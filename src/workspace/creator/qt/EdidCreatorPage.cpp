#include "workspace/creator/qt/EdidCreatorPage.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QFrame>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QWheelEvent>

#include "edid/EdidImage.h"
#include "link/DeviceModel.h"
#include "link/qt/SlotHistory.h"
#include "link/qt/SlotTransfer.h"
#include "link/qt/UartController.h"
#include "ui/qt/Dialogs.h"
#include "ui/qt/Glyphs.h"
#include "ui/qt/HistoryQuestion.h"
#include "ui/qt/SpeedButton.h"
#include "workspace/analysis/qt/CheckQuestion.h"
#include "workspace/analysis/qt/HexView.h"
#include "workspace/creator/CreatorBuild.h"
#include "workspace/creator/CreatorLoss.h"
#include "workspace/creator/CreatorRules.h"
#include "workspace/creator/CreatorTables.h"
#include "workspace/creator/qt/EdidCreatorLayout.h"
#include "workspace/sources/OutputFile.h"
#include "workspace/sources/qt/EdidFile.h"

namespace tavo {

namespace {

using namespace tavo::creator;

const QString kEdidFilter = QStringLiteral("EDID (*.bin)");
const QString kCreatedName = QStringLiteral("Created EDID.bin");
const QString kOpenOk = QStringLiteral("Edid Open OK.\r\n");
const QString kOpenFail = QStringLiteral("Edid Open Fail.\r\n");
const QString kOk = QStringLiteral("Ok.");
const QString kUploadFailed =
    QString::fromLatin1(kWriteFailedText.data(), qsizetype(kWriteFailedText.size()));
const QString kUploading = QStringLiteral("Uploading...");
const QString kDiscardQuestion =
    QStringLiteral("The page holds changes that were not saved.\r\nDiscard them?");
constexpr int kWheelNotch = 120; // one step of an ordinary mouse wheel

QString FromLatin1(const std::string& s) {
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}
QString FromLatin1(std::string_view s) {
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

QColor ColourOf(FontColour c) {
    return c == FontColour::Red ? kCreatorRed : QColor(Qt::black);
}

// The font colour of a label, check box or edit.
void SetFontColour(QWidget* w, const QColor& colour) {
    QPalette p = w->palette();
    if (p.color(QPalette::WindowText) == colour && p.color(QPalette::Text) == colour) return;
    p.setColor(QPalette::WindowText, colour);
    p.setColor(QPalette::Text, colour);
    p.setColor(QPalette::ButtonText, colour);
    w->setPalette(p);
}

// A reason is never clipped: the label wraps it and, while the lines do not fit its height, takes
// a smaller font (down to 70% of its parent's); the whole text is its tooltip as well.
void FitText(QLabel* label) {
    label->setWordWrap(true);
    label->setToolTip(label->text());
    QFont font = label->parentWidget() ? label->parentWidget()->font() : label->font();
    const qreal normal = font.pointSizeF();
    if (normal <= 0) return; // a font sized in pixels: left as it is
    for (qreal size = normal;; size -= 0.5) {
        font.setPointSizeF(size);
        label->setFont(font);
        if (label->heightForWidth(label->width()) <= label->height() || size - 0.5 < normal * 0.7)
            break;
    }
}

bool IsRadio(const QAbstractButton* b) {
    return b->autoExclusive();
}

} // namespace

EdidCreatorPage::EdidCreatorPage(EdidRecord& record, UartController* uart, QObject* parent)
    : PageBase(parent), record_(record), uart_(uart) {}

template <class T> T* EdidCreatorPage::find(const QString& name) const {
    return control<T>(name);
}

void EdidCreatorPage::attach(QWidget* window, QWidget* sheet) {
    attachTo(window, {sheet});
    bindFields();
    label3_ = find<QLabel>(QStringLiteral("Label3"));
    upload_ = find<QAbstractButton>(QStringLiteral("SpeedButton_CopyEdid_Creator"));
    uploadSlot_ = find<QComboBox>(QStringLiteral("ComboBox_EdidSel_Upload"));
    scrollBox_ = find<QScrollArea>(QStringLiteral("ScrollBox1"));
    pageControl2_ = find<QTabWidget>(QStringLiteral("PageControl2"));
    connectButtons();
    followLink();
    // the first page shows
    if (pageControl2_) pageControl2_->setCurrentWidget(find<QWidget>(QStringLiteral("TabSheet5")));
    if (auto* rows = find<QLabel>(QStringLiteral("Label6")))
        rows->setText(QStringLiteral("High\nFront\nCenter\nRear\nLow"));
    setWarningColour(kCreatorRed);
    refresh();
}

// Every check box and edit of the page value, and the panels that fold.
void EdidCreatorPage::bindFields() {
    const auto& checkNames = CreatorPage::CheckNames();
    const auto& editNames = CreatorPage::EditNames();
    checks_.assign(checkNames.size(), nullptr);
    edits_.assign(editNames.size(), nullptr);
    for (std::size_t i = 0; i < checkNames.size(); ++i) {
        auto* b = find<QAbstractButton>(FromLatin1(checkNames[i]));
        checks_[i] = b;
        if (!b) continue;
        const int index = static_cast<int>(i);
        connect(b, &QAbstractButton::toggled, this,
                [this, index](bool on) { onCheckToggled(index, on); });
    }
    for (std::size_t i = 0; i < editNames.size(); ++i) {
        auto* e = find<QLineEdit>(FromLatin1(editNames[i]));
        edits_[i] = e;
        if (!e) continue;
        const int index = static_cast<int>(i);
        connect(e, &QLineEdit::textChanged, this,
                [this, index](const QString& text) { onTextChanged(index, text); });
    }
    audioPanels_.clear();
    for (const auto& panel : kAudioPanels)
        audioPanels_.emplace_back(find<QFrame>(FromLatin1(panel.panel)));
    hdrPanel_ = find<QFrame>(FromLatin1(kHdrPanel));
    warning_ = find<QLabel>(FromLatin1(kWarningLine));
}

// The buttons, the scroll box's wheel and "Audio2"; colour glyphs where the action is available
// now, grey for the upload until a device is connected.
void EdidCreatorPage::connectButtons() {
    const struct {
        const char* name;
        void (EdidCreatorPage::*handler)();
    } buttons[] = {
        {"SpeedButton_OpenEdid_New", &EdidCreatorPage::SpeedButton_OpenEdid_NewClick},
        {"SpeedButton_OpenEdid_Creator", &EdidCreatorPage::SpeedButton_OpenEdid_CreatorClick},
        {"SpeedButton_SaveEdid_Creator", &EdidCreatorPage::SpeedButton_SaveEdid_CreatorClick},
        {"SpeedButton_CopyEdid_Creator", &EdidCreatorPage::SpeedButton_CopyEdid_CreatorClick},
        {"Button_HexView_Creator", &EdidCreatorPage::Button_HexView_CreatorClick},
        {"Button_Presets_Creator", &EdidCreatorPage::Button_Presets_CreatorClick},
    };
    for (const auto& b : buttons)
        if (auto* w = find<QAbstractButton>(QLatin1String(b.name)))
            connect(w, &QAbstractButton::clicked, this, b.handler, Qt::UniqueConnection);
    pages::GiveShortcut(find<QAbstractButton>(QStringLiteral("SpeedButton_OpenEdid_Creator")),
                        QKeySequence::Open);
    pages::GiveShortcut(find<QAbstractButton>(QStringLiteral("SpeedButton_SaveEdid_Creator")),
                        QKeySequence::Save);

    if (scrollBox_) {
        scrollBox_->installEventFilter(this);
        scrollBox_->viewport()->installEventFilter(this);
    }
    // "Audio2" hands the keyboard to its scroll box whenever it is shown
    audio2_ = find<QWidget>(QStringLiteral("TabSheet11"));
    if (audio2_) audio2_->installEventFilter(this);

    const struct {
        const char* button;
        const char* glyph;
    } glyphs[] = {{"SpeedButton_OpenEdid_Creator", "OpenColor"},
                  {"SpeedButton_SaveEdid_Creator", "SaveColor"},
                  {"SpeedButton_OpenEdid_New", "BrandNewColor"},
                  {"SpeedButton_CopyEdid_Creator", "CopyUpGray"}};
    for (const auto& g : glyphs)
        if (auto* b = find<QAbstractButton>(QLatin1String(g.button)))
            SetGlyph(b, QLatin1String(g.glyph));
    if (uploadSlot_)
        connect(uploadSlot_, &QComboBox::currentIndexChanged, this,
                &EdidCreatorPage::ComboBox_EdidSel_UploadChange);
}

// What the link's events mean for the upload: its glyph and its slot list.
void EdidCreatorPage::followLink() {
    if (uart_) {
        UartSession* session = &uart_->session();
        connect(session, &UartSession::deviceFound, this, [this](bool isp) {
            if (!isp && upload_) SetGlyph(upload_, QStringLiteral("CopyUpColor"));
        });
        connect(session, &UartSession::slotListsChanged, this, &EdidCreatorPage::fillUploadList);
        connect(session, &UartSession::disconnected, this, [this] {
            if (upload_) SetGlyph(upload_, QStringLiteral("CopyUpGray"));
            if (uploadSlot_) uploadSlot_->clear();
        });
    }
}

// ---- the upload's slot list

void EdidCreatorPage::fillUploadList() {
    if (!uploadSlot_ || !uart_) return;
    const DeviceRecord& r = uart_->session().devices().Current();
    uploadSlot_->clear();
    for (const std::string& item :
         SlotListItems(SlotList::Upload, r.inputCount, r.outputCount, r.userCount, r.internalCount))
        uploadSlot_->addItem(QString::fromStdString(item));
    uploadSlot_->setCurrentIndex(SlotListInitialPosition(SlotList::Upload, r.inputCount));
}

// a separator can never stay selected: the item above it is taken
void EdidCreatorPage::ComboBox_EdidSel_UploadChange() {
    if (!uploadSlot_) return;
    const int p = uploadSlot_->currentIndex();
    if (p >= 0 && uploadSlot_->itemText(p) == QLatin1String(kSeparatorItem))
        uploadSlot_->setCurrentIndex(p - 1);
}

// ---- binding

void EdidCreatorPage::onCheckToggled(int index, bool checked) {
    if (syncing_) return;
    edited_ = true;
    QAbstractButton* b = checks_[static_cast<std::size_t>(index)];
    // of a radio pair only the button that becomes checked speaks; the page unchecks the other
    if (b && IsRadio(b) && !checked) return;
    ChangeCheck(page_, record_.status, CreatorPage::CheckNames()[static_cast<std::size_t>(index)],
                checked);
    refresh();
}

void EdidCreatorPage::onTextChanged(int index, const QString& text) {
    if (syncing_) return;
    edited_ = true;
    ChangeText(page_, record_.status, CreatorPage::EditNames()[static_cast<std::size_t>(index)],
               text.toLatin1().toStdString());
    refresh();
}

void EdidCreatorPage::refresh() {
    syncing_ = true;
    const auto& checkNames = CreatorPage::CheckNames();
    for (std::size_t i = 0; i < checks_.size(); ++i) {
        QAbstractButton* b = checks_[i];
        if (!b) continue;
        const bool want = page_.Checked(checkNames[i]);
        // a radio button is unchecked by checking its partner
        if (b->isChecked() != want && (want || !IsRadio(b))) b->setChecked(want);
        SetFontColour(b, ColourOf(page_.Colour(checkNames[i])));
    }
    const auto& editNames = CreatorPage::EditNames();
    for (std::size_t i = 0; i < edits_.size(); ++i) {
        QLineEdit* e = edits_[i];
        if (!e) continue;
        const QString want = FromLatin1(page_.Text(editNames[i]));
        if (e->text() != want) e->setText(want);
        SetFontColour(e, ColourOf(page_.Colour(editNames[i])));
    }
    if (warning_ && warning_->text() != FromLatin1(page_.Warning())) {
        warning_->setText(FromLatin1(page_.Warning()));
        FitText(warning_);
    }
    for (std::size_t i = 0; i < audioPanels_.size(); ++i)
        if (QFrame* panel = audioPanels_[i])
            panel->setFixedHeight(AudioPanelOpen(page_, static_cast<int>(i)) ? kAudioPanelOpenHeight
                                                                             : kFoldedPanelHeight);
    if (hdrPanel_)
        hdrPanel_->setFixedHeight(HdrPanelOpen(page_) ? kHdrPanelOpenHeight : kFoldedPanelHeight);
    syncing_ = false;
}

void EdidCreatorPage::setLabel(QLabel* label, const QString& text, const QColor& colour) {
    if (!label) return;
    showStatus(label, text, colour);
    FitText(label);
}

void EdidCreatorPage::setWarningColour(const QColor& colour) {
    warningColour_ = colour;
    if (warning_) SetFontColour(warning_, colour);
}

// ---- shared pieces of the buttons

creator::CalendarDate EdidCreatorPage::today() const {
    return today_ ? today_() : creator::Today();
}

bool EdidCreatorPage::connected() const {
    return uart_ && uart_->session().isConnected();
}

void EdidCreatorPage::send(std::uint16_t command, std::uint16_t length, const std::uint8_t* data) {
    if (connected()) uart_->Uart_SendCommand(kModeSet, command, length, data);
}

// Nothing loaded yet: ask for New or Open for a while, then take it back.
void EdidCreatorPage::showNoTemplate() {
    page_.SetWarning(std::string(kNoTemplateWarning));
    setWarningColour(kCreatorNavy);
    refresh();
    if (!showStatusFor(label3_, FromLatin1(kCreateError), kCreatorRed, kNoTemplateWaitMs)) return;
    setWarningColour(kCreatorRed);
    // a rule that spoke meanwhile keeps its own words
    if (page_.Warning() == kNoTemplateWarning) page_.SetWarning({});
    refresh();
}

// "Create Error!" on the status line for a second.
bool EdidCreatorPage::showCreateError() {
    return showStatusFor(label3_, FromLatin1(kCreateError), kCreatorRed, kCreateErrorWaitMs);
}

// The page could not be built ("... Not A Number!", "Edid Over Size."): the reason on the warning
// line, nothing is saved or uploaded.
bool EdidCreatorPage::showBuildFailure(const std::string& message) {
    page_.SetWarning(message);
    setWarningColour(kCreatorRed);
    refresh();
    return showCreateError();
}

void EdidCreatorPage::showRefusal(const QString& text) {
    (void)showStatusFor(label3_, text, kCreatorRed, kNoTemplateWaitMs);
}

bool EdidCreatorPage::mayDiscardEdits() {
    if (!edited_) return true;
    return ConfirmWarning(dialogParent(), QStringLiteral("Warning"), kDiscardQuestion);
}

QString EdidCreatorPage::redField() const {
    const auto& names = CreatorPage::EditNames();
    for (const std::string& name : names) {
        if (page_.Colour(name) != FontColour::Red) continue;
        // the name the rules' messages use; otherwise "Edit_Creator_Monitor_Name" reads
        // "Monitor Name"
        if (const std::string_view label = FieldLabel(name); label != name)
            return FromLatin1(label);
        QString shown = FromLatin1(name);
        shown.remove(QRegularExpression(QStringLiteral("^Edit_(Creator_)?")));
        shown.replace(QLatin1Char('_'), QLatin1Char(' '));
        return shown;
    }
    return QString();
}

void EdidCreatorPage::loadFile(const QString& path) {
    EdidImage image{};
    std::vector<std::uint8_t> whole;
    const QFileInfo file(path);
    QString refused;
    if (!ReadChosenEdid(path, image, &refused, dialogParent(), &whole)) {
        replaceLog(kOpenFail);
        // say why: the file is missing or closed to us, or the reader refuses its text
        QString why = refused.isEmpty() ? QStringLiteral("it holds more than one EDID.")
                                        : refused + QStringLiteral(".");
        if (path.startsWith(kDisplayAnswerPrefix))
            why = QStringLiteral("the display has no EDID.");
        else if (path.startsWith(kPresetAnswerPrefix))
            why = QStringLiteral("no such ready-made EDID.");
        else if (!file.exists())
            why = QStringLiteral("no such file.");
        else if (!file.isReadable())
            why = QStringLiteral("the file cannot be read.");
        setLabel(label3_, QStringLiteral("Edid Open Fail: ") + why, kCreatorRed);
        return;
    }
    showOpened(image,
               file.exists() ? QStringLiteral("Not an EDID (%1 bytes): ").arg(file.size())
                             : QStringLiteral("Not an EDID: "),
               std::move(whole));
}

void EdidCreatorPage::showOpened(const EdidImage& image, const QString& source,
                                 std::vector<std::uint8_t> whole) {
    // an image that holds no valid EDID is refused: the page keeps what it holds, edits
    // included, and says why
    std::uint16_t status = 0;
    if (!ValidateImage(image, status)) {
        replaceLog(kOpenFail);
        setLabel(label3_,
                 QStringLiteral("Edid Open Fail: ") + source +
                     FromLatin1(ValidationMessage(status)),
                 kCreatorRed);
        return;
    }
    replaceLog(kOpenOk);
    OpenImage(record_, page_, image, today());
    opened_ = image;
    openedWhole_ = std::move(whole);
    edited_ = false;
    refresh();
    followInHexView();
    if (label3_) label3_->clear();
}

void EdidCreatorPage::openPasted(const QByteArray& text) {
    if (busy()) return;
    EdidImage image{};
    std::vector<std::uint8_t> whole;
    QString refused;
    if (!ReadEdidText(text, image, &refused, dialogParent(), &whole)) {
        replaceLog(kOpenFail);
        setLabel(label3_,
                 refused.isEmpty() ? QStringLiteral("Edid Open Fail: the clipboard is empty.")
                                   : QStringLiteral("Edid Open Fail: the clipboard holds ") +
                                         refused + QStringLiteral("."),
                 kCreatorRed);
        return;
    }
    // a refused paste asks nothing: the page stays as it is
    std::uint16_t status = 0;
    if (ValidateImage(image, status) && !mayDiscardEdits()) return;
    showOpened(image, QStringLiteral("Not an EDID: "), std::move(whole));
}

// What the build in the record drops of the opened EDID, asked about; true to go on.
bool EdidCreatorPage::confirmLoss() {
    if (!opened_) return true;
    // an opened EDID of more blocks loses those the build does not write
    const auto lost = openedWhole_.empty() ? BuildChanges(*opened_, record_.image, today())
                                           : BuildChanges(openedWhole_, record_.image, today());
    if (lost.empty()) return true;
    DialogMessage message{DialogKind::Confirmation,
                          QStringLiteral("EDID Creator"),
                          QString::fromStdString(LossQuestion(lost)),
                          std::nullopt,
                          QStringLiteral("Continue"),
                          QStringLiteral("Cancel")};
    return Dialogs::Current().Confirm(dialogParent(), message);
}

// ---- the buttons

void EdidCreatorPage::SpeedButton_OpenEdid_NewClick() {
    if (busy() || !mayDiscardEdits()) return;
    OpenNew(record_, page_, today());
    opened_.reset();
    openedWhole_.clear();
    edited_ = false;
    refresh();
    followInHexView();
}

void EdidCreatorPage::SpeedButton_OpenEdid_CreatorClick() {
    const Operation operation(*this, uart_ ? &uart_->session() : nullptr);
    if (!operation) return;
    if (!mayDiscardEdits()) return;
    send(SYS_STM);
    const QString path = Dialogs::Current().OpenEdid(dialogParent(), kEdidOpenFilter,
                                                     ConnectedDisplays(), PresetChoices());
    if (!operation.alive()) return;
    if (!path.isEmpty()) loadFile(path);
    send(SYS_CTM);
}

void EdidCreatorPage::Button_Presets_CreatorClick() {
    if (busy() || !mayDiscardEdits()) return;
    QPointer<EdidCreatorPage> self(this);
    const QString name = Dialogs::Current().ChooseFromList(
        dialogParent(), QStringLiteral("Ready-made EDID"), PresetChoices());
    if (!self || name.isEmpty()) return;
    loadFile(kPresetAnswerPrefix + name);
}

void EdidCreatorPage::SpeedButton_OpenEdid_AnalysisClick() {
    const std::optional<EdidImage> image = analysedImage_ ? analysedImage_() : std::nullopt;
    if (!image) return;
    std::uint16_t status = 0;
    if (!ValidateImage(*image, status)) return; // an invalid analysis opens nothing
    if (!mayDiscardEdits()) return;
    OpenImage(record_, page_, *image, today());
    opened_ = *image;
    openedWhole_.clear();
    edited_ = false;
    refresh();
    followInHexView();
    emit analysisOpened();
    if (pageControl2_)
        if (auto* sheet = find<QWidget>(QStringLiteral("TabSheet5")))
            pageControl2_->setCurrentWidget(sheet);
}

void EdidCreatorPage::SpeedButton_SaveEdid_CreatorClick() {
    if (busy()) return;
    if (SaveGate(record_.status) == Gate::NoTemplate) {
        showNoTemplate();
        return;
    }
    // a red field would be saved cut or wrong: it is named and nothing is written
    if (const QString red = redField(); !red.isEmpty()) {
        showRefusal(FromLatin1(kCreateError) + QStringLiteral(" Correct ") + red + ".");
        return;
    }
    if (const BuildResult built = Build(page_, record_); !built) {
        showBuildFailure(built.message);
        return;
    }
    if (!confirmLoss()) return;
    // a build that fails the check is saved only as the operator says: repaired, as it is, or not
    const QPointer<PageBase> self(this);
    const CheckedWrite checked =
        AskBeforeWritingFailingEdid(dialogParent(), QStringLiteral("EDID Creator"), record_.image);
    if (!self || !checked) return;
    const EdidImage image = checked.image; // what this save writes, whatever runs meanwhile
    const Operation operation(*this, uart_ ? &uart_->session() : nullptr);
    if (!operation) return;        // another operation holds the link
    if (label3_) label3_->clear(); // the last result belongs to the last action
    send(SYS_STM);
    const QString path = Dialogs::Current().SaveFile(dialogParent(), kEdidFilter, kCreatedName);
    if (!operation.alive()) return;
    if (!path.isEmpty()) {
        // a device node, a pipe or a read-only file is never replaced by a plain file; the file
        // appears whole or not at all; a one-block EDID as its own 128 bytes
        QString why;
        const bool saved = SaveEdidFile(path, image, &why, EdidLength(image));
        if (saved) replaceLog(kOpenOk);
        if (!saved) {
            replaceLog(kOpenFail);
            // the page's words, then which file and why
            setLabel(label3_,
                     QString::fromStdString(SaveFailureText(
                         kOpenFail.trimmed().toStdString(),
                         QFileInfo(path).fileName().toStdString(), why.toStdString())),
                     kCreatorRed);
        } else {
            edited_ = false;
            const bool repaired = checked.choice == WriteChoice::Repaired;
            if (repaired) log(RepairLogText(checked));
            setLabel(label3_,
                     QStringLiteral("Saved to ") + QFileInfo(path).fileName() +
                         (repaired ? QStringLiteral(" (repaired).") : QStringLiteral(".")),
                     Qt::black);
        }
    }
    send(SYS_CTM);
}

void EdidCreatorPage::SpeedButton_CopyEdid_CreatorClick() {
    if (busy()) return; // a second click while an upload runs
    if (!connected()) return;
    switch (UploadGate(record_.status)) {
    case Gate::InputError:
        if (const QString red = redField(); !red.isEmpty())
            showRefusal(FromLatin1(kCreateError) + QStringLiteral(" Correct ") + red + ".");
        else
            showCreateError();
        return;
    case Gate::NoTemplate:
        showNoTemplate();
        return;
    case Gate::Build:
        break;
    }
    bool alive = false;
    {
        const Operation operation(*this, uart_->session());
        if (!operation) return; // another operation holds the link
        alive = uploadPage();
    }
    if (alive) emit uploadFinished();
}

std::optional<SlotSelector> EdidCreatorPage::chosenUploadSlot() const {
    if (!uploadSlot_ || !uart_) return std::nullopt;
    const DeviceRecord& r = uart_->session().devices().Current();
    const auto at = SlotAtPosition(SlotList::Upload, uploadSlot_->currentIndex(), r.inputCount,
                                   r.outputCount, r.userCount, r.internalCount);
    // only input and user slots take an EDID
    if (at && (at->kind() == SlotKind::Input || at->kind() == SlotKind::User)) return at;
    return std::nullopt;
}

bool EdidCreatorPage::uploadPage() {
    const QPointer<PageBase> self(this);
    const BuildResult built = Build(page_, record_);
    if (upload_) upload_->setEnabled(false);
    const std::optional<SlotSelector> slot = chosenUploadSlot();
    if (!built) {
        if (!showBuildFailure(built.message)) return false;
    } else if (!ValidateImage(record_.image, record_.status)) {
        setLabel(label3_, FromLatin1(ValidationMessage(record_.status)), kCreatorRed);
    } else if (!slot) {
        if (!showCreateError()) return false; // no slot chosen (an empty list, the separator)
    } else if (!confirmLoss()) {
        // the operator keeps the EDID on the device as it is
    } else if (const CheckedWrite checked = AskBeforeWritingFailingEdid(
                   dialogParent(), QStringLiteral("EDID Creator"), record_.image);
               !self) {
        return false;
    } else if (!checked) {
        // a build that fails the check, and the operator chose not to write it
    } else {
        if (checked.choice == WriteChoice::Repaired) log(RepairLogText(checked));
        const EdidImage image = checked.image; // what this upload sends, whatever runs meanwhile
        setLabel(label3_, kUploading, Qt::black);
        // judged by what the slot holds afterwards (read back), never by the answers to the SETs
        SlotTransfer& transfers = uart_->transfers(); // the EDID Controller's sequences
        transfers.Start();
        const VerifiedWrite w =
            transfers.WriteVerified(*slot, image, AskBeforeWritingWithoutHistory(dialogParent()));
        if (!self) return false;
        if (!w.ok()) {
            setLabel(label3_, FromLatin1(WriteStatusText(w)), kCreatorRed);
            if (connected()) uart_->session().pollTimer().start();
            if (!wait(kUploadButtonWaitMs)) return false;
            if (upload_) upload_->setEnabled(true);
            return true;
        }
        // the link went before every chunk had gone out with its waits: the slot is not this EDID
        const bool lost = !connected();
        if (lost) setLabel(label3_, kUploadFailed, kCreatorRed);
        if (!wait(kUploadSettleWaitMs)) return false;
        // the verdict once the slot was read back and the upload's wait is over; it stays
        if (!lost) setLabel(label3_, kOk, Qt::black);
        if (connected()) uart_->session().pollTimer().start();
    }
    if (!wait(kUploadButtonWaitMs)) return false;
    if (upload_) upload_->setEnabled(true);
    return true;
}

void EdidCreatorPage::Button_HexView_CreatorClick() {
    if (busy()) return;
    if (SaveGate(record_.status) == Gate::NoTemplate) {
        showNoTemplate();
        return;
    }
    if (const BuildResult built = Build(page_, record_); !built) {
        showBuildFailure(built.message);
        return;
    }
    auto* button = find<QWidget>(QStringLiteral("Button_HexView_Creator"));
    HexView::Of(window())->ShowBytes(record_.image, openedBytes(),
                                     button ? button->window() : window(), hexViewTitle(), false,
                                     true);
}

QString EdidCreatorPage::hexViewTitle() const {
    return opened_ ? QStringLiteral("EDID Creator build beside the opened EDID")
                   : QStringLiteral("EDID Creator build");
}

// A hex view that shows the creator's build follows the page to the EDID it holds now.
void EdidCreatorPage::followInHexView() {
    HexView* view = HexView::Existing(window());
    if (!view) return;
    EdidRecord built = record_;
    if (!Build(page_, built)) return;
    view->FollowCreator(built.image, openedBytes(), hexViewTitle());
}

std::span<const std::uint8_t> EdidCreatorPage::openedBytes() const {
    if (!openedWhole_.empty()) return openedWhole_;
    return opened_ ? std::span<const std::uint8_t>(*opened_) : std::span<const std::uint8_t>();
}

// ---- "Audio2" scrolling

void EdidCreatorPage::ScrollBox1MouseWheelDown() {
    if (scrollBox_)
        scrollBox_->verticalScrollBar()->setValue(scrollBox_->verticalScrollBar()->value() +
                                                  kScrollBoxWheelStep);
}

void EdidCreatorPage::ScrollBox1MouseWheelUp() {
    if (scrollBox_)
        scrollBox_->verticalScrollBar()->setValue(scrollBox_->verticalScrollBar()->value() -
                                                  kScrollBoxWheelStep);
}

void EdidCreatorPage::TabSheet11Show() {
    if (scrollBox_) scrollBox_->setFocus(Qt::OtherFocusReason);
}

bool EdidCreatorPage::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show && audio2_ && watched == audio2_) {
        TabSheet11Show();
        return false;
    }
    if (event->type() == QEvent::Wheel && scrollBox_ &&
        (watched == scrollBox_ || watched == scrollBox_->viewport())) {
        // one step per notch of the wheel; finer wheels add up to a notch first
        wheelRemainder_ += static_cast<QWheelEvent*>(event)->angleDelta().y();
        while (wheelRemainder_ <= -kWheelNotch) {
            ScrollBox1MouseWheelDown();
            wheelRemainder_ += kWheelNotch;
        }
        while (wheelRemainder_ >= kWheelNotch) {
            ScrollBox1MouseWheelUp();
            wheelRemainder_ -= kWheelNotch;
        }
        event->accept();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace tavo
