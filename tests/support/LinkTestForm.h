#pragma once
// The real main window on a link transport (an in-memory one, or the serial ports when none is
// given), with what the link's widget and end-to-end tests read of it: the grid, the debug log,
// the buttons, the firmware group, the slot lists, the glyphs and the Mode Select buttons.
#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <memory>
#include <string>

#include "app/qt/AppState.h"
#include "app/qt/User_interface.h"
#include "link/qt/LinkTransport.h"
#include "link/qt/UartController.h"
#include "ui/qt/Glyphs.h"
#include "ui/qt/StringGrid.h"

namespace tavo::testing {

struct LinkTestForm {
    AppState state;
    std::unique_ptr<TForm1> window;
    StringGrid* grid = nullptr;
    QPlainTextEdit* memo = nullptr;
    QPushButton* search = nullptr;
    QPushButton* disconnect = nullptr;
    QGroupBox* firmware = nullptr;

    explicit LinkTestForm(LinkTransport* transport = nullptr)
        : window(std::make_unique<TForm1>(state, nullptr, transport)) {
        grid = window->StringGrid1;
        memo = window->Memo_Debug;
        search = window->BitBtn_Search;
        disconnect = window->BitBtn_Disconnect;
        firmware = window->findChild<QGroupBox*>("GroupBox4");
    }

    UartController& controller() { return *window->Uart; }
    std::string glyph(const char* button) const {
        return GlyphOf(window->findChild<QAbstractButton*>(button)).toStdString();
    }
    QComboBox* combo(const char* name) { return window->findChild<QComboBox*>(name); }
    QStringList items(const char* name) {
        QStringList out;
        QComboBox* c = combo(name);
        for (int i = 0; i < c->count(); ++i)
            out << c->itemText(i);
        return out;
    }
    // Text of grid row r (row 1 is the first device) column c.
    QString cell(int gridRow, int c) { return grid->Cell(gridRow, c); }
    QStringList row(int gridRow) {
        QStringList out;
        for (int c = 0; c < 6; ++c)
            out << cell(gridRow, c);
        return out;
    }
    QString log() const { return memo->toPlainText(); }
    QList<QRadioButton*> modeButtons() {
        QList<QRadioButton*> out;
        for (QRadioButton* r : window->findChildren<QRadioButton*>())
            if (r->objectName().startsWith("RadioButton_Set_")) out << r;
        return out;
    }
    QStringList enabledModeButtons() {
        QStringList out;
        for (QRadioButton* r : modeButtons())
            if (r->isEnabled()) out << r->objectName();
        out.sort();
        return out;
    }
    QString checkedModeButton() {
        for (QRadioButton* r : modeButtons())
            if (r->isChecked()) return r->objectName();
        return {};
    }
};

} // namespace tavo::testing
