#include "maintenance/qt/DeviceMenu.h"

#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "edid/EdidRecord.h"
#include "link/SlotName.h"
#include "link/UartLink.h"
#include "link/qt/SlotTransfer.h"
#include "link/qt/UartSession.h"
#include "maintenance/qt/DeviceBackup.h"
#include "maintenance/qt/SystemConfig.h"
#include "ui/qt/Dialogs.h"
#include "ui/qt/HistoryQuestion.h"
#include "ui/qt/ScreenPlacement.h"
#include "ui/qt/ShownText.h"
#include "workspace/analysis/AnalyzerSummary.h"

namespace tavo {
namespace {

QString Latin1(std::string_view s) {
    return QString::fromLatin1(s.data(), qsizetype(s.size()));
}

QColor Colour(bool red) {
    return red ? QColor(255, 0, 0) : QColor(0, 0, 0);
}

} // namespace

DeviceMenu::DeviceMenu(UartSession& session, QObject* parent)
    : PageBase(parent), session_(session), transfers_(new SlotTransfer(session, this)) {
    setObjectName(QStringLiteral("DeviceMenu"));
    transfers_->setHistory(&history_);
}

DeviceMenu::~DeviceMenu() {
    delete historyWindow_;
}

void DeviceMenu::attach(QWidget* window, QMenuBar* bar) {
    attachTo(window, {});
    QMenu* menu = new QMenu(QStringLiteral("&Device"), bar);
    menu->setObjectName(QStringLiteral("Menu_Device"));
    bar->insertMenu(bar->actions().isEmpty() ? nullptr : bar->actions().first(), menu);
    const struct {
        const char* name;
        const char* text;
        void (DeviceMenu::*run)();
    } items[] = {{"Action_History", "History\u2026", &DeviceMenu::HistoryClick},
                 {"Action_Backup", "Backup\u2026", &DeviceMenu::BackupClick},
                 {"Action_RestoreBackup", "Restore Backup\u2026", &DeviceMenu::RestoreBackupClick}};
    for (const auto& item : items) {
        QAction* a = menu->addAction(QString::fromUtf8(item.text));
        a->setObjectName(QString::fromLatin1(item.name));
        connect(a, &QAction::triggered, this, item.run);
    }
}

bool DeviceMenu::ready() {
    if (session_.isConnected() && (session_.link().flags & kLinkIspDevice) == 0) return true;
    ShowWarning(window(), QStringLiteral("Warning"), QString::fromLatin1(kTextNoDevice));
    return false;
}

// ---- history -----------------------------------------------------------------------------------

void DeviceMenu::HistoryClick() {
    if (!ready()) return;
    if (!historyWindow_) {
        historyWindow_ = new QWidget(window(), Qt::Window);
        historyWindow_->setObjectName(QStringLiteral("Form_History"));
        historyWindow_->setWindowTitle(QStringLiteral("History"));
        historyWindow_->resize(560, 520);
        auto* layout = new QVBoxLayout(historyWindow_);
        list_ = new QListWidget(historyWindow_);
        list_->setObjectName(QStringLiteral("ListBox_History"));
        summary_ = new QLabel(historyWindow_);
        summary_->setObjectName(QStringLiteral("Label_History_Summary"));
        summary_->setTextFormat(Qt::PlainText);
        summary_->setWordWrap(true);
        status_ = new QLabel(historyWindow_);
        status_->setObjectName(QStringLiteral("Label_History_Status"));
        status_->setTextFormat(Qt::PlainText);
        // a long verdict wraps: the window never grows past the screen for it
        status_->setWordWrap(true);
        restore_ = new QPushButton(QStringLiteral("Restore"), historyWindow_);
        restore_->setObjectName(QStringLiteral("Button_History_Restore"));
        layout->addWidget(list_, 1);
        layout->addWidget(summary_);
        layout->addWidget(status_);
        layout->addWidget(restore_);
        connect(list_, &QListWidget::currentRowChanged, this, &DeviceMenu::showEntry);
        connect(restore_, &QPushButton::clicked, this, &DeviceMenu::RestoreSelected);
        addRoot(historyWindow_);
        // beside the main window, clear of the program's other windows; later where it was left
        PlaceBesideOnScreen(historyWindow_, window(), 15);
    }
    status_->clear();
    fillHistory();
    historyWindow_->show();
    historyWindow_->raise();
}

void DeviceMenu::fillHistory() {
    const DeviceRecord& device = session_.devices().Current();
    entries_ = history_.AllEntries(device);
    list_->clear();
    for (const HistoryEntry& e : entries_) {
        EdidRecord record;
        QString who = QStringLiteral("-");
        if (const auto image = SlotHistory::Load(e)) {
            record.image = *image;
            const AnalyzerSummary s = AnalyseEdid(record);
            who = ShownLatin1(s.Row(SummaryRow::ManufacturerName)) + QStringLiteral("  ") +
                  ShownLatin1(s.Row(SummaryRow::MonitorName));
        }
        list_->addItem(QString::fromStdString(SlotName(e.slot)) + QStringLiteral("  #") +
                       QString::number(e.number) + QStringLiteral("  ") + e.time +
                       QStringLiteral("  ") + who);
    }
    restore_->setEnabled(!entries_.isEmpty());
    if (entries_.isEmpty())
        summary_->setText(QStringLiteral("No history for ") +
                          Latin1(session_.devices().Current().product) + QStringLiteral("."));
    else
        list_->setCurrentRow(0);
}

void DeviceMenu::showEntry(int row) {
    if (row < 0 || row >= entries_.size()) return;
    const auto image = SlotHistory::Load(entries_[row]);
    if (!image) {
        summary_->setText(QStringLiteral("The entry's file is missing or damaged."));
        return;
    }
    EdidRecord record;
    record.image = *image;
    const AnalyzerSummary s = AnalyseEdid(record);
    QString text;
    for (int i = 0; i < kSummaryRowCount; ++i) {
        text += Latin1(kSummaryTitles[i]) + QStringLiteral(" : ") + ShownLatin1(s.rows[i].View()) +
                QLatin1Char('\n');
    }
    summary_->setText(text.trimmed());
}

// The history window within its screen's work area, whatever its labels now hold.
void DeviceMenu::keepHistoryOnScreen() {
    if (!historyWindow_) return;
    const QRect area = WorkAreaOf(historyWindow_);
    const QRect frame = historyWindow_->frameGeometry();
    const QSize margins = frame.size() - historyWindow_->size();
    const QSize most = area.size() - margins;
    if (historyWindow_->width() > most.width() || historyWindow_->height() > most.height())
        historyWindow_->resize(historyWindow_->size().boundedTo(most));
    historyWindow_->move(KeepOnArea(historyWindow_->frameGeometry().topLeft(),
                                    historyWindow_->frameGeometry().size(), area));
}

void DeviceMenu::RestoreSelected() {
    const int row = list_ ? list_->currentRow() : -1;
    if (row < 0 || row >= entries_.size() || !ready()) return;
    const HistoryEntry entry = entries_[row];
    const QString slot = QString::fromStdString(SlotName(entry.slot));
    if (!IsWritableSlot(entry.slot)) {
        showStatus(status_, QStringLiteral("Read Only Slot, Upload Refused."), Colour(true));
        return;
    }
    QString error;
    const auto image = SlotHistory::Load(entry, &error);
    if (!image) {
        showStatus(status_,
                   QStringLiteral("The entry's file cannot be read: ") + error +
                       QStringLiteral(". Nothing written."),
                   Colour(true));
        keepHistoryOnScreen();
        return;
    }
    EdidRecord record;
    record.image = *image;
    const QString monitor = ShownLatin1(AnalyseEdid(record).Row(SummaryRow::MonitorName));
    if (!ConfirmWarning(historyWindow_, QStringLiteral("Warning"),
                        QStringLiteral("Restore the EDID of ") + entry.time +
                            (monitor.isEmpty()
                                 ? QString()
                                 : QStringLiteral(" (") + monitor + QStringLiteral(")")) +
                            QStringLiteral(" into ") + slot + QStringLiteral("?")))
        return;
    const Operation operation(*this, session_);
    if (!operation) return;
    showStatus(status_, QStringLiteral("Uploading..."), Colour(false));
    transfers_->Begin();
    const VerifiedWrite v = transfers_->WriteVerified(
        entry.slot, *image, AskBeforeWritingWithoutHistory(historyWindow_));
    transfers_->End();
    if (!operation.alive()) return;
    // the verdict once the slot was read back; it stays until the next action
    showStatus(status_, Latin1(WriteStatusText(v)), Colour(!v.ok()));
    fillHistory();
    keepHistoryOnScreen();
    emit deviceChanged();
    emit finished();
}

// ---- backup ------------------------------------------------------------------------------------

void DeviceMenu::showReport(const QString& caption, const BackupReport& report) {
    if (quiet_) return;
    QString text;
    if (!report.started) text = report.error;
    for (const BackupItem& i : report.items)
        text += i.line() + QLatin1Char('\n');
    if (!report.outcome.isEmpty()) text += report.outcome + QLatin1Char('\n');
    if (report.interrupted) text += QStringLiteral("Stopped before the next item.\n");
    if (report.ok())
        ShowInformation(window(), caption, text.trimmed());
    else
        ShowWarning(window(), caption, text.trimmed());
}

void DeviceMenu::Stop(bool quietly) {
    stopRequested_ = true;
    quiet_ = quiet_ || quietly;
}

// A small window with "item n of N" and Stop while a backup or restore runs.
BackupOptions DeviceMenu::progressOptions(const QString& caption) {
    stopRequested_ = false;
    delete progress_;
    progress_ = new QWidget(window(), Qt::Window);
    progress_->setObjectName(QStringLiteral("Form_Progress"));
    progress_->setWindowTitle(caption);
    auto* layout = new QVBoxLayout(progress_);
    auto* label = new QLabel(progress_);
    label->setObjectName(QStringLiteral("Label_Progress"));
    auto* bar = new QProgressBar(progress_);
    bar->setObjectName(QStringLiteral("ProgressBar_Progress"));
    auto* stop = new QPushButton(QStringLiteral("Stop"), progress_);
    stop->setObjectName(QStringLiteral("Button_Progress_Stop"));
    layout->addWidget(label);
    layout->addWidget(bar);
    layout->addWidget(stop);
    connect(stop, &QPushButton::clicked, this, [this, stop] {
        Stop();
        stop->setEnabled(false);
    });
    progress_->resize(360, 120);
    // beside the window it belongs to, as the program's other windows open
    if (QWidget* anchor = window() ? window()->window() : nullptr)
        PlaceBesideOnScreen(progress_, anchor, 8);
    progress_->show();
    BackupOptions options;
    options.stop = [this] { return stopRequested_; };
    QPointer<QWidget> window(progress_);
    options.progress = [window, label, bar, caption](int n, int total, const QString& name) {
        if (!window) return;
        label->setText(caption + QStringLiteral(": item ") + QString::number(n) +
                       QStringLiteral(" of ") + QString::number(total) + QStringLiteral(" (") +
                       name + QStringLiteral(")"));
        bar->setRange(0, total);
        bar->setValue(n - 1);
    };
    return options;
}

void DeviceMenu::endProgress() {
    if (!progress_) return;
    progress_->hide();
    progress_->deleteLater();
}

void DeviceMenu::BackupClick() {
    if (!ready()) return;
    const Operation operation(*this, session_);
    if (!operation) return;
    const QString folder =
        Dialogs::Current().ChooseFolder(window(), QStringLiteral("Backup into folder"));
    if (folder.isEmpty() || !operation.alive()) return;
    const BackupOptions options = progressOptions(QStringLiteral("Backup"));
    const BackupReport report = BackupDevice(*transfers_, folder, options);
    if (!operation.alive()) return;
    endProgress();
    showReport(QStringLiteral("Backup"), report);
    emit finished();
}

void DeviceMenu::RestoreBackupClick() {
    if (!ready()) return;
    const Operation operation(*this, session_);
    if (!operation) return;
    const QString folder =
        Dialogs::Current().ChooseFolder(window(), QStringLiteral("Restore backup from folder"));
    if (folder.isEmpty()) return;
    if (!ConfirmWarning(window(), QStringLiteral("Warning"),
                        QStringLiteral("Write the backup in ") + folder +
                            QStringLiteral(" into the device's input and user slots, its mode "
                                           "and its description?")))
        return;
    if (!operation.alive()) return;
    BackupOptions options = progressOptions(QStringLiteral("Restore Backup"));
    options.write = AskBeforeWritingWithoutHistory(window(), options.write);
    // what the device will keep otherwise than the backup holds it, in the log before it is sent
    options.notice = [this](const QString& notice) { log(notice + QStringLiteral("\r\n")); };
    const BackupReport report = RestoreBackup(*transfers_, folder, options);
    if (!operation.alive()) return;
    endProgress();
    // the grid and the System page show what the device now reports, not what they showed before
    if (report.started && transfers_->connected()) ReadSystemDescriptor(session_);
    if (!operation.alive()) return;
    if (report.started) emit deviceChanged();
    showReport(QStringLiteral("Restore Backup"), report);
    emit finished();
}

} // namespace tavo
