#include "UrlEventSource.h"

#include "PrivateRuntimeFolder.h"

#include "foundation/logging/Log.h"

#include <QDataStream>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QTimer>

#include <unistd.h>

namespace {

constexpr auto kStreamVersion = QDataStream::Qt_6_0;
constexpr auto kRuntimeFolderVariable = "XDG_RUNTIME_DIR";
constexpr auto kLockSuffix = ".lock";
constexpr auto kServerSuffix = ".socket";

// Calls the reply the first time only.
UrlEventSource::Reply once(UrlEventSource::Reply reply)
{
    auto called = std::make_shared<bool>(false);
    return [called, reply = std::move(reply)] {
        if (*called)
            return;
        *called = true;
        if (reply)
            reply();
    };
}

} // namespace

QString UrlEventSource::defaultFolder()
{
    const QString runtimeFolder = qEnvironmentVariable(kRuntimeFolderVariable);
    if (!runtimeFolder.isEmpty())
        return runtimeFolder;
    return QStringLiteral("%1/%2-%3").arg(QDir::tempPath(), kDefaultName).arg(::getuid());
}

UrlEventSource::UrlEventSource()
    : UrlEventSource(Options{})
{}

UrlEventSource::UrlEventSource(Options options, QObject *parent)
    : QObject(parent)
    , m_options(std::move(options))
{
    Result<PrivateRuntimeFolder> folder = PrivateRuntimeFolder::open(
        m_options.folder.isNull() ? defaultFolder() : m_options.folder, ::getuid());
    if (!folder) {
        m_folderRefusal = folder.error();
        return;
    }
    m_folder = std::make_unique<PrivateRuntimeFolder>(std::move(folder).value());
    m_lock = std::make_unique<QLockFile>(lockPath());
    // Only a holder that is no longer running loses the lock, however long it has run.
    m_lock->setStaleLockTime(0);
}

UrlEventSource::~UrlEventSource()
{
    close();
}

QString UrlEventSource::basePath() const
{
    QString folder = m_options.folder.isNull() ? defaultFolder() : m_options.folder;
    if (m_folder)
        folder = m_folder->path();
    return QStringLiteral("%1/%2-%3").arg(folder, m_options.name).arg(::getuid());
}

QString UrlEventSource::lockPath() const
{
    return basePath() + QLatin1String(kLockSuffix);
}

QString UrlEventSource::serverPath() const
{
    return basePath() + QLatin1String(kServerSuffix);
}

void UrlEventSource::start(const QStringList &launchUrls)
{
    m_launchUrls = launchUrls;
    if (tryBecomePrimary())
        return;
    m_forwardClock.start();
    QTimer::singleShot(m_options.forwardDeadline, this, [this] {
        if (m_role == Role::Undecided)
            endAttempt();
    });
    attemptForward();
}

bool UrlEventSource::tryBecomePrimary()
{
    if (!m_lock) {
        Log::client(QStringLiteral("!!refused the folder for the running instance's lock and "
                                   "socket: %1; this launch runs alone, later launches cannot hand "
                                   "over their URLs")
                        .arg(m_folderRefusal.description));
        decide(Role::Primary);
        return true;
    }
    if (m_lock->tryLock(0)) {
        listen();
        decide(Role::Primary);
        return true;
    }
    if (m_lock->error() == QLockFile::LockFailedError)
        return false;
    // No lock can be had here at all: run, but alone.
    Log::client(QStringLiteral("!!cannot take %1 (error %2); later launches cannot hand over "
                               "their URLs")
                    .arg(lockPath())
                    .arg(int(m_lock->error())));
    decide(Role::Primary);
    return true;
}

void UrlEventSource::listen()
{
    // Holding the lock, any socket left in place belongs to an instance that has ended.
    QLocalServer::removeServer(serverPath());
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &UrlEventSource::acceptConnections);
    if (!m_server->listen(serverPath()))
        Log::client(QStringLiteral("!!cannot listen on %1: %2; later launches cannot hand over "
                                   "their URLs")
                        .arg(serverPath(), m_server->errorString()));
}

void UrlEventSource::decide(Role role)
{
    m_role = role;
    if (m_forwardSocket) {
        QLocalSocket *socket = m_forwardSocket;
        m_forwardSocket = nullptr;
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
    if (role == Role::Primary) {
        for (const QString &url : std::as_const(m_launchUrls))
            m_waiting.append(PendingUrl{url, {}});
        if (m_handler && !m_waiting.isEmpty())
            QMetaObject::invokeMethod(this, &UrlEventSource::deliverWaiting, Qt::QueuedConnection);
    }
    emit roleDecided(role);
}

void UrlEventSource::setHandler(Handler handler)
{
    m_handler = std::move(handler);
    if (m_handler && !m_waiting.isEmpty())
        QMetaObject::invokeMethod(this, &UrlEventSource::deliverWaiting, Qt::QueuedConnection);
}

void UrlEventSource::close()
{
    if (m_closed)
        return;
    m_closed = true;
    m_waiting.clear();
    if (m_server) {
        // Removes the socket file, so that later launches stop knocking here.
        m_server->close();
        for (QLocalSocket *socket : m_server->findChildren<QLocalSocket *>())
            socket->abort();
        m_server->deleteLater();
        m_server = nullptr;
    }
    if (m_forwardSocket) {
        m_forwardSocket->disconnect(this);
        m_forwardSocket->abort();
    }
    if (m_lock && m_lock->isLocked())
        m_lock->unlock();
}

void UrlEventSource::acceptConnections()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        if (m_closed) {
            socket->abort();
            continue;
        }
        socket->setReadBufferSize(kMaxMessageBytes);
        auto *timeout = new QTimer(socket);
        timeout->setObjectName(QStringLiteral("messageTimeout"));
        timeout->setSingleShot(true);
        connect(timeout, &QTimer::timeout, socket, [socket] {
            Log::client(QStringLiteral("!!a launch sent no complete message in time"));
            socket->abort();
        });
        timeout->start(m_options.messageTimeout);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readMessage(socket); });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        if (socket->bytesAvailable() > 0)
            readMessage(socket);
    }
}

