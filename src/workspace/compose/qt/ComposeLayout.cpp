#include "workspace/compose/qt/ComposeLayout.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "workspace/analysis/qt/SummaryView.h"

namespace tavo::pages {

namespace {

QString Q(std::string_view s) {
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& text) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    return b;
}

// Left: the sources, where the audio comes from, the result's name, what was left out.
QWidget* BuildSources(QWidget* window) {
    auto* column = new QWidget(window);
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);

    auto* sources = new QGroupBox(QStringLiteral("Sources (ticked: composed)"), column);
    sources->setObjectName("GroupBox_Compose_Sources");
    auto* sourcesLayout = new QVBoxLayout(sources);
    auto* list = new QListWidget(sources);
    list->setObjectName("ListBox_Compose_Sources");
    sourcesLayout->addWidget(list);
    auto* add = new QHBoxLayout;
    add->addWidget(MakeButton(sources, "Button_Compose_AddFile", QStringLiteral("Add file\u2026")));
    add->addWidget(
        MakeButton(sources, "Button_Compose_AddDisplay", QStringLiteral("Add display\u2026")));
    add->addWidget(MakeButton(sources, "Button_Compose_Remove", QStringLiteral("Remove")));
    sourcesLayout->addLayout(add);
    layout->addWidget(sources, 3);

    auto* options = new QGridLayout;
    options->addWidget(new QLabel(QStringLiteral("Audio from:"), column), 0, 0);
    auto* audio = new QComboBox(column);
    audio->setObjectName("ComboBox_Compose_AudioFrom");
    options->addWidget(audio, 0, 1);
    options->addWidget(new QLabel(QStringLiteral("Monitor name:"), column), 1, 0);
    auto* name = new QLineEdit(QStringLiteral("Common EDID"), column);
    name->setObjectName("Edit_Compose_Name");
    name->setMaxLength(13); // what a monitor-name descriptor holds
    options->addWidget(name, 1, 1);
    options->setColumnStretch(1, 1);
    layout->addLayout(options);

    auto* leftOut = new QGroupBox(QStringLiteral("Left out"), column);
    leftOut->setObjectName("GroupBox_Compose_LeftOut");
    auto* leftOutLayout = new QVBoxLayout(leftOut);
    auto* omissions = new QListWidget(leftOut);
    omissions->setObjectName("ListBox_Compose_LeftOut");
    // long lines wrap rather than scroll sideways
    omissions->setWordWrap(true);
    omissions->setTextElideMode(Qt::ElideNone);
    omissions->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    omissions->setResizeMode(QListView::Adjust);
    leftOutLayout->addWidget(omissions);
    layout->addWidget(leftOut, 2);
    return column;
}

// Right: the result's analyzer rows, the message line and the result's buttons.
QWidget* BuildResult(QWidget* window) {
    auto* column = new QWidget(window);
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* result = new QGroupBox(QStringLiteral("Result"), column);
    result->setObjectName("GroupBox_Compose_Result");
    auto* rows = new QGridLayout(result);
    rows->setVerticalSpacing(2);
    for (int i = 0; i < kSummaryRowCount; ++i) {
        auto* caption = new QLabel(SummaryCaption(kSummaryTitles[i]).trimmed(), result);
        rows->addWidget(caption, i, 0, Qt::AlignTop);
        auto* value = new QLabel(QStringLiteral("-"), result);
        value->setObjectName(Q(kSummaryLabelNames[i]) + QStringLiteral("_Compose"));
        value->setTextFormat(Qt::PlainText);
        rows->addWidget(value, i, 1, Qt::AlignTop);
    }
    rows->setColumnStretch(1, 1);
    layout->addWidget(result);

    auto* message = new QLabel(column);
    message->setObjectName("Label_Compose_Message");
    message->setTextFormat(Qt::PlainText);
    message->setWordWrap(true);
    message->setMinimumHeight(36);
    layout->addWidget(message);

    auto* files = new QHBoxLayout;
    files->addWidget(
        MakeButton(column, "Button_Compose_HexView", QStringLiteral("Hex View\u2026")));
    files->addWidget(MakeButton(column, "Button_Compose_Save", QStringLiteral("Save\u2026")));
    layout->addLayout(files);
    auto* upload = new QHBoxLayout;
    upload->addWidget(new QLabel(QStringLiteral("Into slot:"), column));
    auto* slot = new QComboBox(column);
    slot->setObjectName("ComboBox_Compose_Upload");
    upload->addWidget(slot, 1);
    upload->addWidget(MakeButton(column, "Button_Compose_Upload", QStringLiteral("Upload")));
    layout->addLayout(upload);
    layout->addStretch(1);
    return column;
}

} // namespace

void BuildCompose(QWidget* window) {
    window->setWindowTitle(QStringLiteral("Compose"));
    auto* layout = new QHBoxLayout(window);
    layout->addWidget(BuildSources(window), 1);
    layout->addWidget(BuildResult(window), 1);
    window->resize(720, 480);
}

} // namespace tavo::pages
