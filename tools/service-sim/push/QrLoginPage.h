#pragma once

#include "HttpReply.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

class AccountStore;
class PushServer;
class QHttpServerRequest;
struct SimAccount;

// The service's QR-login page, which a mobile device opens from the client's QR code:
//   /ferrolux/mobile/index.php?act=index&op=scanlogin&DalvemorKeys=KEY&date=DATE&type=1&code=CODE
// KEY must be the upper-case MD5 hex of kKeySalt followed by DATE, a 14-digit time text. The page
// shows a small form to pick the account that logs in; confirming it (confirm=1&user=NAME, and
// entkey=KEY where a user name is not unique, as query or form fields, by GET or POST) pushes the
// QR-login result for that account to the push connections that subscribed CODE. The answer is an
// HTML page; its status tells tests the outcome (200 confirmed or form, 400 malformed, 403 wrong
// key, 404 unknown account, 409 no client waiting for the code). Main thread only.
class QrLoginPage
{
public:
    static constexpr auto kPath = "/ferrolux/mobile/index.php";
    static constexpr auto kKeySalt = "~#!$$!#~";
    static constexpr quint16 kDefaultPort = 80;

    QrLoginPage(const AccountStore &accounts, PushServer &push);

    void handle(const QHttpServerRequest &request, const HttpReply &reply);

    // The key the client makes for the date.
    static QString keyForDate(const QString &date);
    // The QR-login record that the push server sends for the account.
    static QJsonObject loginRecord(const SimAccount &account);

private:
    const SimAccount *findAccount(const QJsonObject &fields, QString *problem) const;
    QByteArray formPage(const QJsonObject &fields) const;

    const AccountStore &m_accounts;
    PushServer &m_push;
};
