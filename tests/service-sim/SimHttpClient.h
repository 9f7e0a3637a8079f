#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPair>
#include <QString>

#include <chrono>

// Talks to a running simulator over 127.0.0.1 the way the client does: form-encoded POSTs to the
// API path, either plain fields or one "jsonStr" field. Every call waits for its answer, at most
// the given limit.
class SimHttpClient
{
public:
    struct Answer
    {
        bool finished = false;
        QNetworkReply::NetworkError error = QNetworkReply::NoError;
        int status = 0;
        QByteArray contentType;
        QByteArray body;
        QJsonObject json;

        int errcode() const { return json.value("errcode").toInt(-1); }
    };

    using Fields = QList<QPair<QString, QString>>;

    explicit SimHttpClient(quint16 port);

    Answer postForm(const Fields &fields,
                    std::chrono::milliseconds limit = std::chrono::seconds(10));
    Answer postRaw(const QByteArray &body, const QByteArray &contentType,
                   std::chrono::milliseconds limit = std::chrono::seconds(10));
    Answer postJson(const QJsonObject &members,
                    std::chrono::milliseconds limit = std::chrono::seconds(10));
    Answer get(const QString &path, std::chrono::milliseconds limit = std::chrono::seconds(10));
    Answer postControl(const QJsonObject &settings);

    // "getKeys" for the company key; the pair as {"date", "DalvemorKeys"}.
    QJsonObject fetchKeys(const QString &entkey);
    // Members with a fresh pair fetched for the company key.
    QJsonObject withFreshKeys(QJsonObject members, const QString &entkey);

    static QByteArray encodeForm(const Fields &fields);
    QUrl url(const QString &path) const;

private:
    Answer wait(QNetworkReply *reply, std::chrono::milliseconds limit);

    quint16 m_port;
    QNetworkAccessManager m_network;
};
