// The grid beside the settings page, writing that page's status line: tests/check-layers.sh must
// refuse it.
void DeviceGrid::Select() {
    control<QLabel>("Label_IpConfig_Status")->clear();
}