void UrlEventSource::readMessage(QLocalSocket *socket)
{
    QDataStream in(socket);
    in.setVersion(kStreamVersion);
    in.startTransaction();
    quint32 magic = 0;
    quint16 version = 0;
    quint32 count = 0;
    in >> magic >> version >> count;
    if (in.status() != QDataStream::Ok) {
        in.rollbackTransaction();
        return;
    }
    if (magic != kMagic || version != kProtocolVersion || count > kMaxUrls) {
        in.abortTransaction();
        Log::client(QStringLiteral("!!refused a launch's message (magic %1, version %2, %3 URLs)")
                        .arg(magic, 0, 16)
                        .arg(version)
                        .arg(count));
        socket->abort();
        return;
    }
    QStringList urls;
    for (quint32 i = 0; i < count; ++i) {
        QString url;
        in >> url;
        if (in.status() != QDataStream::Ok) {
            in.rollbackTransaction();
            return;
        }
        if (url.size() > kMaxUrlLength) {
            in.abortTransaction();
            Log::client(
                QStringLiteral("!!refused a launch's URL of %1 characters").arg(url.size()));
            socket->abort();
            return;
        }
        urls << url;
    }
    if (!in.commitTransaction())
        return;
    handleMessage(socket, urls);
}

void UrlEventSource::handleMessage(QLocalSocket *socket, const QStringList &urls)
{
    if (auto *timeout = socket->findChild<QTimer *>(QStringLiteral("messageTimeout")))
        timeout->stop();
    disconnect(socket, &QLocalSocket::readyRead, this, nullptr);

    // A launch without URLs wants nothing but the running instance, which it has found.
    if (urls.isEmpty()) {
        acknowledge(socket);
        return;
    }
    auto outstanding = std::make_shared<qsizetype>(urls.size());
    const QPointer<UrlEventSource> self(this);
    const QPointer<QLocalSocket> target(socket);
    for (const QString &url : urls) {
        deliver(url, once([self, target, outstanding] {
                    if (--*outstanding == 0 && self && !self->m_closed && target)
                        acknowledge(target);
                }));
    }
}

void UrlEventSource::deliver(const QString &url, Reply reply)
{
    if (!m_handler) {
        m_waiting.append(PendingUrl{url, std::move(reply)});
        return;
    }
    m_handler(url, reply ? std::move(reply) : Reply([] {}));
}

void UrlEventSource::deliverWaiting()
{
    const QList<PendingUrl> waiting = std::exchange(m_waiting, {});
    for (const PendingUrl &pending : waiting) {
        if (m_closed)
            return;
        deliver(pending.url, pending.reply);
    }
}

void UrlEventSource::acknowledge(QLocalSocket *socket)
{
    QDataStream out(socket);
    out.setVersion(kStreamVersion);
    out << kMagic << kProtocolVersion << kHandled;
    socket->flush();
    socket->disconnectFromServer();
}

void UrlEventSource::attemptForward()
{
    if (m_closed || m_role != Role::Undecided)
        return;
    if (tryBecomePrimary())
        return;
    if (m_forwardClock.hasExpired(m_options.forwardDeadline.count())) {
        Log::client(QStringLiteral("!!the running instance did not take %1 in time")
                        .arg(m_launchUrls.join(QLatin1String(", "))));
        decide(Role::Failed);
        return;
    }
    auto *socket = new QLocalSocket(this);
    m_forwardSocket = socket;
    connect(socket, &QLocalSocket::connected, this, &UrlEventSource::sendMessage);
    connect(socket, &QLocalSocket::readyRead, this, &UrlEventSource::readAcknowledgement);
    connect(socket, &QLocalSocket::disconnected, this, &UrlEventSource::endAttempt);
    connect(socket, &QLocalSocket::errorOccurred, this, &UrlEventSource::endAttempt);
    socket->connectToServer(serverPath());
}

void UrlEventSource::sendMessage()
{
    QDataStream out(m_forwardSocket);
    out.setVersion(kStreamVersion);
    out << kMagic << kProtocolVersion << quint32(m_launchUrls.size());
    for (const QString &url : std::as_const(m_launchUrls))
        out << url;
    m_forwardSocket->flush();
}

void UrlEventSource::readAcknowledgement()
{
    QDataStream in(m_forwardSocket);
    in.setVersion(kStreamVersion);
    in.startTransaction();
    quint32 magic = 0;
    quint16 version = 0;
    quint8 status = 0;
    in >> magic >> version >> status;
    if (!in.commitTransaction())
        return;
    if (magic != kMagic || version != kProtocolVersion || status != kHandled) {
        Log::client(QStringLiteral("!!the running instance answered in a form not understood "
                                   "(magic %1, version %2, status %3)")
                        .arg(magic, 0, 16)
                        .arg(version)
                        .arg(status));
        decide(Role::Failed);
        return;
    }
    decide(Role::Forwarded);
}

void UrlEventSource::endAttempt()
{
    if (!m_forwardSocket)
        return;
    QLocalSocket *socket = m_forwardSocket;
    m_forwardSocket = nullptr;
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
    if (m_role == Role::Undecided && !m_closed)
        QTimer::singleShot(m_options.retryInterval, this, &UrlEventSource::attemptForward);
}
