#include "link/qt/LinkTransport.h"

namespace tavo {

QString OpenFailureText(const OpenResult& result) {
    switch (result.failure) {
    case OpenFailure::None:
        return {};
    case OpenFailure::PermissionDenied:
        return QStringLiteral("Permission denied: join the 'dialout' group "
                              "(sudo usermod -aG dialout $USER) and log in again.\r\n");
    case OpenFailure::InUse:
        return QStringLiteral("The port is in use by another program.\r\n");
    case OpenFailure::NotFound:
        return QStringLiteral("No such port.\r\n");
    case OpenFailure::Other:
        break;
    }
    return QStringLiteral("The port could not be opened: ") + result.detail +
           QStringLiteral(".\r\n");
}

} // namespace tavo
