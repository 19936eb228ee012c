#pragma once
// The four UDP endpoints of the network discovery: a listener kept inactive, a broadcast sender,
// the multicast receiver on which the devices' announcements arrive, and a multicast sender.
#include <QByteArray>
#include <QHostAddress>
#include <QNetworkDatagram>
#include <QObject>
#include <QString>
#include <QUdpSocket>

#include "discovery/Discovery.h"

namespace tavo {

// The discovery request (01 00 FF FF) as a datagram.
QByteArray DiscoveryRequestDatagram();

class UdpEndpoints : public QObject {
    Q_OBJECT
public:
    explicit UdpEndpoints(QObject* parent = nullptr);

    // Binds the multicast receiver to the in-port without sharing it (so a second copy of the
    // program cannot bind it) and joins the group. False when the port cannot be bound; the
    // reason is in ReceiverError(). A failed join alone still returns true, see JoinedGroup().
    bool ActivateReceiver();
    bool ReceiverActive() const;
    bool JoinedGroup() const { return joined_; }
    QString ReceiverError() const { return receiverError_; }

    // Sends the discovery request once by broadcast and once to the group. Returns how many of
    // the two sends went out.
    int SendDiscoveryRequest();
    // One datagram to 255.255.255.255 / to the group, at the out-port 31001.
    bool SendBroadcast(const QByteArray& datagram);
    bool SendMulticast(const QByteArray& datagram);

    // The endpoints under their names. The listener stays unbound; its port is its default.
    QUdpSocket* IdUDPServer1() { return &listener_; }
    QUdpSocket* IdUDPClient1() { return &sender_; }
    QUdpSocket* IdIPMCastClient1() { return &receiver_; }
    QUdpSocket* IdIPMCastServer1() { return &multicastSender_; }
    static QHostAddress Group() { return QHostAddress(QString::fromLatin1(kDiscoveryGroup)); }

signals:
    // Every datagram received on the multicast receiver, delivered on the window thread.
    void datagramReceived(const QNetworkDatagram& datagram);

private:
    void ReadPending();

    QUdpSocket listener_;
    QUdpSocket sender_;
    QUdpSocket receiver_;
    QUdpSocket multicastSender_;
    bool joined_ = false;
    QString receiverError_;
};

} // namespace tavo
