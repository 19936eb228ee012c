// The settings page itself: it may look up its own status line.
void IpConfigurePage::attach() {
    status_ = control<QLabel>("Label_IpConfig_Status");
}
