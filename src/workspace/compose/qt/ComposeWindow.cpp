#include "workspace/compose/qt/ComposeWindow.h"

#include <QRegularExpression>

#include <algorithm>
#include <tuple>

#include <QAbstractButton>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

#include "edid/Decoder.h"
#include "link/DeviceModel.h"
#include "link/SlotName.h"
#include "ui/qt/Dialogs.h"
#include "ui/qt/DisplayChooser.h"
#include "ui/qt/ShownText.h"
#include "workspace/analysis/qt/EdidControllerPage.h"
#include "workspace/analysis/qt/HexView.h"
#include "workspace/analysis/qt/SummaryView.h"
#include "workspace/compose/qt/ComposeLayout.h"
#include "workspace/sources/OutputFile.h"
#include "workspace/sources/qt/EdidFile.h"

namespace tavo {

namespace {

QString Latin1(std::string_view s) {
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

const QColor kMessageRed(255, 0, 0);

QString MonitorName(const EdidImage& image) {
    EdidRecord record;
    Decode(record, image);
    return ShownLatin1(FieldText(record.monitorName)).trimmed();
}

// The source list's entry: its label, and the monitor name the EDID carries.
QString ItemText(const QString& label, const EdidImage& image) {
    const QString monitor = MonitorName(image);
    return monitor.isEmpty() ? label : label + QStringLiteral("  (") + monitor + QLatin1Char(')');
}

} // namespace

ComposeWindow* ComposeWindow::Make(EdidControllerPage& controller, QWidget* root) {
    QWidget* owner = root ? root->window() : nullptr;
    auto* window = new QWidget(owner, Qt::Window);
    window->setObjectName(QStringLiteral("Form_Compose"));
    pages::BuildCompose(window);
    return new ComposeWindow(controller, window);
}

ComposeWindow::ComposeWindow(EdidControllerPage& controller, QWidget* window)
    : QObject(window), controller_(controller), window_(window) {
    setObjectName(QStringLiteral("ComposeWindow"));
    auto find = [window]<class T>(T*& out, const char* name) {
        out = window->findChild<T*>(QLatin1String(name));
    };
    QListWidget *sources = nullptr, *leftOut = nullptr;
    QComboBox *audio = nullptr, *upload = nullptr;
    find(sources, "ListBox_Compose_Sources");
    find(leftOut, "ListBox_Compose_LeftOut");
    find(audio, "ComboBox_Compose_AudioFrom");
    find(upload, "ComboBox_Compose_Upload");
    sources_ = sources;
    leftOut_ = leftOut;
    audioFrom_ = audio;
    upload_ = upload;
    name_ = window->findChild<QLineEdit*>(QStringLiteral("Edit_Compose_Name"));
    message_ = window->findChild<QLabel*>(QStringLiteral("Label_Compose_Message"));
    hexView_ = window->findChild<QAbstractButton*>(QStringLiteral("Button_Compose_HexView"));
    save_ = window->findChild<QAbstractButton*>(QStringLiteral("Button_Compose_Save"));
    uploadButton_ = window->findChild<QAbstractButton*>(QStringLiteral("Button_Compose_Upload"));

    const struct {
        const char* name;
        void (ComposeWindow::*handler)();
    } buttons[] = {
        {"Button_Compose_AddFile", &ComposeWindow::Button_Compose_AddFileClick},
        {"Button_Compose_AddDisplay", &ComposeWindow::Button_Compose_AddDisplayClick},
        {"Button_Compose_Remove", &ComposeWindow::Button_Compose_RemoveClick},
        {"Button_Compose_HexView", &ComposeWindow::Button_Compose_HexViewClick},
        {"Button_Compose_Save", &ComposeWindow::Button_Compose_SaveClick},
        {"Button_Compose_Upload", &ComposeWindow::Button_Compose_UploadClick},
    };
    for (const auto& b : buttons)
        if (auto* w = window->findChild<QAbstractButton*>(QLatin1String(b.name)))
            connect(w, &QAbstractButton::clicked, this, b.handler);
    if (sources_)
        connect(sources_, &QListWidget::itemChanged, this, [this] {
            if (filling_) return;
            fillAudioFrom();
            recompose();
        });
    if (audioFrom_)
        connect(audioFrom_, &QComboBox::currentIndexChanged, this, [this] {
            if (!filling_) recompose();
        });
    if (name_) connect(name_, &QLineEdit::textChanged, this, &ComposeWindow::recompose);
    if (upload_)
        connect(upload_, &QComboBox::currentIndexChanged, this, [this](int p) {
            // a separator never stays selected: the entry above it is taken
            if (p > 0 && upload_->itemText(p) == QLatin1String(kSeparatorItem))
                upload_->setCurrentIndex(p - 1);
        });
    recompose();
}

void ComposeWindow::setMessage(const QString& text, bool failure) {
    if (!message_) return;
    QPalette p = message_->palette();
    p.setColor(QPalette::WindowText, failure ? kMessageRed : QColor(Qt::black));
    message_->setPalette(p);
    message_->setText(text);
}

void ComposeWindow::open() {
    // the outputs as the device holds them now: those read before go
    filling_ = true;
    for (int row = static_cast<int>(list_.size()) - 1; row >= 0; --row) {
        if (!list_[static_cast<std::size_t>(row)].fromDevice) continue;
        list_.erase(list_.begin() + row);
        delete sources_->takeItem(row);
    }
    filling_ = false;
    const DeviceRecord& device = controller_.currentDevice();
    std::vector<SlotSelector> outputs;
    for (unsigned i = 0; i < device.outputCount; ++i)
        outputs.push_back(SlotSelector::Make(SlotKind::Output, i));
    controller_.readSlots(outputs, [self = QPointer<ComposeWindow>(this)](
                                       const std::vector<std::optional<EdidImage>>& reads) {
        if (self) self->opened(reads);
    });
}

void ComposeWindow::opened(const std::vector<std::optional<EdidImage>>& reads) {
    const DeviceRecord& device = controller_.currentDevice();
    QStringList unread;
    for (std::size_t i = 0; i < reads.size(); ++i) {
        const QString label = QStringLiteral("Output %1").arg(i + 1);
        if (!reads[i] || !addSource(label, *reads[i], true)) unread << label;
    }
    if (upload_) {
        upload_->blockSignals(true);
        upload_->clear();
        for (const std::string& item :
             SlotListItems(SlotList::Upload, device.inputCount, device.outputCount,
                           device.userCount, device.internalCount))
            upload_->addItem(QString::fromStdString(item));
        upload_->setCurrentIndex(SlotListInitialPosition(SlotList::Upload, device.inputCount));
        upload_->blockSignals(false);
    }
    fillAudioFrom();
    recompose();
    if (reads.empty())
        setMessage(QString::fromLatin1(kComposeNoOutputs), true);
    else if (!unread.isEmpty())
        setMessage(unread.join(QStringLiteral(", ")) + QStringLiteral(": no valid EDID read."),
                   true);
    if (window_) {
        if (QWidget* main = window_->parentWidget(); main && !window_->isVisible())
            window_->move(main->frameGeometry().topLeft() + QPoint(40, 40));
        window_->show();
        window_->raise();
        window_->activateWindow();
    }
}

bool ComposeWindow::addSource(const QString& label, const EdidImage& image, bool fromDevice,
                              std::vector<std::uint8_t> whole) {
    std::uint16_t status = 0;
    if (!ValidateImage(image, status)) {
        setMessage(label + QStringLiteral(": ") + Latin1(ValidationMessage(status)), true);
        return false;
    }
    if (!sources_) return false;
    filling_ = true;
    list_.push_back({label, image, fromDevice, std::move(whole)});
    auto* item = new QListWidgetItem(ItemText(label, image));
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Checked);
    // the outputs first, in their order; files and displays after them
    int row = sources_->count();
    if (fromDevice) {
        row = 0;
        while (row < sources_->count() && list_[static_cast<std::size_t>(row)].fromDevice)
            ++row;
        Source moved = std::move(list_.back());
        list_.pop_back();
        list_.insert(list_.begin() + row, std::move(moved));
    }
    sources_->insertItem(row, item);
    filling_ = false;
    fillAudioFrom();
    recompose();
    return true;
}

// "All in common", then each ticked source: the audio of one of them (the sound system's).
void ComposeWindow::fillAudioFrom() {
    if (!audioFrom_ || !sources_) return;
    const int chosen = audioFrom_->currentData().isValid() ? audioFrom_->currentData().toInt() : -1;
    filling_ = true;
    audioFrom_->clear();
    audioFrom_->addItem(QStringLiteral("All in common"), -1);
    int n = 0;
    for (int row = 0; row < sources_->count(); ++row) {
        if (sources_->item(row)->checkState() != Qt::Checked) continue;
        audioFrom_->addItem(QStringLiteral("%1: ").arg(++n) + sources_->item(row)->text(), row);
        if (row == chosen) audioFrom_->setCurrentIndex(audioFrom_->count() - 1);
    }
    filling_ = false;
}

void ComposeWindow::recompose() {
    std::vector<ComposeSource> sources;
    if (sources_)
        for (int row = 0; row < sources_->count(); ++row)
            if (sources_->item(row)->checkState() == Qt::Checked) {
                // what was left out names a source by its number and its monitor name
                const Source& s = list_[static_cast<std::size_t>(row)];
                const QString monitor = MonitorName(s.image);
                sources.push_back({(monitor.isEmpty() ? s.label : monitor).toLatin1().toStdString(),
                                   s.image, s.whole});
            }
    if (sources.size() < static_cast<std::size_t>(kComposeMinSources)) {
        result_ = ComposeResult{};
        result_.message = kComposeTooFew;
    } else {
        ComposeOptions options;
        options.audioFrom = audioFrom_ ? std::max(0, audioFrom_->currentIndex()) : 0;
        if (name_) options.name = name_->text().toLatin1().toStdString();
        result_ = Compose(sources, options);
    }
    showResult();
}

// The left-out lines in compose's order, but the video formats among them ("640x480 60 Hz",
// "1024x768 60 Hz") in numeric order of width, height and rate, in the places they hold.
QStringList LeftOutLines(const std::vector<ComposeOmission>& omissions) {
    static const QRegularExpression format(QStringLiteral("^(\\d+)x(\\d+)\\D*(\\d+(?:\\.\\d+)?)?"));
    struct Format {
        double width, height, rate;
        QString line;
    };
    QStringList lines;
    std::vector<int> places;
    std::vector<Format> formats;
    for (const ComposeOmission& o : omissions) {
        const QString line = QString::fromStdString(o.text);
        const auto m = format.match(QString::fromStdString(o.capability));
        if (m.hasMatch()) {
            places.push_back(static_cast<int>(lines.size()));
            formats.push_back({m.captured(1).toDouble(), m.captured(2).toDouble(),
                               m.captured(3).toDouble(), line});
        }
        lines << line;
    }
    std::stable_sort(formats.begin(), formats.end(), [](const Format& a, const Format& b) {
        return std::tie(a.width, a.height, a.rate) < std::tie(b.width, b.height, b.rate);
    });
    for (std::size_t i = 0; i < places.size(); ++i)
        lines[places[i]] = formats[i].line;
    return lines;
}

void ComposeWindow::showResult() {
    AnalyzerSummary summary;
    for (SummaryText& row : summary.rows)
        row.Assign("-");
    if (built()) {
        EdidRecord record;
        record.image = result_.image;
        summary = AnalyseEdid(record);
    }
    const ShownSummary shown = SummaryAsShown(summary);
    if (window_)
        for (int i = 0; i < kSummaryRowCount; ++i)
            if (auto* label = window_->findChild<QLabel*>(Latin1(kSummaryLabelNames[i]) +
                                                          QStringLiteral("_Compose")))
                label->setText(shown.rows[i]);
    if (leftOut_) {
        leftOut_->clear();
        for (const QString& line : LeftOutLines(result_.omissions))
            leftOut_->addItem(line);
    }
    if (hexView_) hexView_->setEnabled(built());
    if (save_) save_->setEnabled(built());
    if (uploadButton_) uploadButton_->setEnabled(built());
    if (built())
        setMessage(result_.omissions.empty()
                       ? QStringLiteral("Every source takes all of this EDID; nothing left out.")
                       : QStringLiteral("Every source takes this EDID; %1 left out.")
                             .arg(result_.omissions.size()),
                   false);
    else
        setMessage(QString::fromStdString(result_.message), true);
}

void ComposeWindow::addFromName(const QString& name, const QString& label) {
    EdidImage image{};
    QString refused;
    // a file of more blocks is read whole: its base block and first CTA-861 extension, and every
    // byte for the timings its other blocks declare
    std::vector<std::uint8_t> whole;
    if (!ReadChosenEdid(name, image, &refused, nullptr, &whole)) {
        setMessage(QStringLiteral("Edid Open Fail: ") + label +
                       (refused.isEmpty() ? QString() : QStringLiteral(": ") + refused),
                   true);
        return;
    }
    addSource(label, image, false, std::move(whole));
}

void ComposeWindow::Button_Compose_AddFileClick() {
    const QString name = Dialogs::Current().OpenEdid(window_, QString::fromLatin1(kEdidOpenFilter),
                                                     ConnectedDisplays(), PresetChoices());
    if (name.isEmpty()) return;
    QString label = QFileInfo(name).fileName();
    if (name.startsWith(kDisplayAnswerPrefix) || name.startsWith(kPresetAnswerPrefix))
        label = name.section(QLatin1Char(':'), 1);
    addFromName(name, label);
}

void ComposeWindow::Button_Compose_AddDisplayClick() {
    const QList<DisplayChoice> displays = ConnectedDisplays();
    if (displays.isEmpty()) {
        ShowInformation(window_, QStringLiteral("Compose"), QString::fromLatin1(kTextNoDisplay));
        return;
    }
    QList<ListChoice> items;
    for (const DisplayChoice& d : displays)
        items.append({d.connector, d.description});
    const QString connector =
        Dialogs::Current().ChooseFromList(window_, QStringLiteral("Add display"), items);
    if (connector.isEmpty()) return;
    addFromName(kDisplayAnswerPrefix + connector, connector);
}

void ComposeWindow::Button_Compose_RemoveClick() {
    if (!sources_) return;
    const int row = sources_->currentRow();
    if (row < 0 || row >= static_cast<int>(list_.size())) return;
    filling_ = true;
    list_.erase(list_.begin() + row);
    delete sources_->takeItem(row);
    filling_ = false;
    fillAudioFrom();
    recompose();
}

void ComposeWindow::Button_Compose_HexViewClick() {
    if (!built()) return;
    // titled with what it was composed of, never with an earlier view's name
    QStringList sources; // the ticked ones, that were composed
    for (std::size_t i = 0; i < list_.size(); ++i) {
        const QListWidgetItem* item = sources_ ? sources_->item(static_cast<int>(i)) : nullptr;
        if (!item || item->checkState() == Qt::Checked) sources << list_[i].label;
    }
    HexView::Of(window_ ? window_->parentWidget() : nullptr)
        ->Show(result_.image, std::nullopt, window_,
               QStringLiteral("Compose of ") + sources.join(QStringLiteral(", ")));
}

void ComposeWindow::Button_Compose_SaveClick() {
    if (!built()) return;
    const EdidImage image = result_.image; // what this save writes, whatever runs meanwhile
    const QString path = Dialogs::Current().SaveFile(window_, QString::fromLatin1(kEdidFilter),
                                                     QString::fromLatin1(kComposedName));
    if (path.isEmpty()) return;
    // the file appears whole or not at all; a device node or a pipe is never replaced
    QString why;
    if (SaveEdidFile(path, image, &why))
        setMessage(QStringLiteral("Saved to ") + QFileInfo(path).fileName() + QLatin1Char('.'),
                   false);
    else
        setMessage(QString::fromStdString(SaveFailureText(kTextSaveFailed,
                                                          QFileInfo(path).fileName().toStdString(),
                                                          why.toStdString())),
                   true);
}

void ComposeWindow::Button_Compose_UploadClick() {
    if (!built() || !upload_) return;
    const DeviceRecord& device = controller_.currentDevice();
    const auto slot = SlotAtPosition(SlotList::Upload, upload_->currentIndex(), device.inputCount,
                                     device.outputCount, device.userCount, device.internalCount);
    if (!slot) {
        setMessage(QString::fromLatin1(kComposeNoDevice), true);
        return;
    }
    const EdidImage image = result_.image;
    controller_.uploadImage(*slot, image,
                            [self = QPointer<ComposeWindow>(this),
                             slotName = upload_->currentText()](const QString& text) {
                                if (!self) return;
                                if (text.isEmpty())
                                    self->setMessage(QString::fromLatin1(kComposeNoDevice), true);
                                else
                                    self->setMessage(slotName + QStringLiteral(": ") + text,
                                                     text != QLatin1String(kTextOk));
                            });
}

} // namespace tavo
