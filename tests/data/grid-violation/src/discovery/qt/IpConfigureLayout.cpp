// The settings page's layout: it names its status line.
void BuildIpConfigure(QWidget* page) {
    auto* status = new QLabel(page);
    status->setObjectName("Label_IpConfig_Status");
}
