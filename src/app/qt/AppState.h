#pragma once
// The single instances that live for the whole run: made before the main window, reached by the
// handlers through the main window, destroyed when the program ends. Everything here is touched
// only on the window thread.
#include "discovery/Discovery.h"
#include "edid/EdidRecord.h"
#include "link/DeviceModel.h"
#include "link/UartLink.h"

namespace tavo {

struct AppState {
    UartLink uartLink;             // the serial link state
    DeviceTable deviceTable;       // the serial device model (20 records)
    NetDeviceTable netDeviceTable; // the networked devices (255 records)
    EdidRecord edidTransfer;       // the EDID read from a slot or a file, and analysed
    EdidRecord creatorRecord;      // the EDID on the creator pages
};

} // namespace tavo
