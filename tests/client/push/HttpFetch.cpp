#include "HttpFetch.h"

#include "support/TestSupport.h"

#include <QJsonDocument>
#include <QNetworkReply>
#include <QNetworkRequest>

QJsonObject HttpFetch::Answer::json() const
{
    return QJsonDocument::fromJson(body).object();
}

HttpFetch::Answer HttpFetch::get(const QUrl &url)
{
    return wait(m_network.get(QNetworkRequest(url)));
}

HttpFetch::Answer HttpFetch::post(const QUrl &url, const QByteArray &contentType,
                                  const QByteArray &body)
{
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, contentType);
    return wait(m_network.post(request, body));
}

HttpFetch::Answer HttpFetch::postJson(const QUrl &url, const QJsonObject &object)
{
    return post(url, "application/json", QJsonDocument(object).toJson(QJsonDocument::Compact));
}

HttpFetch::Answer HttpFetch::wait(QNetworkReply *reply)
{
    Answer answer;
    answer.finished = TestSupport::waitUntil([reply] { return reply->isFinished(); }, kLimit);
    if (answer.finished) {
        answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        answer.body = reply->readAll();
    } else {
        reply->abort();
    }
    reply->deleteLater();
    return answer;
}
