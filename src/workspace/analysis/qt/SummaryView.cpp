#include "workspace/analysis/qt/SummaryView.h"

#include "ui/qt/ShownText.h"

namespace tavo {
namespace {

// The audio row's entries each end with a comma; past this many characters the next entry
// starts a second line.
constexpr std::size_t kAudioLineLength = 30;

QString Latin1(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

QString SummaryCaption(std::string_view title) {
    return QStringLiteral("    ") + Latin1(title) + QStringLiteral(" :");
}

ShownSummary SummaryAsShown(const AnalyzerSummary& summary) {
    ShownSummary shown;
    for (int i = 0; i < kSummaryRowCount; ++i)
        shown.rows[i] = ShownLatin1(summary.rows[i].View());
    QString& audio = shown.rows[static_cast<int>(SummaryRow::AudioFormats)];
    if (summary.valid) {
        for (qsizetype end = audio.indexOf(QLatin1Char(',')); end >= 0;
             end = audio.indexOf(QLatin1Char(','), end + 1)) {
            if (end + 1 < audio.size() && std::size_t(end + 1) > kAudioLineLength) {
                audio.insert(end + 1, QLatin1Char('\n'));
                shown.audioWrapped = true;
                break;
            }
        }
    }
    shown.glyph = Latin1(summary.valid ? kGlyphModifyColor : kGlyphModifyGray);
    return shown;
}

int AudioRowHeight(const AnalyzerSummary& summary, const ShownSummary& shown, int current) {
    if (!summary.valid) return current;
    return shown.audioWrapped ? kAudioPanelWrappedHeight : kAudioPanelHeight;
}

} // namespace tavo
