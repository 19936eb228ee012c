#pragma once
// A minimal window with the object names the serial link attaches to, for the link's widget and
// end-to-end tests (the real main window has the same names).
#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QWidget>
#include <map>
#include <string>

namespace tavo::testing {

struct LinkTestForm {
    QWidget root;
    QTableWidget* grid = nullptr;
    QPlainTextEdit* memo = nullptr;
    QPushButton* search = nullptr;
    QPushButton* disconnect = nullptr;
    QGroupBox* firmware = nullptr;
    std::map<std::string, std::string> glyphs; // button -> last glyph set

    // headerInRow0: the header cells are table row 0 (otherwise the table's header view)
    explicit LinkTestForm(bool headerInRow0 = false) {
        root.setObjectName("Form1");
        auto* layout = new QVBoxLayout(&root);
        grid = new QTableWidget(headerInRow0 ? 2 : 1, 6, &root);
        grid->setObjectName("StringGrid1");
        const char* header[] = {"#",           "Interface",  "Product",
                                "Description", "IP Address", "MAC Address"};
        for (int c = 0; c < 6; ++c) {
            if (headerInRow0)
                grid->setItem(0, c, new QTableWidgetItem(header[c]));
            else
                grid->setHorizontalHeaderItem(c, new QTableWidgetItem(header[c]));
        }
        memo = new QPlainTextEdit(&root);
        memo->setObjectName("Memo_Debug");
        search = new QPushButton("Search", &root);
        search->setObjectName("BitBtn_Search");
        disconnect = new QPushButton("Disconnect", &root);
        disconnect->setObjectName("BitBtn_Disconnect");
        disconnect->setEnabled(false);
        for (const char* n : {"ComboBox_EdidSel_All", "ComboBox_EdidSel_Src",
                              "ComboBox_EdidSel_Dest", "ComboBox_EdidSel_Upload"}) {
            auto* c = new QComboBox(&root);
            c->setObjectName(n);
        }
        firmware = new QGroupBox("Firmware", &root);
        firmware->setObjectName("GroupBox4");
        for (const char* n :
             {"SpeedButton_OpenEdid", "SpeedButton_SaveEdid", "SpeedButton_CopyEdid_Src2Dest",
              "SpeedButton_CopyEdid_Creator", "SpeedButton_AnalysisEdid"}) {
            auto* b = new QPushButton(&root);
            b->setObjectName(n);
        }
        auto* modes = new QGroupBox("Mode Select", &root);
        modes->setObjectName("GroupBox12");
        auto* ml = new QVBoxLayout(modes);
        auto addRadio = [&](const QString& prefix, const QString& caption, int count) {
            for (int i = 1; i <= count; ++i) {
                auto* r = new QRadioButton(caption + " " + QString::number(i), modes);
                r->setObjectName(prefix + QString::number(i));
                r->setEnabled(false);
                ml->addWidget(r);
            }
        };
        addRadio("RadioButton_Set_IntEdid", "Internal", 8);
        addRadio("RadioButton_Set_ExtEdid", "External", 1);
        addRadio("RadioButton_Set_UserEdid", "User", 8);
        for (QWidget* w : root.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            layout->addWidget(w);
    }

    template <class T = QAbstractButton> T* w(const QString& name) {
        return root.findChild<T*>(name);
    }
    QComboBox* combo(const char* name) { return root.findChild<QComboBox*>(name); }
    QStringList items(const char* name) {
        QStringList out;
        QComboBox* c = combo(name);
        for (int i = 0; i < c->count(); ++i)
            out << c->itemText(i);
        return out;
    }
    // Text of grid row r (row 1 is the first device) column c, "" for no item.
    QString cell(int gridRow, int c) {
        const int row = grid->item(0, 0) && grid->item(0, 0)->text() == "#" ? gridRow : gridRow - 1;
        const QTableWidgetItem* item = grid->item(row, c);
        return item ? item->text() : QString();
    }
    QStringList row(int gridRow) {
        QStringList out;
        for (int c = 0; c < 6; ++c)
            out << cell(gridRow, c);
        return out;
    }
    QString log() const { return memo->toPlainText(); }
    QStringList enabledModeButtons() {
        QStringList out;
        for (QRadioButton* r : root.findChildren<QRadioButton*>())
            if (r->isEnabled()) out << r->objectName();
        out.sort();
        return out;
    }
    QString checkedModeButton() {
        for (QRadioButton* r : root.findChildren<QRadioButton*>())
            if (r->isChecked()) return r->objectName();
        return {};
    }
};

} // namespace tavo::testing
