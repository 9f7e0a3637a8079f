#include "SimHttpClient.h"

#include "support/TestSupport.h"

#include <QJsonDocument>
#include <QNetworkRequest>

namespace {
const QString kApiPath = QStringLiteral("/ferrolux/serviceHttp/serviceHttp.php");
const QByteArray kFormType = "application/x-www-form-urlencoded; charset=utf-8";
} // namespace

SimHttpClient::SimHttpClient(quint16 port)
    : m_port(port)
{}

QUrl SimHttpClient::url(const QString &path) const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path));
}

QByteArray SimHttpClient::encodeForm(const Fields &fields)
{
    QByteArrayList pairs;
    for (const auto &[name, value] : fields)
        pairs << QUrl::toPercentEncoding(name) + '=' + QUrl::toPercentEncoding(value);
    return pairs.join('&');
}

SimHttpClient::Answer SimHttpClient::postForm(const Fields &fields, std::chrono::milliseconds limit)
{
    return postRaw(encodeForm(fields), kFormType, limit);
}

SimHttpClient::Answer SimHttpClient::postRaw(const QByteArray &body, const QByteArray &contentType,
                                             std::chrono::milliseconds limit)
{
    QNetworkRequest request(url(kApiPath));
    request.setHeader(QNetworkRequest::ContentTypeHeader, contentType);
    return wait(m_network.post(request, body), limit);
}

SimHttpClient::Answer SimHttpClient::postJson(const QJsonObject &members,
                                              std::chrono::milliseconds limit)
{
    const QString json = QString::fromUtf8(QJsonDocument(members).toJson(QJsonDocument::Compact));
    return postForm({{"jsonStr", json}}, limit);
}

SimHttpClient::Answer SimHttpClient::get(const QString &path, std::chrono::milliseconds limit)
{
    return wait(m_network.get(QNetworkRequest(url(path))), limit);
}

SimHttpClient::Answer SimHttpClient::postControl(const QJsonObject &settings)
{
    QNetworkRequest request(url(QStringLiteral("/sim/control")));
    request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
    return wait(m_network.post(request, QJsonDocument(settings).toJson()),
                std::chrono::seconds(10));
}

QJsonObject SimHttpClient::fetchKeys(const QString &entkey)
{
    const Answer answer = postForm({{"funType", "getKeys"}, {"entkey", entkey}});
    return {{"date", answer.json.value("date")},
            {"DalvemorKeys", answer.json.value("DalvemorKeys")}};
}

QJsonObject SimHttpClient::withFreshKeys(QJsonObject members, const QString &entkey)
{
    const QJsonObject keys = fetchKeys(entkey);
    members.insert("date", keys.value("date"));
    members.insert("DalvemorKeys", keys.value("DalvemorKeys"));
    return members;
}

SimHttpClient::Answer SimHttpClient::wait(QNetworkReply *reply, std::chrono::milliseconds limit)
{
    Answer answer;
    answer.finished = TestSupport::waitUntil([reply] { return reply->isFinished(); }, limit);
    if (!answer.finished) {
        reply->abort();
        reply->deleteLater();
        return answer;
    }
    answer.error = reply->error();
    answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    answer.contentType = reply->rawHeader("Content-Type");
    answer.body = reply->readAll();
    answer.json = QJsonDocument::fromJson(answer.body).object();
    reply->deleteLater();
    return answer;
}
