#pragma once
// Runs tavo-cli for an end-to-end test and collects its exit status and output. `ports`, when
// given, becomes TAVO_SERIAL_PORTS for the run (the list "Search" tries).
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

namespace tavo::testing {

struct CliRun {
    int code = -1; // -1: it crashed or did not finish in time
    QString out, err;
};

inline CliRun RunCli(const QStringList& args, const QString& ports = {}, int timeoutMs = 60000) {
    QProcess p;
    if (!ports.isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("TAVO_SERIAL_PORTS", ports);
        p.setProcessEnvironment(env);
    }
    p.start(QStringLiteral(TAVO_BINARY_DIR "/tools/tavo-cli/tavo-cli"), args);
    p.waitForFinished(timeoutMs);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromLocal8Bit(p.readAllStandardOutput()),
            QString::fromLocal8Bit(p.readAllStandardError())};
}

} // namespace tavo::testing
