#pragma once
// The behaviour of the check's two windows (layout: CheckLayout.{h,cpp}), reached from "EDID
// Analyzer":
// - "Check Details" (`Form_CheckDetails`): the analysed EDID's findings, one row each (severity,
//   rule, part, sentence); a row chosen shows its part selected in "Hex View";
// - "Repair" (`Form_Repair`): the analysed EDID repaired (edid/Repair.h) and each change, the
//   repairs that change a claim offered to tick (each change shown before anything is
//   written), and the repaired EDID saved to a file or uploaded into an input or user slot
//   through the controller page's verified write with the slot history.
//
//   CheckDetailsWindow::Make(mainWindow)->show(image, findings, "Input 1", analyzer);
//   RepairWindow::Make(controllerPage, mainWindow)->open(image, "Input 1", analyzer);
#include <QObject>
#include <QPointer>
#include <QString>
#include <string>
#include <vector>

#include "edid/Check.h"
#include "edid/EdidImage.h"
#include "edid/Repair.h"

class QAbstractButton;
class QComboBox;
class QLabel;
class QListWidget;
class QTableWidget;
class QWidget;

namespace tavo {

class EdidControllerPage;

inline constexpr const char* kRepairedName = "Repaired EDID.bin";
inline constexpr const char* kRepairNothing = "Nothing to repair.";
inline constexpr const char* kRepairNoDevice = "No device: the repaired EDID is not uploaded.";

class CheckDetailsWindow : public QObject {
    Q_OBJECT
public:
    // A new window "Form_CheckDetails" owned by the main window of `root`.
    static CheckDetailsWindow* Make(QWidget* root);
    explicit CheckDetailsWindow(QWidget* window);

    // Shows the findings of `image` (the analysis of `source`), placed beside `near` when hidden.
    void show(const EdidImage& image, const std::vector<Finding>& findings, const QString& source,
              QWidget* near);
    // The finding in `row` in "Hex View" (opened on the analysed bytes if need be), its part
    // selected.
    void showFinding(int row);

    QWidget* window() const { return window_; }
    const std::vector<Finding>& findings() const { return findings_; }

private:
    QPointer<QWidget> window_;
    QPointer<QTableWidget> table_;
    QPointer<QLabel> line_;
    EdidImage image_{};
    std::vector<Finding> findings_;
    QString source_;
};

class RepairWindow : public QObject {
    Q_OBJECT
public:
    // A new window "Form_Repair" owned by the main window of `root`.
    static RepairWindow* Make(EdidControllerPage& controller, QWidget* root);
    RepairWindow(EdidControllerPage& controller, QWidget* window);

    // Repairs `image` (the analysis of `source`) with the default repairs, offers the named ones
    // its findings call for, fills the upload list and shows the window (beside `near` when
    // hidden).
    void open(const EdidImage& image, const QString& source, QWidget* near);
    // Repairs again with the named repairs ticked, and shows what changes.
    void repair();

    // ---- the handlers
    void Button_Repair_HexViewClick();
    void Button_Repair_SaveClick();
    void Button_Repair_UploadClick();

    QWidget* window() const { return window_; }
    const RepairResult& result() const { return result_; }
    // The repaired EDID as a slot or a file holds it.
    EdidImage repaired() const;
    // The named repairs ticked.
    std::vector<std::string> namedRules() const;

private:
    void setMessage(const QString& text, bool failure);

    EdidControllerPage& controller_;
    QPointer<QWidget> window_;
    QPointer<QListWidget> named_, changes_;
    QPointer<QLabel> verdict_, message_;
    QPointer<QComboBox> upload_;
    QPointer<QAbstractButton> hexView_, save_, uploadButton_;
    EdidImage image_{};
    QString source_;
    RepairResult result_;
    bool filling_ = false; // the named list is being filled: no repair per item
};

} // namespace tavo
