#pragma once
// Keeps a second copy of the program from running. The first copy holds a lock file and listens
// on a local socket, both private to the user and named after the main window's title; a later
// copy finds the lock taken, asks the first copy through the socket to bring its window to the
// front, and then ends.
#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <memory>

namespace tavo {

class SingleInstanceGuard : public QObject {
    Q_OBJECT
public:
    // `key` is the title the copies share; `directory` holds the lock and the socket (empty: the
    // user's runtime directory).
    explicit SingleInstanceGuard(const QString& key, const QString& directory = QString(),
                                 QObject* parent = nullptr);
    ~SingleInstanceGuard() override;

    // True when this is the first copy: the lock is ours and the socket listens. Otherwise the
    // running copy has been asked to raise its window and false is returned. A lock left behind
    // by a copy that died is taken over.
    bool TryAcquire();
    bool IsFirst() const { return first_; }
    bool Listening() const { return server_.isListening(); }

    QString LockFilePath() const { return lockPath_; }
    QString ServerName() const { return serverName_; }

    // The message a later copy sends.
    static constexpr const char* kRaiseMessage = "raise\n";

signals:
    // A later copy was started: the window should come to the front.
    void raiseRequested();

private:
    void OnNewConnection();
    bool NotifyRunningCopy();

    QString lockPath_;
    QString serverName_;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer server_;
    bool first_ = false;
};

// File-name-safe form of a title: letters and digits kept, everything else '-'.
QString InstanceKeyFileName(const QString& title);

} // namespace tavo
