#pragma once

// Delivers the URLs that the client is opened with, one launch or many: the first launch of a
// user's session becomes the running instance and hands its own command-line URLs to the handler;
// a later launch forwards its URLs to the running instance and ends once they are acknowledged.
//
// The running instance is the one that holds a lock file in the folder; it listens on a local
// socket beside the lock, open to its user only. The folder must be the user's own that nobody
// else can write (PrivateRuntimeFolder): the user's runtime folder, else a folder of the user's
// own in the temporary folder, made when missing. A folder that fails that check is refused, with
// a log line: nothing is made in it, and the launch runs alone as the running instance, so that
// its own URLs are still handled but no later launch can hand its URLs over.
// A later launch connects and sends one message, [magic, version, count, URLs], and waits for the
// acknowledgement [magic, version, status]; a launch without URLs is acknowledged at once. The
// running instance acknowledges only once the handler has replied for every URL of the message (the
// job is queued or refused), so a launch never ends while its URL could still be lost. Until a
// deadline the later launch retries: when the running instance is gone or ending (lock released,
// socket closed, connection dropped without acknowledgement), it takes the lock and becomes the
// running instance itself.
//
// close() ends the running instance's part: nothing more is acknowledged, connections are dropped
// and the lock is released. Call it when the process starts to end.
//
// Main thread: the role is decided, messages are read, and the handler and roleDecided() are
// called there. A reply must be called on the main thread, at most once; after close() it does
// nothing.

#include "foundation/Error.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>

class PrivateRuntimeFolder;
class QLocalServer;
class QLocalSocket;
class QLockFile;

class UrlEventSource : public QObject
{
    Q_OBJECT

public:
    enum class Role {
        Undecided, // a later launch still trying to hand its URLs over
        Primary,   // the running instance: URLs reach the handler
        Forwarded, // a later launch whose URLs the running instance took
        Failed,    // a later launch that could not hand its URLs over in time
    };

    using Reply = std::function<void()>;
    // Takes one URL; calls the reply once the URL has been handled.
    using Handler = std::function<void(const QString &url, Reply reply)>;

    static constexpr auto kDefaultName = "com.dalvemor.vqm.client";
    // How long a later launch keeps trying to hand its URLs over.
    static constexpr std::chrono::milliseconds kForwardDeadline{10000};
    static constexpr std::chrono::milliseconds kRetryInterval{100};
    // How long the running instance waits for a connection's whole message.
    static constexpr std::chrono::milliseconds kMessageTimeout{5000};
    static constexpr quint32 kMagic = 0x56514d55; // "VQMU"
    static constexpr quint16 kProtocolVersion = 1;
    static constexpr quint8 kHandled = 1;
    // Limits of one message; anything beyond them is refused unread.
    static constexpr quint32 kMaxUrls = 64;
    static constexpr qsizetype kMaxUrlLength = 1 << 20;
    static constexpr qint64 kMaxMessageBytes = 8 * (qint64(1) << 20);

    struct Options
    {
        QString folder; // null: defaultFolder()
        QString name = QLatin1String(kDefaultName);
        std::chrono::milliseconds forwardDeadline = kForwardDeadline;
        std::chrono::milliseconds retryInterval = kRetryInterval;
        std::chrono::milliseconds messageTimeout = kMessageTimeout;
    };

    // $XDG_RUNTIME_DIR, or "<temporary folder>/<kDefaultName>-<user id>" when it is unset.
    static QString defaultFolder();

    // The default folder and name.
    UrlEventSource();
    explicit UrlEventSource(Options options, QObject *parent = nullptr);
    ~UrlEventSource() override;

    // Decides this launch's role, with the URLs it was opened with. The running instance is
    // decided at once; a later launch decides asynchronously (roleDecided()).
    void start(const QStringList &launchUrls);
    Role role() const { return m_role; }

    // URLs that arrived before a handler was set wait for it; they are delivered from the event
    // loop, never inside this call.
    void setHandler(Handler handler);

    void close();

    // "<folder>/<name>-<user id>" + ".lock" or ".socket", the folder named through its checked
    // descriptor (by its own name when it was refused).
    QString lockPath() const;
    QString serverPath() const;

signals:
    void roleDecided(UrlEventSource::Role role);

private:
    struct PendingUrl
    {
        QString url;
        Reply reply;
    };

    bool tryBecomePrimary();
    void listen();
    void decide(Role role);

    // The running instance's side.
    void acceptConnections();
    void readMessage(QLocalSocket *socket);
    void handleMessage(QLocalSocket *socket, const QStringList &urls);
    void deliver(const QString &url, Reply reply);
    void deliverWaiting();
    static void acknowledge(QLocalSocket *socket);

    // The later launch's side.
    void attemptForward();
    void sendMessage();
    void readAcknowledgement();
    void endAttempt();

    QString basePath() const;

    const Options m_options;
    // The checked folder; null when it was refused, for the reason kept beside it.
    std::unique_ptr<PrivateRuntimeFolder> m_folder;
    Error m_folderRefusal;
    Role m_role = Role::Undecided;
    bool m_closed = false;
    QStringList m_launchUrls;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer *m_server = nullptr;
    Handler m_handler;
    QList<PendingUrl> m_waiting;
    QPointer<QLocalSocket> m_forwardSocket;
    QElapsedTimer m_forwardClock;
};
