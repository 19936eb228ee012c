// A page's layout: it names its status line.
void BuildStatus(QWidget* page) {
    auto* status = new QLabel(page);
    status->setObjectName("Label_Status");
}
