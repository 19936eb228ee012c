#pragma once
// The simulated device as a child process for end-to-end tests: started with the given options
// plus a request log in a temporary directory; its pseudo-terminal path is the first line it
// prints. Stopped (SIGTERM, then SIGKILL) when the object goes.
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

namespace tavo::testing {

struct DevSim {
    QTemporaryDir dir;
    QProcess process;
    QString path;    // the pseudo-terminal, empty when the simulator did not start
    QString logPath; // one line per request received

    explicit DevSim(const QStringList& args = {}) {
        logPath = dir.filePath("devsim.log");
        process.setProgram(QStringLiteral(TAVO_BINARY_DIR "/tools/devsim/tavo-devsim"));
        process.setArguments(args + QStringList{"--log", logPath});
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start();
        if (!process.waitForStarted(5000)) return;
        while (!process.canReadLine() && process.waitForReadyRead(5000)) {
        }
        path = QString::fromLocal8Bit(process.readLine()).trimmed();
    }
    ~DevSim() {
        process.terminate();
        if (!process.waitForFinished(3000)) process.kill();
        process.waitForFinished(1000);
    }
    DevSim(const DevSim&) = delete;
    DevSim& operator=(const DevSim&) = delete;

    QString Log() const {
        QFile f(logPath);
        return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()) : QString();
    }
};

} // namespace tavo::testing
