#pragma once
// The small chooser behind "From a connected display…": the connected displays in a list, or a
// line that says none is connected. Opened through Dialogs::OpenEdid; tests build it directly.
#include <QDialog>

#include "ui/qt/Dialogs.h"

class QDialogButtonBox;
class QLabel;
class QListWidget;

namespace tavo {

inline constexpr const char* kTextNoDisplay = "No display is connected.";

class DisplayChooser : public QDialog {
    Q_OBJECT
public:
    explicit DisplayChooser(const QList<DisplayChoice>& displays, QWidget* parent = nullptr);
    // The chosen display's connector; empty when none is chosen.
    QString connector() const;

private:
    QLabel* label_ = nullptr;
    QListWidget* list_ = nullptr;
    QDialogButtonBox* buttons_ = nullptr;
};

} // namespace tavo
