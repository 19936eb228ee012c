// "EDID Creator": the template buttons, the upload slot and the seven pages of EDID settings.
// Every numbered family is laid out from the creator's tables, so a box's object name, caption
// and row come from the same entry the load and the build read.
#include "workspace/creator/qt/EdidCreatorLayout.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <string_view>
#include <vector>

#include "ui/qt/SpeedButton.h"
#include "workspace/creator/CreatorTables.h"

namespace tavo::pages {

namespace {

using namespace tavo::creator;

constexpr int kRowHeight = 20;
constexpr int kRowStep = 23;
constexpr int kPanelWidth = 128; // the caption panel at the head of a row
constexpr int kBoxLeft = kPanelWidth + 12;

QString Q(std::string_view s) {
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

// The raised caption panel at the head of a row ("     640 x 480 @").
QLabel* MakePanel(QWidget* parent, const QString& text, int x, int y, int w = kPanelWidth) {
    auto* l = new QLabel(text, parent);
    l->setFrameShape(QFrame::Panel);
    l->setFrameShadow(QFrame::Raised);
    l->setTextFormat(Qt::PlainText);
    l->setGeometry(x, y, w, kRowHeight);
    return l;
}

QLabel* MakeText(QWidget* parent, const QString& text, int x, int y, int w) {
    auto* l = new QLabel(text, parent);
    l->setTextFormat(Qt::PlainText);
    l->setGeometry(x, y, w, kRowHeight);
    return l;
}

QCheckBox* MakeBox(QWidget* parent, std::string_view name, std::string_view caption, int x, int y,
                   int w) {
    auto* b = new QCheckBox(Q(caption), parent);
    b->setObjectName(Q(name));
    b->setGeometry(x, y, w, kRowHeight);
    return b;
}

QLineEdit* MakeEdit(QWidget* parent, std::string_view name, const QString& text, int x, int y,
                    int w) {
    auto* e = new QLineEdit(text, parent);
    e->setObjectName(Q(name));
    e->setGeometry(x, y, w, kRowHeight);
    return e;
}

// One box of a numbered family: its object name, the panel of its row and its caption.
struct RowBox {
    std::string name;
    std::string_view panel;
    std::string_view caption;
};

// Lays the boxes out in rows: consecutive boxes with the same panel text share a row, headed by
// that panel. Returns the y below the last row.
int LayRows(QWidget* parent, const std::vector<RowBox>& boxes, int y, int boxWidth,
            int maxPerRow = 4, int panelWidth = kPanelWidth) {
    std::string_view panel;
    int column = 0;
    bool first = true;
    for (const RowBox& box : boxes) {
        if (first || box.panel != panel || column == maxPerRow) {
            if (!first) y += kRowStep;
            if (first || box.panel != panel) MakePanel(parent, Q(box.panel), 8, y, panelWidth);
            panel = box.panel;
            column = 0;
            first = false;
        }
        MakeBox(parent, box.name, box.caption, panelWidth + 12 + column * boxWidth, y, boxWidth);
        ++column;
    }
    return first ? y : y + kRowStep;
}

QGroupBox* MakeGroup(QWidget* parent, const QString& title, int y, int h) {
    auto* g = new QGroupBox(title, parent);
    g->setGeometry(4, y, 424, h);
    return g;
}

// ---- "Descriptor"

void BuildDescriptor(QWidget* sheet) {
    const struct {
        std::string_view name;
        const char* caption;
    } rows[] = {{kManufacturerName, "     Manufacturer :"}, {kMonitorName, "     Monitor Name :"},
                {kProductCode, "     Product Code :"},      {kSerialNumber, "     Serial Number :"},
                {kManufactureYear, "     Year :"},          {kManufactureWeek, "     Week :"}};
    int y = 12;
    for (const auto& row : rows) {
        MakePanel(sheet, row.caption, 8, y, 150);
        MakeEdit(sheet, row.name, QString(), 166, y, 200);
        y += kRowStep + 8;
    }
}

// ---- "PC Timing"

void BuildPcTiming(QWidget* sheet) {
    std::vector<RowBox> established, standard;
    for (const auto& box : kEstablishedTimings)
        established.push_back(
            {ControlName(kEstablishedTimingPrefix, box.number), box.panel, box.caption});
    for (const auto& box : kStandardTimings)
        standard.push_back(
            {ControlName(kStandardTimingPrefix, box.number), box.panel, box.caption});

    auto* est = MakeGroup(sheet, "Established Timing", 2, 7 * kRowStep + 24);
    LayRows(est, established, 18, 64);
    auto* stdGroup =
        MakeGroup(sheet, "Standard Timing", est->geometry().bottom() + 4, 2 * kRowStep + 24);
    LayRows(stdGroup, standard, 18, 64);
}

// ---- "SD/HD/UHD"

void BuildVideo(QWidget* sheet) {
    std::vector<RowBox> video, yuv420;
    for (const auto& box : kVideoBoxes)
        video.push_back({ControlName(kVideoCodePrefix, box.vic), box.panel, box.caption});
    for (const auto& box : kYuv420Boxes)
        yuv420.push_back({ControlName(kYuv420Prefix, box.vic), box.panel, box.caption});
    const int bottom = LayRows(sheet, video, 4, 56, 5);
    MakeText(sheet, "YCbCr 4:2:0 only:", 8, bottom + 2, 200);
    LayRows(sheet, yuv420, bottom + kRowStep, 56);
}

// ---- "Audio1"

void BuildAudio1(QWidget* sheet) {
    // Speaker placement: the row titles in Label6, one column per position from left to right.
    auto* speakers = new QGroupBox("Speaker Placement", sheet);
    speakers->setObjectName("GroupBox6");
    auto* rows = new QLabel(speakers);
    rows->setObjectName("Label6");
    rows->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // the boxes stand on the lines of the row titles
    const int step = std::max(rows->fontMetrics().lineSpacing(), 14);
    rows->setGeometry(8, 18, 52, 5 * step + 4);
    speakers->setGeometry(4, 2, 424, 5 * step + 26);
    // (row, column) of each box by its number; the twin goes to the mirrored column
    struct Place {
        int row, column;
    };
    constexpr Place kPlaces[] = {
        {1, 0}, // 1 FLW (FRW)
        {3, 1}, // 2 RLC (RRC)
        {1, 2}, // 3 FLC (FRC)
        {3, 3}, // 4 RC
        {3, 0}, // 5 RL (RR)
        {1, 3}, // 6 FC
        {4, 3}, // 7 LFE
        {1, 1}, // 8 FL (FR)
        {0, 3}, // 9 FCH
        {2, 3}, // 10 TC
        {0, 1}, // 11 FLH (FRH)
    };
    constexpr int kColumnWidth = 50, kLeft = 62, kColumns = 7;
    for (const auto& box : kSpeakers) {
        const Place p = kPlaces[box.number - 1];
        const int y = 18 + p.row * step;
        MakeBox(speakers, SpeakerName(box), box.caption, kLeft + p.column * kColumnWidth, y,
                kColumnWidth)
            ->setFixedHeight(step);
        if (!box.twinCaption.empty())
            MakeBox(speakers, SpeakerTwinName(box), box.twinCaption,
                    kLeft + (kColumns - 1 - p.column) * kColumnWidth, y, kColumnWidth)
                ->setFixedHeight(step);
    }

    auto* lpcm = new QGroupBox("L-PCM", sheet);
    lpcm->setObjectName("GroupBox7");
    lpcm->setGeometry(4, speakers->geometry().bottom() + 6, 424, 118);
    MakeText(lpcm, "MaxCH", 12, 20, 44);
    MakeEdit(lpcm, kLpcmMaxChannels, "0", 58, 20, 36);
    MakeBox(lpcm, kBasicAudio, "Basic", 110, 20, 70);
    MakeBox(lpcm, kHiddenLpcmFormat, "Multi", 180, 20, 70)->hide(); // nothing reads it
    int x = 12;
    for (const auto& size : kLpcmSampleSizes) {
        MakeBox(lpcm, ControlName(kLpcmSampleSizePrefix, size.number), size.caption, x, 44, 80);
        x += 80;
    }
    for (const auto& rate : kAudioRates) {
        const int k = rate.number - 1;
        MakeBox(lpcm, ControlName(kLpcmRatePrefix, rate.number), rate.caption, 12 + (k % 4) * 100,
                68 + (k / 4) * 22, 100);
    }
}

// ---- "Audio2"

void BuildAudioPanel(QWidget* content, const AudioPanel& p) {
    auto* panel = new QFrame(content);
    panel->setObjectName(Q(p.panel));
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setFixedHeight(kFoldedPanelHeight);
    MakePanel(panel, Q(p.caption), 1, 1, 160);
    MakeBox(panel, AudioFormatBoxName(p), "Yes", 176, 1, 60);
    MakeBox(panel, AudioDetailName(p), "For Detial", 250, 1, 100);
    MakeText(panel, "MaxCH", 12, 28, 44);
    MakeEdit(panel, AudioMaxChannelsName(p), "0", 58, 28, 36);
    if (p.hasBitRate) {
        MakeText(panel, "BitRate", 120, 28, 50);
        MakeEdit(panel, AudioBitRateName(p), "     0", 172, 28, 60);
    }
    for (const auto& rate : kAudioRates) {
        const int k = rate.number - 1;
        MakeBox(panel, AudioRateName(p, rate.number), rate.caption, 12 + (k % 4) * 96,
                54 + (k / 4) * 24, 96);
    }
    content->layout()->addWidget(panel);
}

void BuildAudio2(QWidget* sheet) {
    auto* scroll = new QScrollArea(sheet);
    scroll->setObjectName("ScrollBox1");
    scroll->setGeometry(2, 2, 426, 290);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setFocusPolicy(Qt::StrongFocus);
    auto* content = new QWidget;
    content->setObjectName("ScrollBox1Content");
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(2, 2, 2, 2);
    column->setSpacing(2);
    for (const auto& panel : kAudioPanels)
        BuildAudioPanel(content, panel);
    column->addStretch(1);
    scroll->setWidget(content);
}

// ---- "Color Space"

std::vector<RowBox> FlagRow(std::string_view prefix, const FlagBox* boxes, std::size_t count,
                            std::string_view panel) {
    std::vector<RowBox> row;
    for (std::size_t i = 0; i < count; ++i)
        row.push_back({ControlName(prefix, boxes[i].number), panel, boxes[i].caption});
    return row;
}

void BuildColorSpace(QWidget* sheet) {
    // narrower row panels than the other pages: the colorimetry and EOTF captions are long
    constexpr int kPanel = 100;
    auto row = [&](std::string_view prefix, const FlagBox* boxes, std::size_t count,
                   std::string_view panel, QWidget* parent, int y, int width, int perRow) {
        return LayRows(parent, FlagRow(prefix, boxes, count, panel), y, width, perRow, kPanel);
    };
    int y = row(kColorSpacePrefix, kColorSpaces.data(), 3, "     Color Space", sheet, 4, 104, 3);
    y = row(kColorDepthPrefix, kColorDepths.data(), 3, "     Color Depth", sheet, y, 104, 3);
    // colorimetry: the BT.2020 boxes under their own panel, the rest three to a row
    y = row(kColorimetryPrefix, kColorimetries.data(), 3, kBt2020Panel, sheet, y, 104, 3);
    y = row(kColorimetryPrefix, kColorimetries.data() + 3, 5, "     Colorimetry", sheet, y, 104, 3);

    // HDR: folded to its title line until "For Detial" is ticked
    auto* hdr = new QFrame(sheet);
    hdr->setObjectName(Q(kHdrPanel));
    hdr->setFrameShape(QFrame::StyledPanel);
    hdr->setGeometry(4, y + 2, 424, kFoldedPanelHeight);
    MakePanel(hdr, "     HDR", 1, 1, 160);
    MakeBox(hdr, kHdrDetail, "For Detial", 250, 1, 100);
    // inside the HDR panel the row panels are narrower still, for the two long EOTF captions
    constexpr int kHdrRowPanel = 84, kHdrLeft = kHdrRowPanel + 12;
    auto hdrRow = [&](std::string_view prefix, const FlagBox* boxes, std::string_view panel, int y,
                      int width, int perRow) {
        return LayRows(hdr, FlagRow(prefix, boxes, 3, panel), y, width, perRow, kHdrRowPanel);
    };
    int hy = hdrRow(kHdrDeepColourPrefix, kHdrDeepColours.data(), "   Depth", 28, 100, 3);
    hy = hdrRow(kHdrEotfPrefix, kHdrEotfs.data(), "   EOTF", hy, 160, 2);
    MakePanel(hdr, "   Luminance", 8, hy, kHdrRowPanel);
    for (std::size_t i = 0; i < kHdrLuminanceLabels.size(); ++i) {
        const int x = kHdrLeft + static_cast<int>(i) * 104;
        MakeText(hdr, Q(kHdrLuminanceLabels[i]), x, hy, 30);
        MakeEdit(hdr, ControlName(kHdrLuminancePrefix, static_cast<int>(i) + 1), "    0", x + 32,
                 hy, 56);
    }
    hy += kRowStep;
    MakePanel(hdr, "   Metadata", 8, hy, kHdrRowPanel);
    MakeBox(hdr, kHdrDescriptorType1, "Type 1", kHdrLeft, hy, 80);
}

// ---- "Others"

void BuildOthers(QWidget* sheet) {
    MakePanel(sheet, "     3D", 8, 12, 150);
    MakeBox(sheet, k3DPresent, "Yes", 166, 12, 80);
    MakePanel(sheet, "     CEC Address :", 8, 12 + kRowStep + 8, 150);
    MakeEdit(sheet, kCecAddress, "0000", 166, 12 + kRowStep + 8, 80);
    auto* format = new QGroupBox("Format", sheet);
    format->setGeometry(4, 12 + 2 * (kRowStep + 8), 424, 52);
    auto* hdmi = new QRadioButton("HDMI", format);
    hdmi->setObjectName(Q(kFormatHdmi));
    hdmi->setGeometry(12, 22, 80, kRowHeight);
    hdmi->setChecked(true);
    auto* dvi = new QRadioButton("DVI", format);
    dvi->setObjectName(Q(kFormatDvi));
    dvi->setGeometry(100, 22, 80, kRowHeight);
}

} // namespace

void BuildEdidCreator(QWidget* page) {
    auto* warning = new QLabel(page);
    warning->setObjectName(Q(kWarningLine));
    warning->setTextFormat(Qt::PlainText);
    warning->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    warning->setGeometry(8, 2, 344, 16);
    // the ready-made EDIDs, opened as Open opens a file
    auto* presets = new QPushButton(QStringLiteral("Presets\u2026"), page);
    presets->setObjectName("Button_Presets_Creator");
    presets->setToolTip(QStringLiteral("Open a ready-made EDID"));
    presets->setGeometry(356, 0, 80, 20);

    auto* select = new QGroupBox("Select", page);
    select->setObjectName("GroupBox9");
    select->setGeometry(8, 18, 428, 78);
    MakeSpeedButton(select, "SpeedButton_OpenEdid_Creator", "Open", 8, 18);
    MakeSpeedButton(select, "SpeedButton_OpenEdid_New", "New", 62, 18);
    MakeSpeedButton(select, "SpeedButton_SaveEdid_Creator", "Save", 116, 18);
    MakeSpeedButton(select, "SpeedButton_CopyEdid_Creator", "Upload", 170, 18);
    auto* upload = new QComboBox(select);
    upload->setObjectName("ComboBox_EdidSel_Upload");
    upload->setGeometry(232, 18, 104, 24);
    auto* hex = new QPushButton(QStringLiteral("Hex View\u2026"), select);
    hex->setObjectName("Button_HexView_Creator");
    hex->setGeometry(340, 18, 80, 24);
    // room for a reason of three short lines (the page wraps it and fits its font)
    auto* status = new QLabel(select);
    status->setObjectName("Label3");
    status->setTextFormat(Qt::PlainText);
    status->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    status->setGeometry(232, 43, 190, 33);

    auto* pages = new QTabWidget(page);
    pages->setObjectName("PageControl2");
    pages->setGeometry(4, 100, 436, 322);
    const struct {
        const char* name;
        const char* caption;
        void (*build)(QWidget*);
    } sheets[] = {
        {"TabSheet5", "Descriptor", BuildDescriptor}, {"TabSheet6", "PC Timing", BuildPcTiming},
        {"TabSheet7", "SD/HD/UHD", BuildVideo},       {"TabSheet8", "Audio1", BuildAudio1},
        {"TabSheet11", "Audio2", BuildAudio2},        {"TabSheet9", "Color Space", BuildColorSpace},
        {"TabSheet12", "Others", BuildOthers}};
    for (const auto& s : sheets) {
        auto* sheet = new QWidget;
        sheet->setObjectName(s.name);
        s.build(sheet);
        pages->setTabToolTip(pages->addTab(sheet, s.caption), s.caption);
    }
    // all seven tabs in sight, none behind scroll arrows: narrow padding, and should a font still
    // be too wide, the captions shortened (each tab's tooltip holds its whole caption)
    pages->setUsesScrollButtons(false);
    pages->setElideMode(Qt::ElideRight);
    pages->tabBar()->setStyleSheet(QStringLiteral("QTabBar::tab { padding: 3px 4px; }"));
}

} // namespace tavo::pages
