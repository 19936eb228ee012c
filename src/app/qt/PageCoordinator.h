#pragma once
// What one page's event means for the others and for the main window. A page never touches
// another page's controls: it says what happened with a signal, and the pages that care update
// their own controls; the main window's tab sheets, pop-ups and status bar change here.
//
//   DeviceGrid  serialDeviceSelected(record, isp) -> tabs; EdidControllerPage, SystemPage;
//                                                    IpConfigurePage closes
//               netDeviceSelected(record, net)    -> tabs ("IP Configure" only);
//                                                    IpConfigurePage::ShowDevice; SystemPage
//               rowSelected(row)                  -> SystemPage::RestoreResult, then "Commander"
//               updateRowSelected()               -> "System" in "Commander"
//               ipConfigureClosed()               -> IpConfigurePage::CloseIpConfigure
//   IpConfigurePage closed()                      -> the "IP Configure" tab hides
//   SystemPage  descriptionShown(index, text)     -> DeviceGrid::ShowDescription
//               progressShown / updateFinished    -> the main window's status bar
//   EdidControllerPage modifyRequested()          -> EdidCreatorPage opens the analysed EDID
//   EdidCreatorPage analysisOpened()              -> "EDID Analyzer" closes, "EDID Creator" shows
//   UartSession searchStarted()                   -> SystemPage::ForgetResult
//               deviceStateChanged()              -> SystemPage::ShowDeviceState
//               disconnected()                    -> the pop-ups close
//               deviceLost()                      -> the main window's status bar
//   every page  debugLog(text, how)               -> the main window's debug log
#include <QObject>

namespace tavo {

struct DeviceRecord;
class TForm1;

class PageCoordinator : public QObject {
    Q_OBJECT
public:
    // Connects the pages of `form`, which must all exist.
    explicit PageCoordinator(TForm1& form);

private:
    void connectSelection();
    void connectStatusBar();
    void showSerialTabs(bool isp);
    void showNetworkTabs();
    void setTabVisible(QWidget* sheet, bool visible);

    TForm1& form_;
};

} // namespace tavo
