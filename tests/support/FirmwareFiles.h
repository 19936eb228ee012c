#pragma once
// Firmware image files for the System page's tests: "FW VER:" at 512, the version text at 520,
// VID at 528, PID at 532, every other byte a pattern that tells blocks apart.
#include <QByteArray>
#include <QFile>
#include <QString>

namespace tavo::test {

inline QByteArray FirmwareBytes(int size, bool withMark = true, const char* version = "2.10",
                                const char* vid = "5441", const char* pid = "0401") {
    QByteArray b(size, '\0');
    for (int i = 0; i < size; ++i)
        b[i] = char((i * 7 + 3) ^ (i >> 8));
    auto put = [&](int at, const QByteArray& s) {
        for (int i = 0; i < s.size() && at + i < size; ++i)
            b[at + i] = s[i];
    };
    if (withMark) {
        put(512, "FW VER:");
        put(520, QByteArray(version) + '\0');
        put(528, QByteArray(vid, 4));
        put(532, QByteArray(pid, 4));
    }
    return b;
}

inline bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// What the device should hold after the transfer: the image padded with 0xFF to whole blocks.
inline QByteArray PaddedToBlocks(QByteArray bytes) {
    while (bytes.size() % 64 != 0)
        bytes.append(char(0xFF));
    return bytes;
}

} // namespace tavo::test
