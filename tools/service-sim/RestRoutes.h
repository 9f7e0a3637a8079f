#pragma once

#include "FtpTargets.h"
#include "HttpReply.h"

#include <QJsonObject>
#include <QString>
#include <QUrlQuery>

#include <functional>

class AccountStore;
class HttpEndpoint;
class QHttpServerRequest;
class RequestLog;

// The service's token-based REST paths, each appended directly to the API address:
//   GET  /api/Token/get?grant_type=client_credential&client_id=ID&client_secret=SECRET
//        -> data {"token"}; wrong or missing credentials are refused (72, 70)
//   GET  /api/v1.Tools/ftp             -> data: the job FTP target with "id" 7
//   POST /api/v1.Ent/info               entkey -> data {"id"}; unknown keys refused (7)
//   POST /api/v1.Tools/register         ent_id, tool_type, name, ip, mac, host, flag, version,
//        system_type -> data {"id", "flag"}; a missing field (70), an unknown enterprise (7)
//   POST /api/v1.Printing/add           the job record's fields (user_id, doc_name and total_page
//        required) -> data {"equid"}
// A wrong method is refused (73 for POST-only paths, 71 for GET-only ones), as is a form body
// that does not decode (71). Every request is recorded with "rest" (its path), "form" and the
// reply. Answers are JSON. Main thread only.
class RestRoutes
{
public:
    static constexpr auto kClientId = "x5e71c0d2a94b3f8e26";
    static constexpr auto kClientSecret = "3c9d1e7f05b2a8c46e0f9d2b71a5c83e";
    static constexpr qint64 kFtpConfigId = 7;

    // Adds the routes below the API path; the parts must outlive the endpoint's routes.
    static void addTo(HttpEndpoint &endpoint, const AccountStore &accounts,
                      const FtpTargets &ftpTargets, RequestLog &log);

private:
    using Answer = std::function<QJsonObject(const QUrlQuery &query, const QJsonObject &form)>;

    RestRoutes(const AccountStore &accounts, const FtpTargets &ftpTargets, RequestLog &log);

    void handle(const QString &path, bool postOnly, const Answer &answer,
                const QHttpServerRequest &request, const HttpReply &reply);

    QJsonObject token(const QUrlQuery &query) const;
    QJsonObject ftp() const;
    QJsonObject entInfo(const QJsonObject &form) const;
    QJsonObject registerClient(const QJsonObject &form);
    QJsonObject addPrinting(const QJsonObject &form);

    const AccountStore &m_accounts;
    const FtpTargets &m_ftpTargets;
    RequestLog &m_log;
    qint64 m_nextClientId = 1;
    qint64 m_nextEquid = 1;
};
