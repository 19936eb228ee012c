// A layout in a room: it names a row of the analysis.
void BuildEdidAnalyzer(QWidget* page) {
    auto* header = new QLabel(page);
    header->setObjectName("Label_Edid_Header");
}
