#include "discovery/qt/IpConfigurePage.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDesktopServices>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QUrl>
#include <QWidget>

#include "discovery/qt/DeviceGrid.h"
#include "discovery/qt/UdpEndpoints.h"
#include "ui/qt/Dialogs.h"

namespace tavo {

namespace {

const QString kNoLongerListed =
    QStringLiteral("The device shown is no longer listed: select its row again.");

} // namespace

IpConfigurePage::IpConfigurePage(QObject* parent) : PageBase(parent) {
    openUrl_ = [](const QString& url) { return QDesktopServices::openUrl(QUrl(url)); };
}

void IpConfigurePage::attach(QWidget* window, QWidget* sheet, DeviceGrid& rows, UdpEndpoints* udp) {
    attachTo(window, {sheet});
    rows_ = &rows;
    productId_ = control<QLabel>("Label_Product_ID");
    productName_ = control<QLabel>("Label_Product_Name");
    mac_ = control<QLabel>("Label_MAC_Addr");
    ipMode_ = control<QComboBox>("ComboBox_IP_Mode");
    ip_ = control<QLineEdit>("Edit_IP_Address");
    mask_ = control<QLineEdit>("Edit_SubNet_Mask");
    gateway_ = control<QLineEdit>("Edit_GateWay_IP");
    dns_ = control<QLineEdit>("Edit_DNS");
    webPort_ = control<QLineEdit>("Edit_WebGUI_Port");
    telnetPort_ = control<QLineEdit>("Edit_Telnet_Port");
    serial_ = control<QLabel>("Label_Serial_Num");
    description_ = control<QLabel>("Label_Description");
    webLink_ = control<QLabel>("Label_Web_Link");
    status_ = control<QLabel>("Label_IpConfig_Status");
    if (auto* b = control<QAbstractButton>("SpeedButton1"))
        connect(b, &QAbstractButton::clicked, this, &IpConfigurePage::SpeedButton1Click);
    if (auto* b = control<QAbstractButton>("SpeedButton2"))
        connect(b, &QAbstractButton::clicked, this, &IpConfigurePage::SpeedButton2Click);
    if (webLink_) webLink_->installEventFilter(this);
    if (udp && !sendDatagram_)
        sendDatagram_ = [u = QPointer<UdpEndpoints>(udp)](const QByteArray& d) {
            return u && u->SendMulticast(d);
        };
}

bool IpConfigurePage::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease && watched == webLink_.data())
        Label_Web_LinkClick();
    return PageBase::eventFilter(watched, event);
}

void IpConfigurePage::ShowDevice(const DeviceRecord&, const NetDeviceRecord& r) {
    showStatus(status_, QString(), Qt::black);
    shownMac_ = r.mac;
    const struct {
        QLabel* label;
        QString text;
    } labels[] = {{productId_, DeviceGrid::NetText(r.productId)},
                  {productName_, DeviceGrid::NetText(r.productName)},
                  {mac_, QString::fromStdString(MacText(r.mac))},
                  {serial_, DeviceGrid::NetText(r.serial)},
                  {description_, DeviceGrid::NetText(r.description)}};
    for (const auto& l : labels)
        if (l.label) l.label->setText(l.text);
    // a mode the page does not know shows none, and is kept (Apply sends no mode then)
    if (ipMode_) ipMode_->setCurrentIndex(r.ipMode == 0 || r.ipMode == 1 ? r.ipMode : -1);
    const struct {
        QLineEdit* edit;
        QString text;
    } edits[] = {
        {ip_, DeviceGrid::NetText(r.ip)},           {mask_, DeviceGrid::NetText(r.mask)},
        {gateway_, DeviceGrid::NetText(r.gateway)}, {dns_, DeviceGrid::NetText(r.dns)},
        {webPort_, QString::number(r.webPort)},     {telnetPort_, QString::number(r.telnetPort)}};
    for (const auto& e : edits)
        if (e.edit) e.edit->setText(e.text);
}

void IpConfigurePage::CloseIpConfigure() {
    shownMac_.reset();
    emit closed();
}

const NetDeviceRecord* IpConfigurePage::ShownRecord() const {
    if (!shownMac_ || !rows_) return nullptr;
    return rows_->ListedNetRecord(*shownMac_);
}

void IpConfigurePage::ShowStatus(const QString& text, bool failure, bool stays) {
    // a line to act on (an address to copy) stays until the next one
    showStatus(status_, text, failure ? Qt::red : Qt::black, stays ? -1 : kIpConfigStatusMs);
}

void IpConfigurePage::OpenWebPage() {
    const NetDeviceRecord* record = ShownRecord();
    if (!record) return;
    // the record's address: what the device announced or was last sent, not the edits
    const auto address = WebAddress(*record);
    if (!address || !openUrl_) return;
    const QString url = QString::fromLatin1(address->c_str());
    // without a browser the operator gets the address to copy
    if (!openUrl_(url))
        ShowStatus(QStringLiteral("No browser opened the page. Its address: ") + url, true, true);
}

NetConfigEdits IpConfigurePage::Edits() const {
    auto text = [](const QLineEdit* e) {
        return e ? e->text().toLatin1().toStdString() : std::string();
    };
    NetConfigEdits edits;
    if (ipMode_) edits.ipModeIndex = ipMode_->currentIndex();
    edits.ip = text(ip_);
    edits.mask = text(mask_);
    edits.gateway = text(gateway_);
    edits.dns = text(dns_);
    edits.webPort = text(webPort_);
    edits.telnetPort = text(telnetPort_);
    return edits;
}

void IpConfigurePage::SpeedButton2Click() {
    // the values on the page go to the device they were read from, whichever row is selected
    const NetDeviceRecord* record = ShownRecord();
    if (!record) {
        if (shownMac_) ShowStatus(kNoLongerListed, true);
        return;
    }
    const NetConfigEdits edits = Edits();
    const NetConfigResult result = BuildConfiguration(*record, edits);
    if (!result.ok) {
        ShowStatus(QString::fromStdString(result.error), true);
        return;
    }
    // an address another listed device holds would leave two rows with one address: asked first,
    // in the words `net configure` warns with
    const std::string taken = AddressTakenText(rows_->ListedNetRecords(), record->mac, edits.ip,
                                               result.record.ipMode == 1);
    if (!taken.empty() && !ConfirmWarning(dialogParent(), QStringLiteral("Warning"),
                                          QString::fromStdString(taken) +
                                              QStringLiteral(": send it all the same?"))) {
        ShowStatus(QStringLiteral("Nothing sent: ") + QString::fromStdString(taken) +
                       QStringLiteral("."),
                   true);
        return;
    }
    // the question ran the event loop: the row may be gone
    if (!rows_ || !ShownRecord()) {
        ShowStatus(kNoLongerListed, true);
        return;
    }
    const QByteArray datagram(reinterpret_cast<const char*>(result.datagram.data()),
                              qsizetype(result.datagram.size()));
    // the record changes only when the device was sent the change: a failed send leaves it as
    // the device still holds it
    if (!sendDatagram_ || !sendDatagram_(datagram)) {
        ShowStatus("The configuration could not be sent.", true);
        return;
    }
    // the row shows the address just sent, as the record keeps it
    rows_->UpdateNetRow(result.record);
    ShowStatus(QString::fromLatin1(DescribeConfiguration(result).c_str()), false);
    emit configurationSent(datagram);
}

} // namespace tavo
