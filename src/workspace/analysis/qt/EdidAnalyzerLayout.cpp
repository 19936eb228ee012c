// "EDID Analyzer": holds the "EDID Information" group, which is shown inside the "EDID Analyzer"
// window; the page's own tab is never shown.
#include "workspace/analysis/qt/EdidAnalyzerLayout.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "ui/qt/SpeedButton.h"
#include "workspace/analysis/qt/SummaryView.h"

namespace tavo::pages {

namespace {

constexpr int kCaptionGap = 8; // between the widest row title and the values

QString Latin1(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

void BuildEdidAnalyzer(QWidget* page) {
    auto* group = new QGroupBox("EDID Information", page);
    group->setObjectName("GroupBox5");
    group->setGeometry(8, 8, 422, 420);
    auto* rows = new QVBoxLayout(group);
    rows->setSpacing(0);
    rows->setContentsMargins(4, 4, 4, 4);
    // The values start just after the widest row title, so that the longest value (the audio
    // row's first line) fits the fixed window whole.
    int valueLeft = 0;
    for (int i = 0; i < kSummaryRowCount; ++i)
        valueLeft = std::max(
            valueLeft, group->fontMetrics().horizontalAdvance(SummaryCaption(kSummaryTitles[i])));
    valueLeft += kCaptionGap;
    // one panel per row, top-aligned: the caption is the row title, the label inside the value
    for (int i = 0; i < kSummaryRowCount; ++i) {
        auto* panel = new QLabel(SummaryCaption(kSummaryTitles[i]), group);
        if (i == static_cast<int>(SummaryRow::AudioFormats)) panel->setObjectName("Panel10");
        panel->setTextFormat(Qt::PlainText);
        panel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        panel->setFrameShape(QFrame::NoFrame);
        panel->setFixedHeight(kAudioPanelHeight);
        auto* row = new QHBoxLayout(panel);
        row->setContentsMargins(valueLeft, 0, 0, 0);
        auto* value = new QLabel(panel);
        value->setObjectName(Latin1(kSummaryLabelNames[i]));
        value->setTextFormat(Qt::PlainText);
        value->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        row->addWidget(value);
        rows->addWidget(panel);
    }
    rows->addStretch(1);
    // the check's verdict on one line, with its findings and the repair behind two buttons
    auto* check = new QHBoxLayout;
    // the line starts where the row titles do
    check->setContentsMargins(group->fontMetrics().horizontalAdvance(QStringLiteral("    ")), 0, 0,
                              0);
    auto* verdict = new QLabel(group);
    verdict->setObjectName("Label_Check_Verdict");
    verdict->setTextFormat(Qt::PlainText);
    check->addWidget(verdict, 1);
    for (const auto& [name, text] : {std::pair{"Button_Check_Details", "Details\u2026"},
                                     std::pair{"Button_Check_Repair", "Repair\u2026"}}) {
        auto* button = new QPushButton(QString::fromUtf8(text), group);
        button->setObjectName(name);
        button->setEnabled(false); // until an analysis has bytes to check
        check->addWidget(button);
    }
    rows->addLayout(check);
    auto* open = MakeSpeedButton(group, "SpeedButton_OpenEdid_Analysis", "Modify", 360, 360);
    auto* buttons = new QHBoxLayout;
    auto* hex = new QPushButton(QStringLiteral("Hex View\u2026"), group);
    hex->setObjectName("Button_HexView_Analyzer");
    buttons->addWidget(hex, 0, Qt::AlignBottom);
    buttons->addStretch(1);
    buttons->addWidget(open);
    rows->addLayout(buttons);
}

} // namespace tavo::pages
