#include "TRSocketManager.h"

#include "foundation/TextHelpers/Md5.h"
#include "foundation/logging/Log.h"

#include <QDebug>

namespace {

constexpr long kSubscribeTag = 0;
constexpr quint32 kSubscribeSubCmd = 0;

QString describe(const std::optional<Error> &error)
{
    return error ? error->description : QStringLiteral("(null)");
}

} // namespace

TRSocketManager &TRSocketManager::sharedInstance()
{
    static TRSocketManager *const instance = new TRSocketManager();
    return *instance;
}

TRSocketManager::TRSocketManager(const QString &timeText)
    : m_qrCodeIndentify(Md5::MD5ForUpper32Bate(timeText))
    , m_socket({
                   [this](const QString &host, quint16 port) { didConnect(host, port); },
                   [this](long tag) { didWrite(tag); },
                   [this](const QByteArray &data, long tag) { didRead(data, tag); },
                   [this](const std::optional<Error> &error) { didDisconnect(error); },
               },
               kReadBufferLimit)
{}

void TRSocketManager::connectWithHost(const QString &host, int port)
{
    auto started = m_socket.connectToHost(host, quint16(port));
    if (started)
        return;
    Log::client(
        QStringLiteral("socket  connect with host error: %1").arg(started.error().description));
    if (auto *listener = delegate())
        listener->didDisconnectWithError(started.error());
}

void TRSocketManager::disconnect()
{
    Log::client(QStringLiteral("##socket disconnect"));
    m_isFirstConnect = false;
    m_isConnected = false;
    m_socket.disconnect();
}

void TRSocketManager::readDataWithTimeout(double /*timeout*/, long tag)
{
    m_socket.readData(tag);
}

void TRSocketManager::writeData(const QByteArray &data, double /*timeout*/, long tag)
{
    m_socket.writeData(data, tag);
}

TRSocketManagerDelegate *TRSocketManager::delegate() const
{
    return m_delegateObject ? m_delegate : nullptr;
}

void TRSocketManager::setDelegate(std::nullptr_t)
{
    m_delegateObject = nullptr;
    m_delegate = nullptr;
}

void TRSocketManager::didConnect(const QString &host, quint16 port)
{
    Log::client(QStringLiteral("## socket didConnectToHost: %1, port: %2").arg(host).arg(port));
    m_isConnected = true;
    if (m_isFirstConnect) {
        const QByteArray subscribe = NetPackModel::modelToData(NetPackModel::kMainCmdSubscribe,
                                                               kSubscribeSubCmd, m_qrCodeIndentify);
        Log::client(QStringLiteral("data length %1").arg(subscribe.size()));
        m_socket.writeData(subscribe, kSubscribeTag);
        m_isFirstConnect = false;
    }
    if (auto *listener = delegate())
        listener->didConnectToHost(host, port);
}

void TRSocketManager::didWrite(long tag)
{
    qInfo("didWriteDataWithTag: %ld", tag);
    m_socket.readData(tag);
}

void TRSocketManager::didRead(const QByteArray &data, long tag)
{
    qInfo("didReadData length: %lu, tag: %ld", static_cast<unsigned long>(data.size()), tag);
    for (const QByteArray &bytes : m_assembler.append(data)) {
        const NetPackModel model = NetPackModel::dataToModel(bytes);
        qInfo("Model Cmd=%d,\nSubCmd=%d,\nContext=%s\n", int(model.mainCmd), int(model.subCmd),
              qUtf8Printable(model.content.isNull() ? QStringLiteral("(null)") : model.content));
        if (auto *listener = delegate())
            listener->didReceiveWithModel(model);
    }
    m_socket.readData(tag);
}

void TRSocketManager::didDisconnect(const std::optional<Error> &error)
{
    Log::client(QStringLiteral("##socket didDisconnect...%1").arg(describe(error)));
    m_isConnected = false;
    m_assembler.reset();
    if (auto *listener = delegate())
        listener->didDisconnectWithError(error);
}
