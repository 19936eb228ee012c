#pragma once
// The device grid on the main window: its rows (serial devices the search found, networked devices
// whose announcements arrived), their colours and sizes, and selecting a row, which it says to the
// pages (serialDeviceSelected, netDeviceSelected, rowSelected). The networked device's settings
// are the "IP Configure" page's (IpConfigurePage), fed by netDeviceSelected.
//
// Takes the main window's grid; the rows' records stay in the device tables:
//
//   auto* grid = new tavo::DeviceGrid(state.deviceTable, state.netDeviceTable, form);
//   grid->attach(form, form->StringGrid1, form->Udp);
#include <QByteArray>
#include <QPointer>
#include <QString>
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

// A row index addresses the serial and the network table alike: the smaller one decides.
inline constexpr int kMaxGridDevices = kMaxDevices < kMaxNetDevices ? kMaxDevices : kMaxNetDevices;

// One listed row of the grid: the device it lists and where its record is.
struct GridRow {
    enum class Kind { Serial, Network };
    int row = 0; // grid row: 1 is the first device (0 is the header)
    Kind kind = Kind::Serial;
    std::size_t record = 0;            // its record in both device tables: row - 1
    std::array<std::uint8_t, 6> mac{}; // a network row's MAC; all zero for a serial row
};

class DeviceGrid : public PageBase {
    Q_OBJECT
public:
    // Sends one serial command and waits as the link does (mode, command, payload length, bytes).
    using SerialSender =
        std::function<void(std::uint8_t, std::uint16_t, std::uint16_t, const std::uint8_t*)>;

    DeviceGrid(DeviceTable& devices, NetDeviceTable& netDevices, QObject* parent = nullptr);

    // Takes the grid, installs its drawing, connects its selection and the receive sockets
    // (`udp` may be null: announcements then come only through the handlers).
    void attach(QWidget* window, StringGrid* grid, UdpEndpoints* udp);

    // The serial link's sender and its ISP flag (link flag bit 3); without a sender the port
    // descriptors are not refreshed.
    void setSerialSender(SerialSender sender) { serialSender_ = std::move(sender); }
    void setIspQuery(std::function<bool()> isp) { ispQuery_ = std::move(isp); }
    // Both of the above from the serial link's controller (its sender and its link flags); a row
    // selection then also waits for the link's running operation like the device buttons do.
    void ConnectLink(UartController& link);
    // Whether a firmware update runs: a click on its row then only says updateRowSelected.
    void setUpdateQuery(std::function<bool()> updating) { updating_ = std::move(updating); }

    // ---- the handlers
    void IdIPMCastClient1IPMCastRead(const QByteArray& datagram) { HandleAnnouncement(datagram); }
    void IdUDPServer1UDPRead(const QByteArray& datagram) { HandleAnnouncement(datagram); }
    void StringGrid1SelectCell(int column, int row);
    // The description cell of device `deviceIndex` (its grid row is the index + 1).
    void ShowDescription(int deviceIndex, const QString& description);

    // Row highlighted by the last selection (0: none yet). Drawing only.
    int HighlightedRow() const { return highlighted_; }

    // ---- the rows
    // The listed row `row` (1 is the first device); none for the header and past the devices.
    std::optional<GridRow> Row(int row) const;
    // Every listed row, in grid order.
    std::vector<GridRow> Rows() const;
    // The record of the listed network row whose MAC is `mac`, the selected row first (devices
    // without a MAC, all zero, may repeat); null when none is listed.
    const NetDeviceRecord* ListedNetRecord(const std::array<std::uint8_t, 6>& mac) const;
    // Every listed network device's record, in grid order.
    std::vector<NetDeviceRecord> ListedNetRecords() const;
    // The listed network row of `record`'s MAC (as ListedNetRecord finds it) takes the record
    // and shows it; false when none is listed.
    bool UpdateNetRow(const NetDeviceRecord& record);

    // What a text item from the network shows: each byte one character, up to the first NUL.
    static QString NetText(const std::string& bytes);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    void rowAdded(int row); // a networked device got grid row `row`
    // The columns, fitted to their texts, need the grid `width` pixels wide (more than it is).
    void widthWanted(int width);
    // A serial row was selected, its port descriptors read again (not in ISP mode).
    void serialDeviceSelected(const tavo::DeviceRecord& record, bool isp);
    // A network row was selected: its row's record and its network record.
    void netDeviceSelected(const tavo::DeviceRecord& record, const tavo::NetDeviceRecord& network);
    // Either of the two has been said to every page: "Commander" may show.
    void rowSelected(int row);
    // The row of a running firmware update was clicked: back to the update.
    void updateRowSelected();
    // A search emptied the rows: "IP Configure" belongs to no listed row any more.
    void ipConfigureClosed();

private:
    // Enter or Space on the grid selects the current cell's row; true when the key was taken.
    bool SelectByKey(const QKeyEvent* key);
    void HandleAnnouncement(const QByteArray& datagram);
    void RefreshPortDescriptors(DeviceRecord& record);
    void ClearHighlight();
    void DebugLine(const QString& line);
    // The listed network row of `mac` (the selected row first); none when it is not listed.
    std::optional<GridRow> NetRow(const std::array<std::uint8_t, 6>& mac) const;
    // A network row's cells from its record, "#" to "MAC Address", and the grid fitted to them.
    void WriteNetRow(const GridRow& row);

    // ---- sizing, all of it here
    // Every column as wide as its widest text (header included) + 8, never below its width at
    // start, so that columns narrow again when long texts go; every row and the header at least
    // as tall as the text + 4; a wider grid asked for (widthWanted) when the columns do not fit.
    void Fit();
    // Fit once the event loop comes round (any cell written by anyone: search, announcements,
    // pages), once however many cells changed.
    void QueueFit();
    void CheckWidth();

    DeviceTable& devices_;
    NetDeviceTable& netDevices_;
    QPointer<StringGrid> grid_;
    UdpEndpoints* udp_ = nullptr;
    QPointer<UartController> link_; // its operations and a row selection run one at a time
    SerialSender serialSender_;
    std::function<bool()> ispQuery_;
    std::function<bool()> updating_;
    QList<int> startWidths_; // the columns' widths at start: the narrowest they become
    bool fitQueued_ = false;
    int highlighted_ = 0;
    bool selecting_ = false;  // a selection is sending its serial commands
    bool fullLogged_ = false; // the "table full" line was written since the count last dropped
};

} // namespace tavo
