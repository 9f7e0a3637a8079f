#pragma once

#include "FaultRule.h"
#include "FtpTargets.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// How one simulator run is set up; filled from the command line or directly by a test.
struct SimOptions
{
    static constexpr auto kDefaultBind = "127.0.0.1";
    static constexpr auto kDefaultPython = "/usr/bin/python3";
    static constexpr auto kFtpScriptName = "vqm-sim-ftpd.py";
    // What PHP gives a page by default.
    static constexpr auto kDefaultContentType = "text/html; charset=UTF-8";

    QString bindAddress = QString::fromLatin1(kDefaultBind);
    quint16 httpPort = 0;
    QString accountsFile;
    QStringList accountArguments; // "entkey:user:password"
    QString ftpRoot;              // empty: a new temporary folder, removed at the end
    quint16 ftpPort = 0;
    // Another FTP server to name in the answers instead of starting one.
    std::optional<FtpTargets::Server> externalFtp;
    QString recordFile;
    QByteArray contentType = kDefaultContentType;
    QList<FaultRule> faults;
    QString python = QString::fromLatin1(kDefaultPython);
    QString ftpScript;
};
