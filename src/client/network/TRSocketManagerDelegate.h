#pragma once

// What the push channel tells the object that listens to it (the login window's controller).
// The listener is a QObject that also implements this interface; TRSocketManager holds it weakly.
// Every call is made on the main thread.

#include "NetPackModel.h"

#include "foundation/Error.h"

#include <QString>

#include <optional>

class TRSocketManagerDelegate
{
public:
    virtual ~TRSocketManagerDelegate() = default;

    // After every successful connect.
    virtual void didConnectToHost(const QString &host, quint16 port) = 0;
    // For every packet read, in stream order.
    virtual void didReceiveWithModel(const NetPackModel &model) = 0;
    // Optional: after the connection ends (no error when it was ended on purpose), or when a
    // connect request is refused at once.
    virtual void didDisconnectWithError(const std::optional<Error> &error) { Q_UNUSED(error); }
};
