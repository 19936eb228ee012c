// "IP Configure": the network settings of a discovered device. Filled when a network row of the
// device grid is selected.
#include "app/qt/Pages.h"

#include <QWidget>

namespace tavo::pages {

void BuildIpConfigure(QWidget* page) {
    (void)page;
}

} // namespace tavo::pages
