#pragma once

#include "foundation/Error.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <optional>

// One fault the simulator is told to show: for one call ("funType") or for every request, a
// refusal with an errcode, another content type, a body that replaces the JSON reply, a delay, or
// an FTP target that cannot be reached. `times` counts the answers it still affects (-1: until
// the faults are replaced).
//
// JSON form (control endpoint): {"funType": "userLogin", "errcode": 2, "contentType": "text/plain",
//   "body": "<html>", "delayMs": 20000, "ftpUnreachable": true, "times": 1}, every member optional.
// Command-line form: "call=userLogin,errcode=2,content-type=text/plain,delay=20000,ftp-unreachable,
//   times=1,body=TEXT"; body comes last and takes the rest of the text, commas included.
struct FaultRule
{
    QString funType; // empty: every request
    std::optional<int> errcode;
    std::optional<QByteArray> contentType;
    std::optional<QByteArray> body;
    int delayMs = 0;
    bool ftpUnreachable = false;
    int times = kUntilReplaced;

    static constexpr int kUntilReplaced = -1;

    static Result<FaultRule> fromJson(const QJsonObject &object);
    static Result<FaultRule> fromCommandLine(const QString &text);
    QJsonObject toJson() const;
};
