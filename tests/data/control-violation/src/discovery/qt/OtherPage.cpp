// Another page that writes the status line of the page above: tests/check-layers.sh must refuse it.
void OtherPage::Select() {
    control<QLabel>("Label_Status")->setText("selected");
}
