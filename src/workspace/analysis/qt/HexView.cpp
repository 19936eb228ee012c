#include "workspace/analysis/qt/HexView.h"

#include <QAbstractButton>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelection>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProcess>
#include <QScreen>
#include <QSplitter>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <algorithm>

#include "ui/qt/ScreenPlacement.h"
#include "workspace/analysis/qt/HexViewLayout.h"

namespace tavo {

namespace {

// Light colours, so the black hex digits stay readable on every one of them.
const QColor kPartColours[kPartColourCount] = {QColor(0xCF, 0xE2, 0xFF), QColor(0xD4, 0xED, 0xDA),
                                               QColor(0xFF, 0xF3, 0xCD), QColor(0xE2, 0xD9, 0xF3),
                                               QColor(0xFF, 0xE5, 0xCC), QColor(0xD1, 0xF2, 0xF0),
                                               QColor(0xF8, 0xD7, 0xE8), QColor(0xE9, 0xE4, 0xD4)};
const QColor kQuiet(0xF2, 0xF2, 0xF2);
const QColor kBroken(0xFF, 0x9E, 0x9E);
const QColor kChangedText(0xC0, 0x00, 0x00);

// What edid-decode may print at most; a report is a few hundred lines.
constexpr qint64 kReportMaxBytes = 1 << 20;

QColor ColourOf(int colour) {
    if (colour >= 0 && colour < kPartColourCount) return kPartColours[colour];
    return colour == kBrokenColour ? kBroken : kQuiet;
}

QString Text(const std::string& s) {
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

QString Hex2(unsigned v) {
    return QStringLiteral("%1").arg(v & 0xFFu, 2, 16, QLatin1Char('0')).toUpper();
}

} // namespace

HexView* HexView::Of(QWidget* root) {
    if (HexView* view = Existing(root)) return view;
    QWidget* owner = root ? root->window() : nullptr;
    auto* window = new QWidget(owner, Qt::Window);
    window->setObjectName(QStringLiteral("Form_HexView"));
    pages::BuildHexView(window);
    return new HexView(window);
}

HexView* HexView::Existing(QWidget* root) {
    QWidget* owner = root ? root->window() : nullptr;
    if (owner)
        if (auto* window = owner->findChild<QWidget*>(QStringLiteral("Form_HexView")))
            return window->findChild<HexView*>(QString(), Qt::FindDirectChildrenOnly);
    return nullptr;
}

QString HexView::EdidDecodePath() {
    if (qEnvironmentVariableIsSet("TAVO_EDID_DECODE")) {
        const QFileInfo program(qEnvironmentVariable("TAVO_EDID_DECODE"));
        return program.isFile() && program.isExecutable() ? program.absoluteFilePath() : QString();
    }
    return QStandardPaths::findExecutable(QStringLiteral("edid-decode"));
}

HexView::HexView(QWidget* window) : PageBase(window), window_(window) {
    setObjectName(QStringLiteral("HexView"));
    attachTo(window, {window});
    hex_ = control<QTableWidget>("TableWidget_Hex");
    opened_ = control<QTableWidget>("TableWidget_Opened");
    openedPanel_ = control<QWidget>("Panel_HexOpened");
    shownCaption_ = control<QLabel>("Label_HexShown");
    changedLabel_ = control<QLabel>("Label_HexChanged");
    parts_ = control<QListWidget>("ListWidget_Parts");
    fields_ = control<QPlainTextEdit>("PlainTextEdit_Fields");
    report_ = control<QPlainTextEdit>("PlainTextEdit_Report");
    details_ = control<QTabWidget>("TabWidget_HexDetails");
    fullReport_ = control<QAbstractButton>("Button_FullReport");

    // a click on a byte selects its part, in either grid (the parts are those of the image shown)
    for (QTableWidget* table : {hex_.data(), opened_.data()})
        if (table)
            connect(table, &QTableWidget::cellClicked, this, [this](int row, int column) {
                const int b = row * 16 + column;
                if (b >= 0 && b < grid_.size())
                    SelectPart(grid_.partOf[static_cast<std::size_t>(b)]);
            });
    if (parts_)
        connect(parts_, &QListWidget::currentRowChanged, this, [this](int row) {
            if (row >= 0 && row != selected_) SelectPart(row);
        });
    if (fullReport_)
        connect(fullReport_, &QAbstractButton::clicked, this, &HexView::Button_FullReportClick);
}

void HexView::Show(const EdidImage& image, const std::optional<EdidImage>& opened, QWidget* near,
                   const QString& source, bool analysis, bool creator) {
    ShowBytes(image,
              opened ? std::span<const std::uint8_t>(*opened) : std::span<const std::uint8_t>(),
              near, source, analysis, creator);
}

void HexView::ShowBytes(std::span<const std::uint8_t> bytes, std::span<const std::uint8_t> opened,
                        QWidget* near, const QString& source, bool analysis, bool creator) {
    source_ = source;
    showsAnalysis_ = analysis;
    showsCreator_ = creator;
    display(bytes, opened);
    setTitle(QString());
    place(near);
}

void HexView::FollowCreator(std::span<const std::uint8_t> bytes,
                            std::span<const std::uint8_t> opened, const QString& source) {
    if (!window_ || !window_->isVisible() || !showsCreator_) return;
    source_ = source;
    display(bytes, opened);
    setTitle(QString());
}

void HexView::FollowAnalysis(const EdidImage* image, const QString& slot) {
    if (!window_ || !window_->isVisible() || !showsAnalysis_) return;
    if (image == nullptr) {
        setTitle(QStringLiteral("not the analysis of %1, which could not be read").arg(slot));
        return;
    }
    source_ = slot + QStringLiteral(" (analysis)");
    display(*image, {});
    setTitle(QString());
}

void HexView::setTitle(const QString& detail) {
    if (!window_) return;
    QString title = QStringLiteral("Hex View");
    if (!source_.isEmpty()) title += QStringLiteral(" - ") + source_;
    if (!detail.isEmpty()) title += QStringLiteral(": ") + detail;
    window_->setWindowTitle(title);
}

void HexView::display(std::span<const std::uint8_t> bytes, std::span<const std::uint8_t> opened) {
    ++shown_;
    hasOpened_ = !opened.empty();
    grid_ = hasOpened_ ? MakeHexGrid(bytes, opened) : MakeHexGrid(bytes);
    openedGrid_ = hasOpened_ ? MakeHexGrid(opened, bytes) : HexGrid{};
    selected_ = -1;

    if (parts_) {
        const QSignalBlocker quiet(parts_);
        parts_->clear();
        for (std::size_t i = 0; i < grid_.parts.size(); ++i) {
            auto* item = new QListWidgetItem(Text(PartLine(grid_.parts[i])), parts_);
            item->setToolTip(item->text()); // the whole line where the list cuts it
            item->setBackground(ColourOf(grid_.partColour[i]));
            item->setForeground(Qt::black);
        }
    }
    if (hex_) fillGrid(hex_, grid_, hasOpened_ ? &openedGrid_.bytes : nullptr);
    if (hasOpened_ && opened_) fillGrid(opened_, openedGrid_, &grid_.bytes);
    if (openedPanel_) openedPanel_->setVisible(hasOpened_);
    // the grids keep the width they need (one grid or two), the parts list the rest
    if (auto* splitter = control<QSplitter>("Panel_HexView"))
        if (QWidget* grids = splitter->widget(0)) {
            const int total = std::max(splitter->width(), grids->sizeHint().width() + 140);
            splitter->setSizes({grids->sizeHint().width(), total - grids->sizeHint().width()});
        }
    if (shownCaption_)
        shownCaption_->setText(hasOpened_ ? QStringLiteral("Build") : QStringLiteral("EDID"));
    if (changedLabel_)
        changedLabel_->setText(
            hasOpened_ ? QStringLiteral("%1 bytes changed (red)").arg(grid_.changedCount)
                       : QString());
    if (report_) report_->clear();
    if (fullReport_) fullReport_->setVisible(!EdidDecodePath().isEmpty());
    if (details_) details_->setCurrentIndex(0);
    SelectPart(0);
}

// One row of 16 bytes each, as many rows as the bytes take (16 for a slot's image), each headed
// by its offset.
void HexView::fillGrid(QTableWidget* table, const HexGrid& grid,
                       const std::vector<std::uint8_t>* other) {
    const int rows = (grid.size() + 15) / 16;
    if (table->rowCount() != rows) {
        table->setRowCount(rows);
        QStringList headers;
        for (int r = 0; r < rows; ++r)
            headers << QStringLiteral("%1").arg(r * 16, 2, 16, QLatin1Char('0')).toUpper();
        table->setVerticalHeaderLabels(headers);
        // more than a slot's 16 rows scroll, headed by offsets of up to four digits
        table->setVerticalScrollBarPolicy(rows > 16 ? Qt::ScrollBarAsNeeded
                                                    : Qt::ScrollBarAlwaysOff);
        table->verticalHeader()->setFixedWidth(
            table->fontMetrics().horizontalAdvance(rows > 16 ? QStringLiteral("7F80")
                                                             : QStringLiteral("F0")) +
            16);
    }
    for (int b = 0; b < rows * 16; ++b) {
        QTableWidgetItem* item = table->item(b / 16, b % 16);
        if (!item) {
            item = new QTableWidgetItem;
            item->setTextAlignment(Qt::AlignCenter);
            table->setItem(b / 16, b % 16, item);
        }
        if (b >= grid.size()) {
            item->setText(QString());
            item->setToolTip(QString());
            continue;
        }
        const auto at = static_cast<std::size_t>(b);
        item->setText(Hex2(grid.bytes[at]));
        item->setBackground(ColourOf(grid.colourOf[at]));
        QFont font = table->font();
        font.setBold(grid.changed[at]);
        item->setFont(font);
        item->setForeground(grid.changed[at] ? kChangedText : QColor(Qt::black));
        const BlockPart& part = grid.parts[static_cast<std::size_t>(grid.partOf[at])];
        QString tip =
            QStringLiteral("0x%1 (%2): %3").arg(Hex2(b), QString::number(b), Text(part.name));
        if (grid.changed[at] && other)
            tip += at < other->size() ? QStringLiteral("; beside: 0x%1").arg(Hex2((*other)[at]))
                                      : QStringLiteral("; beside: none");
        item->setToolTip(tip);
        item->setData(Qt::UserRole, grid.changed[at]);
    }
}

void HexView::selectBytes(QTableWidget* table, const BlockPart& part) {
    QItemSelection selection;
    const int end = std::min(part.end(), table->rowCount() * 16);
    for (int b = std::max(part.offset, 0); b < end;) {
        const int row = b / 16;
        const int last = std::min(end - 1, row * 16 + 15); // the part's last byte on this row
        selection.select(table->model()->index(row, b % 16), table->model()->index(row, last % 16));
        b = last + 1;
    }
    table->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

void HexView::SelectPart(int index) {
    if (index < 0 || index >= static_cast<int>(grid_.parts.size())) return;
    selected_ = index;
    const BlockPart& part = grid_.parts[static_cast<std::size_t>(index)];
    if (hex_) selectBytes(hex_, part);
    if (opened_ && hasOpened_) selectBytes(opened_, part);
    if (parts_ && parts_->currentRow() != index) {
        const QSignalBlocker quiet(parts_);
        parts_->setCurrentRow(index);
    }
    if (parts_ && parts_->item(index)) parts_->scrollToItem(parts_->item(index));
    if (fields_) fields_->setPlainText(Text(FieldsText(grid_, part)));
    if (details_ && fields_) details_->setCurrentWidget(fields_);
}

void HexView::SelectPartAt(int offset) {
    if (offset < 0 || offset >= grid_.size()) return;
    SelectPart(grid_.partOf[static_cast<std::size_t>(offset)]);
}

// The narrowest the window is made to fit beside another: one grid and a part of the list.
constexpr int kLeastWidth = 560;

// Beside `near` when the window was hidden; on the screen in any case.
void HexView::place(QWidget* near) {
    if (!window_) return;
    QScreen* screen = nullptr;
    if (!window_->isVisible() && near) {
        // on the side of `near`'s window where it covers no window of the program, narrowed
        // to the room beside it when it can be (the parts list gives way, the grids scroll)
        FitBesideOnScreen(window_, near->window(), 8, kLeastWidth);
        screen = near->window()->screen();
    }
    window_->show();
    window_->raise();
    window_->activateWindow();
    if (!screen) screen = window_->screen();
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    // shown, the window knows its frame: the whole frame goes on the screen, shrunk if need be
    const QRect area = screen->availableGeometry();
    const QSize frame = window_->frameGeometry().size() - window_->size();
    const QSize size = window_->size().boundedTo(area.size() - frame);
    if (size != window_->size()) window_->resize(size);
    const QSize outer = size + frame;
    const QPoint at = window_->pos();
    const QPoint kept(
        std::clamp(at.x(), area.left(), std::max(area.left(), area.right() + 1 - outer.width())),
        std::clamp(at.y(), area.top(), std::max(area.top(), area.bottom() + 1 - outer.height())));
    if (kept != at) window_->move(kept);
}

void HexView::Button_FullReportClick() {
    if (reportRunning_ || !report_) return;
    const QString program = EdidDecodePath();
    if (program.isEmpty()) {
        if (fullReport_) fullReport_->hide();
        return;
    }
    reportRunning_ = true;
    if (fullReport_) fullReport_->setEnabled(false);
    if (details_) details_->setCurrentWidget(report_);
    report_->setPlainText(QStringLiteral("Running edid-decode ..."));
    reportShown_ = shown_;
    reportOutput_.clear();

    auto* process = new QProcess(this);
    reportProcess_ = process;
    process->setProcessChannelMode(QProcess::MergedChannels);
    connect(process, &QProcess::readyRead, this, [this, process] { keepOutput(process); });
    connect(process, &QProcess::finished, this, [this, process](int, QProcess::ExitStatus status) {
        keepOutput(process);
        endReport(process, status != QProcess::NormalExit
                               ? QStringLiteral("edid-decode crashed.\n\n")
                               : QString());
    });
    connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart) return;
        endReport(
            process,
            QStringLiteral("edid-decode could not be started: %1\n").arg(process->errorString()));
    });
    if (!reportLimit_) {
        reportLimit_ = new QTimer(this);
        reportLimit_->setSingleShot(true);
        connect(reportLimit_, &QTimer::timeout, this, [this] {
            if (!reportProcess_) return;
            endReport(reportProcess_,
                      QStringLiteral("edid-decode did not finish within %1 s and was stopped.\n\n")
                          .arg(reportLimitMs_ / 1000.0));
        });
    }
    // the bytes go in on standard input: no file to write or clean up
    process->start(program, {});
    if (reportProcess_ != process) return; // it could not be started
    // only the blocks the image announces: a base block alone is 128 bytes
    process->write(reinterpret_cast<const char*>(grid_.bytes.data()),
                   static_cast<qint64>(AnnouncedBytes(grid_.bytes)));
    process->closeWriteChannel();
    reportLimit_->start(reportLimitMs_);
}

void HexView::keepOutput(QProcess* process) {
    const QByteArray more = process->readAll();
    if (reportOutput_.size() < kReportMaxBytes)
        reportOutput_ += more.left(kReportMaxBytes - reportOutput_.size());
}

void HexView::endReport(QProcess* process, const QString& verdict) {
    if (process != reportProcess_) return; // that run has already ended
    reportProcess_ = nullptr;
    if (reportLimit_) reportLimit_->stop();
    process->disconnect(this);
    if (process->state() == QProcess::NotRunning) {
        process->deleteLater();
    } else { // stopped at the limit: gone once the kill has taken
        connect(process, &QProcess::finished, process, &QObject::deleteLater);
        process->kill();
    }
    reportRunning_ = false;
    if (fullReport_) fullReport_->setEnabled(true);
    if (reportShown_ != shown_ || !report_) return; // other bytes are shown now: not theirs
    report_->setPlainText(verdict + QString::fromUtf8(reportOutput_));
    reportOutput_.clear();
}

} // namespace tavo
