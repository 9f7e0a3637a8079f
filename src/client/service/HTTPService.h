#pragma once

// The five calls of the service's API on which the login and upload chains run. Every call is one
// form-encoded POST through the transport; all but "getKeys" carry a request-key pair ("date",
// "DalvemorKeys") fetched just before the request, used once and never stored here.
//
// Threads: calls may start on any thread; their results arrive on the transport's thread (main),
// where the awaiting caller continues. sharedInstance() runs on the shared transport; tests
// construct their own.

#include "client/models/CSAddSubmitJobRequestModel.h"
#include "client/models/CSFTPResult.h"
#include "client/models/VQAddSubmitJobInfoRequest.h"
#include "client/models/VQFileFtpUploadInfoRequest.h"
#include "client/models/VQJobInfoResult.h"
#include "client/models/VQLoginResult.h"
#include "client/settings/SettingsStore.h"
#include "foundation/Error.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <qcoro/qcorotask.h>

#include <optional>

class HTTPManager;

class HTTPService
{
public:
    static constexpr auto kGetKeys = "getKeys";
    static constexpr auto kUserLogin = "userLogin";
    static constexpr auto kGetFtpInfo = "getFtpInfo";
    static constexpr auto kJsonStrField = "jsonStr";

    static HTTPService &sharedInstance();

    explicit HTTPService(HTTPManager &transport);

    // "getKeys": the reply object unchanged (it holds "date" and "DalvemorKeys").
    QCoro::Task<Result<QJsonObject>> getDalvemorKeyWithEntKey(QString entKey);
    // "userLogin" with a fresh pair: the identity, carrying the pair fetched for this login.
    // A failure of the login request itself is logged with its code and message.
    QCoro::Task<Result<VQLoginResult>> loginWithUserName(QString userName, QString password,
                                                         QString entkey);
    // "addSubmitJobInfo" with the pair the caller put into the request.
    QCoro::Task<Result<VQJobInfoResult>> addSubmitJobInfo(VQAddSubmitJobInfoRequest request);
    // "getFtpInfo" with a fresh pair; isSystem asks for the public FTP target.
    QCoro::Task<Result<VQJobInfoResult>> getFtpInfoWithUserId(QString userId, QString entKey,
                                                              bool isSystem);
    // "fileFtpUploadInfo" with a fresh pair, which is left in the caller's request. The request
    // must outlive the call and not be changed while it runs.
    QCoro::Task<Result<QJsonObject>> fileFtpUploadInfo(VQFileFtpUploadInfoRequest &request,
                                                       QString entkey);

    // The token-based REST calls (HTTPServiceRest.cpp), paths appended to the transport's host;
    // nothing on the client's road calls them. A "data" member that is missing gives nil (a null
    // text, an undefined value, no record).
    QCoro::Task<Result<QString>> getToken();
    QCoro::Task<Result<std::optional<CSFTPResult>>> getFTPInfo();
    QCoro::Task<Result<QJsonValue>> getEntInfoWithEntKey(QString entKey);
    QCoro::Task<Result<QJsonObject>>
    registerClientWithEntId(QString entId,
                            const SettingsStore &settings = SettingsStore::defaults());
    QCoro::Task<Result<QJsonValue>> addSubmitJob(CSAddSubmitJobRequestModel request);

private:
    struct KeyPair
    {
        QString date;
        QString keys;
    };

    QCoro::Task<Result<KeyPair>> freshKeyPair(QString entKey);
    QCoro::Task<Result<QJsonObject>> postJson(QJsonObject request);

    HTTPManager &m_transport;
};
