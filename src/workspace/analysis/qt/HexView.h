#pragma once
// The behaviour of "Hex View" (layout: HexViewLayout.{h,cpp}): fills the hex grid with an image's
// bytes in the colours of its parts, lists the parts, selects a part (from the list or by a click
// on one of its bytes) and shows its decoded fields, marks the bytes that differ from the image
// shown beside (the creator's build and the EDID it opened), and runs edid-decode on the same
// bytes for "Full report".
//
// One window for the whole program, owned by the main window; the analyzer and the creator both
// show their EDID in it:
//
//   HexView::Of(root)->Show(image, std::nullopt, button->window());
#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "edid/EdidImage.h"
#include "ui/qt/PageBase.h"
#include "workspace/analysis/HexGrid.h"

class QAbstractButton;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QProcess;
class QTabWidget;
class QTableWidget;
class QTimer;
class QWidget;

namespace tavo {

// How long edid-decode may take before it is stopped, in milliseconds.
inline constexpr int kFullReportLimitMs = 5000;

class HexView : public PageBase {
    Q_OBJECT
public:
    // The hex view of the main window `root` belongs to: the one already made, or a new one.
    static HexView* Of(QWidget* root);
    // The one already made, or null.
    static HexView* Existing(QWidget* root);
    // Where edid-decode is: TAVO_EDID_DECODE when set (empty when that is no program), else the
    // program on the PATH; empty when there is none.
    static QString EdidDecodePath();

    // Attaches to the controls of `window` (built by BuildHexView).
    explicit HexView(QWidget* window);

    // Shows `image`; with `opened`, that image beside it and the bytes that differ marked in
    // both. The window is placed beside `near` when it was hidden, and kept on the screen. The
    // title names `source` ("Input 1 (analysis)"); with `analysis` the view follows the next
    // analysis (FollowAnalysis).
    void Show(const EdidImage& image, const std::optional<EdidImage>& opened, QWidget* near,
              const QString& source = QString(), bool analysis = false, bool creator = false);
    // The same for an EDID of any size (HexGrid.h: more than 256 bytes are shown, and mapped,
    // block by block); `opened` empty for none.
    void ShowBytes(std::span<const std::uint8_t> bytes, std::span<const std::uint8_t> opened,
                   QWidget* near, const QString& source = QString(), bool analysis = false,
                   bool creator = false);
    // A new analysis of `slot` was made: a visible view that shows an analysis shows this one
    // (`image`), or, when the slot could not be read (null), says in its title that what it
    // shows is not of the analysed slot.
    void FollowAnalysis(const EdidImage* image, const QString& slot);
    // The creator's EDID was replaced (another Open, New, a preset): a visible view that shows
    // the creator's build shows `image` beside `opened` instead, titled `source`.
    void FollowCreator(std::span<const std::uint8_t> bytes, std::span<const std::uint8_t> opened,
                       const QString& source);
    // Selects part `index` of the block map: its bytes, its line in the list, its fields.
    void SelectPart(int index);
    // Selects the part that holds byte `offset`, as a click on that byte does (a check's
    // finding names its part by its offset).
    void SelectPartAt(int offset);
    // Runs edid-decode on the bytes shown and shows what it prints.
    void Button_FullReportClick();

    void setReportLimit(int ms) { reportLimitMs_ = ms; }
    QWidget* window() const { return window_; }
    const HexGrid& grid() const { return grid_; }
    // The bytes shown (HexGrid.h: 256 for a slot's image).
    const std::vector<std::uint8_t>& bytes() const { return grid_.bytes; }
    int selectedPart() const { return selected_; }

private:
    void fillGrid(QTableWidget* table, const HexGrid& grid, const std::vector<std::uint8_t>* other);
    void selectBytes(QTableWidget* table, const BlockPart& part);
    void place(QWidget* near);
    void display(std::span<const std::uint8_t> bytes, std::span<const std::uint8_t> opened);
    void setTitle(const QString& detail);
    // edid-decode's output is kept up to a limit; the run ends with `verdict` before it
    void keepOutput(QProcess* process);
    void endReport(QProcess* process, const QString& verdict);

    QPointer<QWidget> window_;
    QPointer<QTableWidget> hex_, opened_;
    QPointer<QWidget> openedPanel_;
    QPointer<QLabel> shownCaption_, changedLabel_;
    QPointer<QListWidget> parts_;
    QPointer<QPlainTextEdit> fields_, report_;
    QPointer<QTabWidget> details_;
    QPointer<QAbstractButton> fullReport_;

    HexGrid grid_;       // the bytes shown, their parts, what differs from the opened EDID
    HexGrid openedGrid_; // the opened EDID beside them, when there is one (`hasOpened_`)
    bool hasOpened_ = false;
    int selected_ = -1;
    QString source_;             // what the bytes shown are of, for the title
    bool showsAnalysis_ = false; // they are an analysis: the next one replaces them
    bool showsCreator_ = false;  // they are the creator's build: its next EDID replaces them
    int reportLimitMs_ = kFullReportLimitMs;
    bool reportRunning_ = false;
    QPointer<QProcess> reportProcess_; // the running edid-decode
    QTimer* reportLimit_ = nullptr;    // ends it after reportLimitMs_
    QByteArray reportOutput_;          // what it printed so far
    unsigned reportShown_ = 0;         // shown_ when it started
    unsigned shown_ = 0; // counts Show calls: a report of bytes no longer shown is dropped
};

} // namespace tavo
