#include "SimProcess.h"

#include "support/TestSupport.h"

#include <QJsonDocument>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QUrlQuery>

using namespace std::chrono_literals;

namespace {

constexpr auto kStartLimit = 20s;
constexpr auto kExchangeLimit = 10s;
constexpr int kStopLimitMs = 10000;
constexpr auto kApiPath = "/ferrolux/serviceHttp/serviceHttp.php";

} // namespace

SimProcess::~SimProcess()
{
    stop();
}

bool SimProcess::start(const QStringList &options, QString *failure)
{
    const QString program = QStringLiteral(VQM_BINARY_DIR "/tools/service-sim/vqm-service-sim");
    m_process.setProgram(program);
    m_process.setArguments(QStringList{"--http-port", "0", "--bind", "127.0.0.1"} + options);
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.start();
    if (!m_process.waitForStarted(kStopLimitMs)) {
        *failure = QStringLiteral("cannot start %1: %2").arg(program, m_process.errorString());
        return false;
    }
    static const QRegularExpression listening(QStringLiteral("listening http=(\\d+)"));
    QByteArray output;
    const bool ready = TestSupport::waitUntil(
        [&] {
            output += m_process.readAllStandardOutput();
            const auto match = listening.match(QString::fromUtf8(output));
            if (match.hasMatch())
                m_httpPort = quint16(match.captured(1).toUInt());
            return m_httpPort != 0 || m_process.state() == QProcess::NotRunning;
        },
        kStartLimit);
    if (!ready || m_httpPort == 0) {
        *failure = QStringLiteral("the simulator did not start: %1 %2")
                       .arg(QString::fromUtf8(output),
                            QString::fromUtf8(m_process.readAllStandardError()));
        return false;
    }
    return true;
}

void SimProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(kStopLimitMs)) {
        m_process.kill();
        m_process.waitForFinished(kStopLimitMs);
    }
}

QString SimProcess::apiUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(m_httpPort).arg(QLatin1String(kApiPath));
}

QJsonArray SimProcess::requests(const QString &funType)
{
    QString path = QStringLiteral("/sim/requests");
    if (!funType.isEmpty())
        path += QStringLiteral("?funType=") + funType;
    return QJsonDocument::fromJson(exchange("GET", path)).object().value("requests").toArray();
}

void SimProcess::clearRequests()
{
    exchange("DELETE", QStringLiteral("/sim/requests"));
}

bool SimProcess::setFaults(const QJsonArray &faults)
{
    const QByteArray answer =
        exchange("POST", QStringLiteral("/sim/control"),
                 QJsonDocument(QJsonObject{{"faults", faults}}).toJson(QJsonDocument::Compact));
    const QJsonValue inForce = QJsonDocument::fromJson(answer).object().value("faults");
    return inForce.isArray() && inForce.toArray().size() == faults.size();
}

QByteArray SimProcess::exchange(const QByteArray &verb, const QString &path, const QByteArray &body)
{
    QNetworkRequest request(
        QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_httpPort).arg(path)));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/json"));
    QNetworkReply *reply = m_network.sendCustomRequest(request, verb, body);
    TestSupport::waitUntil([reply] { return reply->isFinished(); }, kExchangeLimit);
    const QByteArray answer = reply->readAll();
    reply->deleteLater();
    return answer;
}
