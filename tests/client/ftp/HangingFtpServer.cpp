#include "HangingFtpServer.h"

#include "support/TestSupport.h"

#include <QTcpSocket>

HangingFtpServer::HangingFtpServer()
{
    connect(&m_server, &QTcpServer::newConnection, this, &HangingFtpServer::accept);
}

bool HangingFtpServer::listen()
{
    return m_server.listen(QHostAddress::LocalHost, 0);
}

VQJobInfoResult HangingFtpServer::target(const QString &dir) const
{
    VQJobInfoResult info;
    info.ip = QStringLiteral("127.0.0.1");
    info.port = QString::number(port());
    info.user = QStringLiteral("u");
    info.pwd = QStringLiteral("p");
    info.dir = dir;
    return info;
}

bool HangingFtpJob::prepare()
{
    copy = copyFolder.filePath(QStringLiteral("job.pdf"));
    return server.listen() && TestSupport::writeFile(copy, "%PDF-1.4\n%%EOF\n");
}

bool HangingFtpJob::waitForFirstDirectoryRequest(std::chrono::milliseconds limit)
{
    return TestSupport::waitUntil(
        [this] { return server.commands().contains(QStringLiteral("MKD a")); }, limit);
}

void HangingFtpServer::accept()
{
    while (QTcpSocket *client = m_server.nextPendingConnection()) {
        ++m_connectionCount;
        client->setParent(this);
        connect(client, &QTcpSocket::readyRead, this, [this, client] { answer(client); });
        client->write("220 hanging server\r\n");
    }
}

void HangingFtpServer::answer(QTcpSocket *client)
{
    while (client->canReadLine()) {
        const QString line = QString::fromUtf8(client->readLine()).trimmed();
        m_commands << line;
        const QString verb = line.section(' ', 0, 0).toUpper();
        if (verb == "USER") {
            client->write("331 password please\r\n");
        } else if (verb == "PASS") {
            client->write("230 logged in\r\n");
        } else if (verb == "PWD") {
            client->write("257 \"/\"\r\n");
        } else if (verb == "MKD") {
            // No reply: the request hangs until the client gives up.
        } else if (verb == "QUIT") {
            client->write("221 bye\r\n");
            client->disconnectFromHost();
        } else {
            client->write("550 refused\r\n");
        }
    }
}
