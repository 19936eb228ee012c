#pragma once
// The window's device operations run on the link's runner after the click has returned: a test
// that clicks a device button settles before it looks at what was sent or shown.
//
//   rig.form->findChild<QAbstractButton*>("SpeedButton_SaveEdid")->click();
//   tavo::test::Settle(*rig.form->Uart, rig.form->EdidController);
//   QCOMPARE(rig.Sent(), ...);
#include <QtTest>
#include <initializer_list>

#include "link/qt/UartController.h"
#include "ui/qt/PageBase.h"

namespace tavo::test {

// Until the runner has nothing left to run and none of `pages` is busy (a page stays busy while
// its verdict waits, e.g. the copy button's return). A QTRY failure marks the test failed.
inline void Settle(UartController& uart, std::initializer_list<const PageBase*> pages = {},
                   int timeoutMs = 60000) {
    auto settled = [&] {
        if (!uart.runner().idle() || uart.session().operationRunning()) return false;
        for (const PageBase* page : pages)
            if (page && page->busy()) return false;
        return true;
    };
    QTRY_VERIFY_WITH_TIMEOUT(settled(), timeoutMs);
}

} // namespace tavo::test
