#pragma once

// A push-channel listener that writes down every call it gets, in order.

#include "client/network/TRSocketManagerDelegate.h"

#include <QList>
#include <QObject>
#include <QString>

#include <optional>

class RecordingPushDelegate : public QObject, public TRSocketManagerDelegate
{
    Q_OBJECT

public:
    struct Connect
    {
        QString host;
        quint16 port = 0;
    };

    void didConnectToHost(const QString &host, quint16 port) override
    {
        connects.append({host, port});
        events.append(QStringLiteral("connect"));
    }
    void didReceiveWithModel(const NetPackModel &model) override
    {
        packets.append(model);
        events.append(QStringLiteral("packet"));
    }
    void didDisconnectWithError(const std::optional<Error> &error) override
    {
        disconnects.append(error);
        events.append(QStringLiteral("disconnect"));
    }

    QList<Connect> connects;
    QList<NetPackModel> packets;
    QList<std::optional<Error>> disconnects;
    QStringList events;
};

// A listener that implements only what it must: disconnects reach nobody.
class RequiredOnlyPushDelegate : public QObject, public TRSocketManagerDelegate
{
    Q_OBJECT

public:
    void didConnectToHost(const QString &, quint16) override { ++connects; }
    void didReceiveWithModel(const NetPackModel &model) override { packets.append(model); }

    int connects = 0;
    QList<NetPackModel> packets;
};
