#include "workspace/analysis/qt/CheckWindows.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QTableWidget>
#include <algorithm>

#include "link/DeviceModel.h"
#include "link/SlotName.h"
#include "ui/qt/Dialogs.h"
#include "ui/qt/ScreenPlacement.h"
#include "workspace/analysis/qt/CheckLayout.h"
#include "workspace/analysis/qt/EdidControllerPage.h"
#include "workspace/analysis/qt/HexView.h"
#include "workspace/sources/OutputFile.h"
#include "workspace/sources/qt/EdidFile.h"

namespace tavo {

namespace {

constexpr int kBesideGap = 8;
const QColor kRed(255, 0, 0);

QString Text(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// "2 failures, 1 warning" of "Check: 2 failures, 1 warning".
QString VerdictWords(const std::vector<Finding>& findings) {
    QString line = QString::fromStdString(CheckSummaryLine(findings));
    if (line.startsWith(QLatin1String("Check: "))) line.remove(0, 7);
    return line;
}

// Shown and raised; one that follows an analysis (no `near`) while open keeps its place in the
// stack of windows.
void ShowWindow(QWidget* window, QWidget* near) {
    if (!window || (!near && window->isVisible())) return;
    if (!window->isVisible() && near) PlaceBesideOnScreen(window, near->window(), kBesideGap);
    window->show();
    window->raise();
    window->activateWindow();
}

EdidImage ImageOf(const std::vector<std::uint8_t>& bytes, const EdidImage& otherwise) {
    if (bytes.size() != kEdidSize) return otherwise;
    EdidImage image{};
    std::copy(bytes.begin(), bytes.end(), image.begin());
    return image;
}

} // namespace

// ---- "Check Details" ---------------------------------------------------------------------------

CheckDetailsWindow* CheckDetailsWindow::Make(QWidget* root) {
    QWidget* owner = root ? root->window() : nullptr;
    auto* window = new QWidget(owner, Qt::Window);
    window->setObjectName(QStringLiteral("Form_CheckDetails"));
    pages::BuildCheckDetails(window);
    return new CheckDetailsWindow(window);
}

CheckDetailsWindow::CheckDetailsWindow(QWidget* window) : QObject(window), window_(window) {
    setObjectName(QStringLiteral("CheckDetailsWindow"));
    table_ = window->findChild<QTableWidget*>(QStringLiteral("TableWidget_Check_Findings"));
    line_ = window->findChild<QLabel*>(QStringLiteral("Label_Check_Details"));
    if (table_)
        connect(table_, &QTableWidget::itemSelectionChanged, this, [this] {
            const auto rows = table_->selectionModel()->selectedRows();
            if (!rows.isEmpty()) showFinding(rows.constFirst().row());
        });
}

void CheckDetailsWindow::show(const EdidImage& image, const std::vector<Finding>& findings,
                              const QString& source, QWidget* near) {
    image_ = image;
    findings_ = findings;
    source_ = source;
    if (window_)
        window_->setWindowTitle(source.isEmpty() ? QStringLiteral("Check Details")
                                                 : QStringLiteral("Check Details - ") + source);
    if (line_) line_->setText(QString::fromStdString(CheckSummaryLine(findings)));
    if (table_) {
        const QSignalBlocker quiet(table_);
        table_->clearContents();
        table_->setRowCount(static_cast<int>(findings.size()));
        for (int row = 0; row < static_cast<int>(findings.size()); ++row) {
            const Finding& f = findings[static_cast<std::size_t>(row)];
            const QString part = f.length > 0 ? QStringLiteral("%1 (offset %2, %3 bytes)")
                                                    .arg(QString::fromStdString(f.part))
                                                    .arg(f.offset)
                                                    .arg(f.length)
                                              : QString::fromStdString(f.part);
            const QStringList cells = {Text(SeverityName(f.severity)),
                                       QString::fromStdString(f.rule), part,
                                       QString::fromStdString(f.text)};
            for (int column = 0; column < cells.size(); ++column) {
                auto* item = new QTableWidgetItem(cells[column]);
                item->setToolTip(QString::fromStdString(FindingText(f)));
                if (f.severity == Severity::Failure && column == 0) item->setForeground(kRed);
                table_->setItem(row, column, item);
            }
        }
        table_->resizeColumnsToContents();
        table_->resizeRowsToContents();
        table_->horizontalHeader()->setStretchLastSection(true);
    }
    ShowWindow(window_, near);
}

void CheckDetailsWindow::showFinding(int row) {
    if (row < 0 || row >= static_cast<int>(findings_.size()) || !window_) return;
    const Finding& f = findings_[static_cast<std::size_t>(row)];
    HexView* view = HexView::Of(window_->parentWidget() ? window_->parentWidget() : window_.data());
    // the analysed bytes, unless the view shows them already
    if (!view->window() || !view->window()->isVisible() ||
        !std::equal(view->bytes().begin(), view->bytes().end(), image_.begin(), image_.end()))
        view->Show(image_, std::nullopt, window_, source_ + QStringLiteral(" (analysis)"), true);
    view->SelectPartAt(f.offset);
    if (table_ && table_->currentRow() != row) {
        const QSignalBlocker quiet(table_);
        table_->selectRow(row);
    }
}

// ---- "Repair" ----------------------------------------------------------------------------------

RepairWindow* RepairWindow::Make(EdidControllerPage& controller, QWidget* root) {
    QWidget* owner = root ? root->window() : nullptr;
    auto* window = new QWidget(owner, Qt::Window);
    window->setObjectName(QStringLiteral("Form_Repair"));
    pages::BuildRepair(window);
    return new RepairWindow(controller, window);
}

RepairWindow::RepairWindow(EdidControllerPage& controller, QWidget* window)
    : QObject(window), controller_(controller), window_(window) {
    setObjectName(QStringLiteral("RepairWindow"));
    named_ = window->findChild<QListWidget*>(QStringLiteral("ListWidget_Repair_Named"));
    changes_ = window->findChild<QListWidget*>(QStringLiteral("ListWidget_Repair_Changes"));
    verdict_ = window->findChild<QLabel*>(QStringLiteral("Label_Repair_Verdict"));
    message_ = window->findChild<QLabel*>(QStringLiteral("Label_Repair_Message"));
    upload_ = window->findChild<QComboBox*>(QStringLiteral("ComboBox_Repair_Upload"));
    hexView_ = window->findChild<QAbstractButton*>(QStringLiteral("Button_Repair_HexView"));
    save_ = window->findChild<QAbstractButton*>(QStringLiteral("Button_Repair_Save"));
    uploadButton_ = window->findChild<QAbstractButton*>(QStringLiteral("Button_Repair_Upload"));
    if (hexView_)
        connect(hexView_, &QAbstractButton::clicked, this,
                &RepairWindow::Button_Repair_HexViewClick);
    if (save_)
        connect(save_, &QAbstractButton::clicked, this, &RepairWindow::Button_Repair_SaveClick);
    if (uploadButton_)
        connect(uploadButton_, &QAbstractButton::clicked, this,
                &RepairWindow::Button_Repair_UploadClick);
    if (named_)
        connect(named_, &QListWidget::itemChanged, this, [this] {
            if (!filling_) repair();
        });
    if (upload_)
        connect(upload_, &QComboBox::currentIndexChanged, this, [this](int p) {
            // a separator never stays selected: the entry above it is taken
            if (p > 0 && upload_->itemText(p) == QLatin1String(kSeparatorItem))
                upload_->setCurrentIndex(p - 1);
        });
}

void RepairWindow::setMessage(const QString& text, bool failure) {
    if (!message_) return;
    QPalette p = message_->palette();
    p.setColor(QPalette::WindowText, failure ? kRed : QColor(Qt::black));
    message_->setPalette(p);
    message_->setText(text);
}

void RepairWindow::open(const EdidImage& image, const QString& source, QWidget* near) {
    image_ = image;
    source_ = source;
    if (window_)
        window_->setWindowTitle(source.isEmpty() ? QStringLiteral("Repair")
                                                 : QStringLiteral("Repair - ") + source);
    // the repairs that change a claim, for the rules this EDID breaks: none ticked
    if (named_) {
        filling_ = true;
        named_->clear();
        std::vector<std::string> offered;
        for (const Finding& f : CheckImage(image)) {
            const CheckRule* rule = FindCheckRule(f.rule);
            if (!rule || rule->repair != RepairKind::Named ||
                std::find(offered.begin(), offered.end(), f.rule) != offered.end())
                continue;
            offered.push_back(f.rule);
            auto* item = new QListWidgetItem(QString::fromStdString(f.rule) + QStringLiteral(": ") +
                                             Text(rule->summary));
            item->setData(Qt::UserRole, QString::fromStdString(f.rule));
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(Qt::Unchecked);
            named_->addItem(item);
        }
        filling_ = false;
    }
    if (upload_) {
        const DeviceRecord& device = controller_.currentDevice();
        const QSignalBlocker quiet(upload_);
        upload_->clear();
        for (const std::string& item :
             SlotListItems(SlotList::Upload, device.inputCount, device.outputCount,
                           device.userCount, device.internalCount))
            upload_->addItem(QString::fromStdString(item));
        upload_->setCurrentIndex(SlotListInitialPosition(SlotList::Upload, device.inputCount));
    }
    repair();
    ShowWindow(window_, near);
}

std::vector<std::string> RepairWindow::namedRules() const {
    std::vector<std::string> rules;
    if (named_)
        for (int row = 0; row < named_->count(); ++row)
            if (named_->item(row)->checkState() == Qt::Checked)
                rules.push_back(named_->item(row)->data(Qt::UserRole).toString().toStdString());
    return rules;
}

EdidImage RepairWindow::repaired() const {
    return ImageOf(result_.bytes, image_);
}

void RepairWindow::repair() {
    result_ = RepairImage(image_, namedRules());
    const EdidImage repairedImage = repaired();
    const bool changed = result_.changed() && repairedImage != image_;
    if (verdict_)
        verdict_->setText(QStringLiteral("Check as it is: ") + VerdictWords(CheckImage(image_)) +
                          QStringLiteral(". Repaired: ") + VerdictWords(CheckImage(repairedImage)) +
                          QLatin1Char('.'));
    if (changes_) {
        changes_->clear();
        for (const std::string& line : RepairChangeTexts(result_))
            changes_->addItem(QString::fromStdString(line));
    }
    for (QAbstractButton* b : {hexView_.data(), save_.data(), uploadButton_.data()})
        if (b) b->setEnabled(changed);
    if (changed)
        setMessage(QString(), false);
    else
        setMessage(QString::fromLatin1(kRepairNothing), false);
}

void RepairWindow::Button_Repair_HexViewClick() {
    if (!window_) return;
    // the repaired EDID beside the analysed one, the changed bytes marked
    HexView::Of(window_->parentWidget() ? window_->parentWidget() : window_.data())
        ->Show(repaired(), image_, window_, source_ + QStringLiteral(" repaired"));
}

void RepairWindow::Button_Repair_SaveClick() {
    if (!result_.changed()) return;
    const EdidImage image = repaired(); // what this save writes, whatever runs meanwhile
    const QPointer<RepairWindow> self(this);
    const QString path = Dialogs::Current().SaveFile(window_, QString::fromLatin1(kEdidFilter),
                                                     QString::fromLatin1(kRepairedName));
    if (!self || path.isEmpty()) return;
    const QString why = WriteEdidFile(path, image);
    if (why.isEmpty())
        setMessage(QStringLiteral("Saved to ") + QFileInfo(path).fileName() + QLatin1Char('.'),
                   false);
    else
        setMessage(QString::fromStdString(SaveFailureText(
                       kTextOpenFail, QFileInfo(path).fileName().toStdString(), why.toStdString())),
                   true);
}

void RepairWindow::Button_Repair_UploadClick() {
    if (!result_.changed() || !upload_) return;
    const DeviceRecord& device = controller_.currentDevice();
    const auto slot = SlotAtPosition(SlotList::Upload, upload_->currentIndex(), device.inputCount,
                                     device.outputCount, device.userCount, device.internalCount);
    if (!slot) {
        setMessage(QString::fromLatin1(kRepairNoDevice), true);
        return;
    }
    const QString slotName = upload_->currentText();
    // the page's own verified write, with the slot's history
    controller_.uploadImage(*slot, repaired(),
                            [self = QPointer<RepairWindow>(this), slotName](const QString& text) {
                                if (!self) return;
                                if (text.isEmpty())
                                    self->setMessage(QString::fromLatin1(kRepairNoDevice), true);
                                else
                                    self->setMessage(slotName + QStringLiteral(": ") + text,
                                                     text != QLatin1String(kTextOk));
                            });
}

} // namespace tavo
