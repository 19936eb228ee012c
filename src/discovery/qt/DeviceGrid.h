#pragma once
// The device grid and the networked devices on the main window: announcements become grid rows,
// the grid's colours and cell sizes, selecting a row (serial or network) says so to the pages
// (serialDeviceSelected, netDeviceSelected, rowSelected), and the "IP Configure" page: its values,
// its web page and configuration buttons.
//
// Takes the main window's grid and finds the controls of "IP Configure" on its sheet:
//
//   auto* grid = new tavo::DeviceGrid(state.deviceTable, state.netDeviceTable, form);
//   grid->attach(form, form->TabSheet10, form->StringGrid1, form->Udp);
#include <QByteArray>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "discovery/Discovery.h"
#include "link/DeviceModel.h"
#include "ui/qt/PageBase.h"

class QKeyEvent;
class QWidget;

namespace tavo {

class StringGrid;
class UartController;
class UdpEndpoints;

inline constexpr int kIpConfigStatusMs = 3000; // how long a message stays on "IP Configure"

class DeviceGrid : public PageBase {
    Q_OBJECT
public:
    // Sends one serial command and waits as the link does (mode, command, payload length, bytes).
    using SerialSender =
        std::function<void(std::uint8_t, std::uint16_t, std::uint16_t, const std::uint8_t*)>;
    // True when the desktop took the address (a browser opened it).
    using UrlOpener = std::function<bool(const QString& url)>;
    using DatagramSender = std::function<bool(const QByteArray& datagram)>;

    DeviceGrid(DeviceTable& devices, NetDeviceTable& netDevices, QObject* parent = nullptr);

    // Takes the grid, installs its drawing, finds the controls of "IP Configure" on its sheet,
    // connects the grid, the buttons and the receive sockets. `udp` may be null: then
    // configurations go only to a sender set with setDatagramSender.
    void attach(QWidget* window, QWidget* ipConfigureSheet, StringGrid* grid, UdpEndpoints* udp);

    // The serial link's sender and its ISP flag (link flag bit 3); without a sender the port
    // descriptors are not refreshed.
    void setSerialSender(SerialSender sender) { serialSender_ = std::move(sender); }
    void setIspQuery(std::function<bool()> isp) { ispQuery_ = std::move(isp); }
    // Both of the above from the serial link's controller (its sender and its link flags); a row
    // selection then also waits for the link's running operation like the device buttons do.
    void ConnectLink(UartController& link);
    // Whether a firmware update runs: a click on its row then only says updateRowSelected.
    void setUpdateQuery(std::function<bool()> updating) { updating_ = std::move(updating); }
    // Hands a web address to the desktop; QDesktopServices::openUrl unless replaced.
    void setUrlOpener(UrlOpener opener) { openUrl_ = std::move(opener); }
    // Sends a configuration datagram to the group; the multicast sender of `udp` unless replaced.
    void setDatagramSender(DatagramSender sender) { sendDatagram_ = std::move(sender); }

    // ---- the handlers
    void IdIPMCastClient1IPMCastRead(const QByteArray& datagram) { HandleAnnouncement(datagram); }
    void IdUDPServer1UDPRead(const QByteArray& datagram) { HandleAnnouncement(datagram); }
    void StringGrid1SelectCell(int column, int row);
    void SpeedButton1Click() { OpenWebPage(); }
    void Label_Web_LinkClick() { OpenWebPage(); }
    void SpeedButton2Click();
    // A new search empties the rows: "IP Configure" no longer belongs to a listed row and closes.
    void CloseIpConfigure();
    // The description cell of device `deviceIndex` (its grid row is the index + 1).
    void ShowDescription(int deviceIndex, const QString& description);

    // Row highlighted by the last selection (0: none yet). Drawing only.
    int HighlightedRow() const { return highlighted_; }
    // Widens the column or heightens the row when `text` does not fit cell (row, column).
    void FitCell(int row, int column, const QString& text);
    void FitHeader(int column);
    // Every column as wide as its widest text (header included) + 8, never below its width at
    // start: columns narrow again when long texts go.
    void FitColumns();

    // What a text item from the network shows: each byte one character, up to the first NUL.
    static QString NetText(const std::string& bytes);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    void rowAdded(int row); // a networked device got grid row `row`
    // A serial row was selected, its port descriptors read again (not in ISP mode).
    void serialDeviceSelected(const tavo::DeviceRecord& record, bool isp);
    // A network row was selected and "IP Configure" holds its values.
    void netDeviceSelected(const tavo::DeviceRecord& record);
    // Either of the two has been said to every page: "Commander" may show.
    void rowSelected(int row);
    // The row of a running firmware update was clicked: back to the update.
    void updateRowSelected();
    void ipConfigureClosed(); // "IP Configure" belongs to no listed row any more
    void configurationSent(const QByteArray& datagram);

private:
    template <class T> T* find(const QString& name) const;
    // Enter or Space on the grid selects the current cell's row; true when the key was taken.
    bool SelectByKey(const QKeyEvent* key);
    void HandleAnnouncement(const QByteArray& datagram);
    void RefreshPortDescriptors(DeviceRecord& record);
    void FillIpConfigure(const NetDeviceRecord& record);
    void OpenWebPage();
    void ShowStatus(const QString& text, bool failure, bool stays = false);
    void ClearHighlight();
    void DebugLine(const QString& line);
    // The record behind the selected row when it is a network row; null otherwise.
    NetDeviceRecord* SelectedNetRecord();
    // The listed network record whose values "IP Configure" shows; null when it is gone.
    NetDeviceRecord* ShownNetRecord();
    // Every listed network device's record, in grid order.
    std::vector<NetDeviceRecord> ListedNetRecords() const;

    DeviceTable& devices_;
    NetDeviceTable& netDevices_;
    QPointer<StringGrid> grid_;
    UdpEndpoints* udp_ = nullptr;
    QPointer<UartController> link_; // its operations and a row selection run one at a time
    SerialSender serialSender_;
    std::function<bool()> ispQuery_;
    std::function<bool()> updating_;
    QList<int> startWidths_; // the columns' widths at start: the narrowest they become
    UrlOpener openUrl_;
    DatagramSender sendDatagram_;
    std::optional<std::array<std::uint8_t, 6>> shownMac_; // whose values "IP Configure" holds
    bool fitQueued_ = false;
    int highlighted_ = 0;
    bool selecting_ = false;  // a selection is sending its serial commands
    bool fullLogged_ = false; // the "table full" line was written since the count last dropped
};

} // namespace tavo
