#include "discovery/qt/UdpEndpoints.h"

#include <QNetworkProxy>
#include <QVariant>

namespace tavo {

QByteArray DiscoveryRequestDatagram() {
    const std::vector<std::uint8_t> bytes = BuildDiscoveryRequest();
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

UdpEndpoints::UdpEndpoints(QObject* parent) : QObject(parent) {
    listener_.setObjectName("IdUDPServer1");
    listener_.setProperty("defaultPort", int(kDiscoveryInPort));
    sender_.setObjectName("IdUDPClient1");
    sender_.setProperty("host", QString::fromLatin1(kDiscoveryBroadcast));
    sender_.setProperty("port", int(kDiscoveryOutPort));
    receiver_.setObjectName("IdIPMCastClient1");
    receiver_.setProperty("group", QString::fromLatin1(kDiscoveryGroup));
    receiver_.setProperty("defaultPort", int(kDiscoveryInPort));
    multicastSender_.setObjectName("IdIPMCastServer1");
    multicastSender_.setProperty("group", QString::fromLatin1(kDiscoveryGroup));
    multicastSender_.setProperty("port", int(kDiscoveryOutPort));
    // The discovery talks to the local network only. Without this, Qt asks the system's proxy
    // configuration (a helper thread, several milliseconds) at the first bind or send.
    for (QUdpSocket* socket : {&listener_, &sender_, &receiver_, &multicastSender_})
        socket->setProxy(QNetworkProxy::NoProxy);
    connect(&receiver_, &QUdpSocket::readyRead, this, &UdpEndpoints::ReadPending);
}

bool UdpEndpoints::ActivateReceiver() {
    if (ReceiverActive()) return true;
    if (!receiver_.bind(QHostAddress::AnyIPv4, kDiscoveryInPort, QUdpSocket::DontShareAddress)) {
        receiverError_ = receiver_.errorString();
        return false;
    }
    joined_ = receiver_.joinMulticastGroup(Group());
    if (!joined_) receiverError_ = receiver_.errorString();
    return true;
}

bool UdpEndpoints::ReceiverActive() const {
    return receiver_.state() == QAbstractSocket::BoundState;
}

bool UdpEndpoints::SendBroadcast(const QByteArray& datagram) {
    return sender_.writeDatagram(datagram, QHostAddress::Broadcast, kDiscoveryOutPort) ==
           datagram.size();
}

bool UdpEndpoints::SendMulticast(const QByteArray& datagram) {
    return multicastSender_.writeDatagram(datagram, Group(), kDiscoveryOutPort) == datagram.size();
}

int UdpEndpoints::SendDiscoveryRequest() {
    const QByteArray request = DiscoveryRequestDatagram();
    return int(SendBroadcast(request)) + int(SendMulticast(request));
}

void UdpEndpoints::ReadPending() {
    while (receiver_.hasPendingDatagrams()) {
        const QNetworkDatagram datagram = receiver_.receiveDatagram();
        if (datagram.isValid()) emit datagramReceived(datagram);
    }
}

} // namespace tavo
