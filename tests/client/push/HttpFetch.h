#pragma once

// Plain HTTP requests to 127.0.0.1 for the tests, each waited for at most kLimit.

#include <QByteArray>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QUrl>

#include <chrono>

class HttpFetch
{
public:
    static constexpr std::chrono::seconds kLimit{10};

    struct Answer
    {
        bool finished = false;
        int status = 0;
        QByteArray body;

        QJsonObject json() const;
    };

    Answer get(const QUrl &url);
    Answer post(const QUrl &url, const QByteArray &contentType, const QByteArray &body);
    Answer postJson(const QUrl &url, const QJsonObject &object);

private:
    Answer wait(class QNetworkReply *reply);

    QNetworkAccessManager m_network;
};
