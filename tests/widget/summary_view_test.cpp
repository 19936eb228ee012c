// How the window shows an analysis: the audio row's single break and its panel's height, the
// glyph, and the rows of an invalid EDID, which keep the panel as it is.
#include <QTest>

#include "edid/Decoder.h"
#include "edid/NewEdidTemplate.h"
#include "workspace/analysis/qt/SummaryView.h"

using namespace tavo;

class SummaryViewTest : public QObject {
    Q_OBJECT

private slots:
    void audioRowBreaksOnceAfterThe30thCharacter() {
        struct Case {
            std::uint16_t formats;
            const char* shown;
            int height;
        } cases[] = {
            {kAudioLpcm2 | kAudioLpcmMulti | kAudioAc3 | kAudioEac3 | kAudioMat | kAudioDts,
             "2PCM,MPCM,DolbyD,DolbyD+,DolbyHD,\nDTS,", kAudioPanelWrappedHeight},
            {0x1FF, "2PCM,MPCM,DolbyD,DolbyD+,DolbyHD,\nDTS,DTSHD,AAC,OBA,",
             kAudioPanelWrappedHeight},
            // 27 characters, then "OBA," starts at 28: no break, 31 characters on one line
            {kAudioLpcmMulti | kAudioEac3 | kAudioMat | kAudioDts | kAudioOneBit,
             "MPCM,DolbyD+,DolbyHD,DTS,OBA,", kAudioPanelHeight},
            // "MPCM,DolbyD,DolbyD+,DolbyHD,DTS," is 32 > 30: the next entry breaks
            {kAudioLpcmMulti | kAudioAc3 | kAudioEac3 | kAudioMat | kAudioDts | kAudioAac,
             "MPCM,DolbyD,DolbyD+,DolbyHD,DTS,\nAAC,", kAudioPanelWrappedHeight},
            // exactly 30 characters before the last entry: no break
            {kAudioLpcmMulti | kAudioAc3 | kAudioEac3 | kAudioDtsHd | kAudioAac | kAudioOneBit,
             "MPCM,DolbyD,DolbyD+,DTSHD,AAC,OBA,", kAudioPanelHeight},
            // 31 characters before the last entry: break
            {kAudioLpcm2 | kAudioLpcmMulti | kAudioAc3 | kAudioMat | kAudioDtsHd | kAudioAac,
             "2PCM,MPCM,DolbyD,DolbyHD,DTSHD,\nAAC,", kAudioPanelWrappedHeight},
            {0, "", kAudioPanelHeight},
        };
        for (const auto& c : cases) {
            EdidRecord r;
            Decode(r, NewEdidTemplate());
            r.audioFormatsPresent = c.formats;
            const AnalyzerSummary s = Summarize(r);
            const ShownSummary shown = SummaryAsShown(s);
            QCOMPARE(shown.rows[int(SummaryRow::AudioFormats)], QString(c.shown));
            // a valid EDID sets the height whatever the panel had
            QCOMPARE(AudioRowHeight(s, shown, kAudioPanelWrappedHeight), c.height);
            QCOMPARE(AudioRowHeight(s, shown, kAudioPanelHeight), c.height);
            QCOMPARE(shown.glyph, QString("ModifyColor"));
        }
    }

    void invalidEdidKeepsThePanelAndGreysTheGlyph() {
        EdidImage image = NewEdidTemplate();
        image[255] ^= 1;
        EdidRecord r;
        r.image = image;
        const AnalyzerSummary s = AnalyseEdid(r);
        const ShownSummary shown = SummaryAsShown(s);
        QCOMPARE(shown.rows[int(SummaryRow::Header)], QString("Illegal (header good)"));
        QCOMPARE(shown.rows[int(SummaryRow::AudioFormats)], QString("-"));
        QCOMPARE(shown.glyph, QString("ModifyGray"));
        for (int height : {kAudioPanelHeight, kAudioPanelWrappedHeight})
            QCOMPARE(AudioRowHeight(s, shown, height), height);
    }

    void captionsAndControlCharacters() {
        QCOMPARE(SummaryCaption(kSummaryTitles[0]), QString("    EDID Header :"));
        AnalyzerSummary s;
        s.valid = true;
        s.rows[int(SummaryRow::MonitorName)].Assign("A\x1b[2J\xe9");
        QCOMPARE(SummaryAsShown(s).rows[int(SummaryRow::MonitorName)],
                 QString::fromUtf8("A\\x1B[2J\u00e9"));
    }
};

QTEST_MAIN(SummaryViewTest)
#include "summary_view_test.moc"
