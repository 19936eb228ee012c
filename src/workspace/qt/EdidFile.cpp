#include "workspace/qt/EdidFile.h"

#include <QFile>
#include <string>

#include "edid/EdidSource.h"

namespace tavo {

bool ReadEdidFile(const QString& path, EdidImage& image) {
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) return false;
    // one byte past the limit tells a longer file from one of exactly the limit
    const QByteArray bytes = file.read(static_cast<qint64>(kEdidTextLimit + 1));
    const auto size = static_cast<std::size_t>(std::max<qsizetype>(bytes.size(), 0));
    const std::size_t kept = std::min(size, kEdidTextLimit);
    const std::size_t total =
        size > kEdidTextLimit ? std::max<std::size_t>(size, std::size_t(file.size())) : 0;
    EdidSource source;
    std::string error;
    if (!ReadEdidBytes(reinterpret_cast<const std::uint8_t*>(bytes.constData()), kept, total,
                       source, error))
        return false;
    image = source.image;
    return true;
}

} // namespace tavo
