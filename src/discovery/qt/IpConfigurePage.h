#pragma once
// "IP Configure": the settings of the networked device whose grid row was selected. Shows the
// record's values, sends the edited settings to the device (by its MAC, to the discovery group),
// opens the device's web page and says on its status line what was sent or what went wrong.
// Finds its controls on its tab sheet (IpConfigureLayout); the device grid holds the rows:
//
//   auto* ip = new tavo::IpConfigurePage(form);
//   ip->attach(form, form->TabSheet10, *form->Grid, form->Udp);
//   connect(grid, &DeviceGrid::netDeviceSelected, ip, &IpConfigurePage::ShowDevice);
#include <QByteArray>
#include <QPointer>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

#include "discovery/Discovery.h"
#include "ui/qt/PageBase.h"

class QAbstractButton;
class QComboBox;
class QLabel;
class QLineEdit;
class QWidget;

namespace tavo {

class DeviceGrid;
struct DeviceRecord;
class UdpEndpoints;

inline constexpr int kIpConfigStatusMs = 3000; // how long a message stays on "IP Configure"

class IpConfigurePage : public PageBase {
    Q_OBJECT
public:
    // True when the desktop took the address (a browser opened it).
    using UrlOpener = std::function<bool(const QString& url)>;
    // True when the datagram went out.
    using DatagramSender = std::function<bool(const QByteArray& datagram)>;

    explicit IpConfigurePage(QObject* parent = nullptr);

    // Finds the page's controls on its sheet and connects its buttons. `rows` lists the devices
    // whose records the page shows and changes; `udp` may be null: then configurations go only to
    // a sender set with setDatagramSender.
    void attach(QWidget* window, QWidget* sheet, DeviceGrid& rows, UdpEndpoints* udp);

    // Hands a web address to the desktop; QDesktopServices::openUrl unless replaced.
    void setUrlOpener(UrlOpener opener) { openUrl_ = std::move(opener); }
    // Sends a configuration datagram to the group; the multicast sender of `udp` unless replaced.
    void setDatagramSender(DatagramSender sender) { sendDatagram_ = std::move(sender); }

    // A network row was selected: the page shows its record's values, its status line empty.
    void ShowDevice(const tavo::DeviceRecord& row, const tavo::NetDeviceRecord& record);
    // The page belongs to no listed device any more (a serial row was selected, or a search
    // emptied the rows): Apply sends nothing until a network row is selected again.
    void CloseIpConfigure();

    // ---- the handlers
    // "Web Page": opens the shown device's web page in the desktop's browser.
    void SpeedButton1Click() { OpenWebPage(); }
    // The hidden "WebGUI" row's link: the same as "Web Page".
    void Label_Web_LinkClick() { OpenWebPage(); }
    // "Apply": sends the edited settings to the shown device and keeps them in its record.
    void SpeedButton2Click();

signals:
    void closed(); // the page was closed: its tab hides
    void configurationSent(const QByteArray& datagram);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OpenWebPage();
    void ShowStatus(const QString& text, bool failure, bool stays = false);
    // The listed record of the device whose values the page shows; none when it is gone.
    const NetDeviceRecord* ShownRecord() const;
    NetConfigEdits Edits() const;

    QPointer<DeviceGrid> rows_;
    UrlOpener openUrl_;
    DatagramSender sendDatagram_;
    std::optional<std::array<std::uint8_t, 6>> shownMac_; // whose values the page holds

    // the page's controls
    QPointer<QLabel> productId_, productName_, mac_, serial_, description_, webLink_, status_;
    QPointer<QComboBox> ipMode_;
    QPointer<QLineEdit> ip_, mask_, gateway_, dns_, webPort_, telnetPort_;
};

} // namespace tavo
