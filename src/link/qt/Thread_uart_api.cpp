#include "link/qt/Thread_uart_api.h"

namespace tavo {

void TThread_Uart_Api::resume() {
    running_ = true;
}

void TThread_Uart_Api::suspend() {
    running_ = false;
}

} // namespace tavo
