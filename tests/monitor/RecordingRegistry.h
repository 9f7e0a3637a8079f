#pragma once

// A scheme-handler registry whose answers the test sets and which records what it was asked,
// for tests of the hand-off's handler logic without a desktop session.

#include "monitor/platform/SchemeHandlerRegistry.h"

#include <QHash>
#include <QMutex>
#include <QStringList>

#include <functional>

class RecordingRegistry : public SchemeHandlerRegistry
{
public:
    QString handler;
    Result<QString> application = Error{"test", 1, "no application"};
    QHash<QString, QString> identifiers; // location -> identifier
    int setStatus = kStatusSuccess;
    bool openResult = true;
    // Runs at each call with the call's name, before it answers.
    std::function<void(const QString &call)> onCall;

    QStringList calls() const;
    QStringList opened() const;

    QString defaultHandlerForScheme(const QString &scheme) override;
    Result<QString> defaultApplicationForUrl(const QString &url) override;
    QString identifierOfApplicationAt(const QString &location) override;
    int setDefaultHandlerForScheme(const QString &scheme, const QString &identifier) override;
    bool openUrl(const QString &url) override;

private:
    void record(const QString &call);

    mutable QMutex m_mutex;
    QStringList m_calls;
    QStringList m_opened;
};
