// The layout's own page, beside it in its room: it may look the row up.
void EdidControllerPage::Show() {
    control<QLabel>("Label_Edid_Header")->setText("OK");
}
