#pragma once

// Stands between the client and the service's HTTP endpoint on 127.0.0.1 and fails chosen calls
// the way a broken server or network does: it closes the connection halfway through the reply,
// or answers with an HTML error page and status 500 instead of asking the service. Other
// requests pass through unchanged. Each connection carries one request (the proxy answers with
// "Connection: close"); the call is told by the request's "funType" (a plain form field or a
// member of "jsonStr"). Main thread.

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <QTcpServer>

class QTcpSocket;

class FaultyHttpProxy : public QObject
{
    Q_OBJECT

public:
    enum class Fault { CloseMidReply, Html500 };

    explicit FaultyHttpProxy(QObject *parent = nullptr);

    // Listens on an ephemeral port of 127.0.0.1, forwarding to the port there.
    bool start(quint16 servicePort);
    quint16 port() const { return m_server.serverPort(); }

    // The next `times` requests of the call fail so (replacing what was set for it).
    void setFault(const QString &funType, Fault fault, int times);
    void clearFaults() { m_faults.clear(); }

    // Requests failed so far.
    int faultsShown() const { return m_faultsShown; }

    static constexpr auto kErrorPage = "<html><head><title>500 Internal Server Error</title>"
                                       "</head><body><h1>Internal Server Error</h1></body></html>";

private:
    struct PendingFault
    {
        Fault fault;
        int times;
    };

    void serve(QTcpSocket *client);
    void forward(QTcpSocket *client, const QByteArray &request, std::optional<Fault> fault);
    std::optional<Fault> takeFault(const QByteArray &request);

    QTcpServer m_server;
    quint16 m_servicePort = 0;
    QHash<QString, PendingFault> m_faults;
    int m_faultsShown = 0;
};
