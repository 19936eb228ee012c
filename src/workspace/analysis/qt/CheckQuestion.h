#pragma once
// The window's question before it writes an EDID that fails the check
// (workspace/analysis/WriteCheck.h): which rules fail, and "Repair and write", "Write as it is" or
// "Cancel", through Dialogs. The controller's upload of a file and the creator's upload and save
// ask it.
#include <QString>

#include "edid/EdidImage.h"
#include "workspace/analysis/WriteCheck.h"

class QWidget;

namespace tavo {

enum class WriteChoice { AsItIs, Repaired, Cancel };

struct CheckedWrite {
    WriteChoice choice = WriteChoice::AsItIs;
    EdidImage image{}; // what to write: the EDID itself or its repair (Cancel: the EDID)
    WriteCheck check;
    bool asked = false; // the operator was asked
    explicit operator bool() const { return choice != WriteChoice::Cancel; }
};

// `image` checked: one that passes or only warns is written as it is without a question; one
// that fails is written as the operator answers over `parent` (a box titled `caption`). When
// nothing could be written (no repair helps and the EDID does not validate) nothing is asked and
// the choice is Cancel.
CheckedWrite AskBeforeWritingFailingEdid(QWidget* parent, const QString& caption,
                                         const EdidImage& image);

// The debug log's lines for a repaired write: "Repaired before writing:" and each change.
QString RepairLogText(const CheckedWrite& write);

} // namespace tavo
