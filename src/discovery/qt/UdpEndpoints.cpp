#include "discovery/qt/UdpEndpoints.h"

#include <QVariant>

#include "link/Crc16.h"

namespace tavo {

QByteArray DiscoveryRequestDatagram() {
    const std::uint16_t crc = Uart_Crc16(0xFFFF, nullptr, 0);
    QByteArray d;
    d.append(char(0x01)); // type: request
    d.append(char(0x00)); // payload length
    d.append(char(crc & 0xFF));
    d.append(char(crc >> 8));
    return d;
}

UdpEndpoints::UdpEndpoints(QObject* parent) : QObject(parent) {
    listener_.setObjectName("IdUDPServer1");
    listener_.setProperty("defaultPort", int(kDiscoveryAnswerPort));
    sender_.setObjectName("IdUDPClient1");
    sender_.setProperty("host", QString::fromLatin1(kDiscoveryBroadcast));
    sender_.setProperty("port", int(kDiscoveryRequestPort));
    receiver_.setObjectName("IdIPMCastClient1");
    receiver_.setProperty("group", QString::fromLatin1(kDiscoveryGroup));
    receiver_.setProperty("defaultPort", int(kDiscoveryAnswerPort));
    multicastSender_.setObjectName("IdIPMCastServer1");
    multicastSender_.setProperty("group", QString::fromLatin1(kDiscoveryGroup));
    multicastSender_.setProperty("port", int(kDiscoveryRequestPort));
    connect(&receiver_, &QUdpSocket::readyRead, this, &UdpEndpoints::ReadPending);
}

bool UdpEndpoints::ActivateReceiver() {
    if (ReceiverActive()) return true;
    if (!receiver_.bind(QHostAddress::AnyIPv4, kDiscoveryAnswerPort,
                        QUdpSocket::DontShareAddress)) {
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
    return sender_.writeDatagram(datagram, QHostAddress::Broadcast, kDiscoveryRequestPort) ==
           datagram.size();
}

bool UdpEndpoints::SendMulticast(const QByteArray& datagram) {
    return multicastSender_.writeDatagram(datagram, Group(), kDiscoveryRequestPort) ==
           datagram.size();
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
