#include "app/qt/PageCoordinator.h"

#include <QStatusBar>
#include <QTabWidget>

#include "app/qt/User_interface.h"
#include "discovery/qt/DeviceGrid.h"
#include "discovery/qt/IpConfigurePage.h"
#include "link/qt/UartController.h"
#include "link/qt/UartSession.h"
#include "maintenance/qt/DeviceMenu.h"
#include "maintenance/qt/SystemPage.h"
#include "workspace/analysis/qt/EdidControllerPage.h"
#include "workspace/creator/qt/EdidCreatorPage.h"

namespace tavo {

PageCoordinator::PageCoordinator(TForm1& form) : QObject(&form), form_(form) {
    for (PageBase* page :
         std::initializer_list<PageBase*>{form.Grid, form.IpConfigure, form.System,
                                          form.EdidController, form.Creator, form.DeviceActions})
        connect(page, &PageBase::debugLog, &form, &TForm1::WriteLog);
    connectSelection();
    connectStatusBar();
    UartSession& session = form.Uart->session();
    connect(&session, &UartSession::searchStarted, form.System, &SystemPage::ForgetResult);
    connect(&session, &UartSession::deviceStateChanged, form.System, &SystemPage::ShowDeviceState);
    connect(form.System, &SystemPage::descriptionShown, form.Grid, &DeviceGrid::ShowDescription);
    // a restore-backup (or another of the menu's operations) changed what the device holds
    connect(form.DeviceActions, &DeviceMenu::deviceChanged, form.System,
            &SystemPage::ShowDeviceValues);
    connect(&session, &UartSession::disconnected, &form, [this] {
        form_.Form2->close();
        form_.Form3->close();
    });
    // "Modify": the creator takes the analysed EDID where it has a page (the serial device's row,
    // not in an ISP session); elsewhere the status bar says why and nothing changes
    connect(form.EdidController, &EdidControllerPage::modifyRequested, this, [this] {
        if (const QString why = form_.CreatorUnavailableReason(); !why.isEmpty()) {
            form_.statusBar()->showMessage(QStringLiteral("Modify: ") + why);
            return;
        }
        form_.Creator->SpeedButton_OpenEdid_AnalysisClick();
    });
    connect(form.Creator, &EdidCreatorPage::analysisOpened, &form, [this] {
        form_.Form2->close();
        form_.PageControl1->setCurrentWidget(form_.TabSheet4);
        form_.ShowCommander(); // also when the operator had closed it
    });
}

void PageCoordinator::connectSelection() {
    DeviceGrid* grid = form_.Grid;
    // the tabs first, then each page, in the order the operator reads them
    connect(grid, &DeviceGrid::serialDeviceSelected, this,
            [this](const DeviceRecord&, bool isp) { showSerialTabs(isp); });
    connect(grid, &DeviceGrid::serialDeviceSelected, form_.EdidController,
            &EdidControllerPage::SerialDeviceSelected);
    connect(grid, &DeviceGrid::serialDeviceSelected, form_.System,
            &SystemPage::SerialDeviceSelected);
    connect(grid, &DeviceGrid::netDeviceSelected, this, &PageCoordinator::showNetworkTabs);
    connect(grid, &DeviceGrid::netDeviceSelected, form_.IpConfigure, &IpConfigurePage::ShowDevice);
    connect(grid, &DeviceGrid::netDeviceSelected, form_.System, &SystemPage::DeviceSelected);
    // "IP Configure" belongs to the network row whose values it shows, and to no other row
    connect(grid, &DeviceGrid::serialDeviceSelected, form_.IpConfigure,
            &IpConfigurePage::CloseIpConfigure);
    // the end of an update stays on "System" until the next update or search
    connect(grid, &DeviceGrid::rowSelected, form_.System, &SystemPage::RestoreResult);
    connect(grid, &DeviceGrid::rowSelected, &form_, &TForm1::ShowCommander);
    connect(grid, &DeviceGrid::updateRowSelected, &form_, [this] {
        form_.PageControl1->setCurrentWidget(form_.TabSheet2);
        form_.ShowCommander();
    });
    connect(grid, &DeviceGrid::ipConfigureClosed, form_.IpConfigure,
            &IpConfigurePage::CloseIpConfigure);
    connect(form_.IpConfigure, &IpConfigurePage::closed, this,
            [this] { setTabVisible(form_.TabSheet10, false); });
}

void PageCoordinator::connectStatusBar() {
    SystemPage* system = form_.System;
    // the update goes on while "Commander" is closed: its progress shows here too
    connect(system, &SystemPage::progressShown, &form_, [this](const QString& text, bool) {
        if (form_.System->Updating())
            form_.statusBar()->showMessage(QStringLiteral("Firmware update: ") + text);
    });
    connect(system, &SystemPage::updateFinished, &form_, [this](const QString& line) {
        form_.statusBar()->showMessage(QStringLiteral("Firmware update: ") + line);
    });
    // a lost device closes "Commander" with the page that would show a failure: the main window
    // says what happened, and that an operation it cut has no known result
    UartSession& session = form_.Uart->session();
    connect(&session, &UartSession::deviceLost, &form_, [this] {
        form_.statusBar()->showMessage(
            form_.Uart->session().operationRunning()
                ? QStringLiteral("Device lost during a device operation: its result is not known. "
                                 "Search again and check the device.")
                : QStringLiteral("Device lost."));
    });
}

void PageCoordinator::setTabVisible(QWidget* sheet, bool visible) {
    form_.PageControl1->setTabVisible(form_.PageControl1->indexOf(sheet), visible);
}

// "System" belongs to every serial row; a device in ISP mode has nothing else.
void PageCoordinator::showSerialTabs(bool isp) {
    setTabVisible(form_.TabSheet2, true);
    setTabVisible(form_.TabSheet1, !isp);
    setTabVisible(form_.TabSheet4, !isp);
    setTabVisible(form_.TabSheet10, false);
    form_.PageControl1->setCurrentWidget(isp ? form_.TabSheet2 : form_.TabSheet1);
}

// Only "IP Configure" acts on a networked device: the serial device's pages stay away.
void PageCoordinator::showNetworkTabs() {
    setTabVisible(form_.TabSheet10, true);
    for (QWidget* serialOnly : {form_.TabSheet1, form_.TabSheet4, form_.TabSheet2})
        setTabVisible(serialOnly, false);
    form_.PageControl1->setCurrentWidget(form_.TabSheet10);
}

} // namespace tavo
