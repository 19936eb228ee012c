#pragma once
// Text from a file or a device on a label, in a grid cell or in the debug log: control
// characters made visible (edid/VisibleText.h), never acted on.
#include <QString>
#include <string_view>

#include "edid/VisibleText.h"

namespace tavo {

// Latin-1 text (an EDID's names, what the device reports); "\r\n" line breaks kept.
inline QString ShownLatin1(std::string_view latin1) {
    QString shown;
    for (std::size_t from = 0;;) {
        const std::size_t at = latin1.find("\r\n", from);
        shown += QString::fromStdString(VisibleLatin1(latin1.substr(from, at - from)));
        if (at == std::string_view::npos) break;
        shown += QStringLiteral("\r\n");
        from = at + 2;
    }
    return shown;
}

// UTF-8 text (a manifest's fields, a file name).
inline QString ShownText(std::string_view utf8) {
    return QString::fromStdString(VisibleText(utf8));
}

} // namespace tavo
