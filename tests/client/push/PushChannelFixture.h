#pragma once

// A push server on 127.0.0.1 (free port) and helpers to connect push-channel clients to it.

#include "RecordingPushDelegate.h"

#include "client/network/TRSocketManager.h"
#include "push/PushServer.h"

#include <gtest/gtest.h>

#include <memory>

class PushChannelFixture : public ::testing::Test
{
protected:
    static constexpr auto kTimeText = "20240315093000";

    void SetUp() override;

    // A client with a delegate, connected and subscribed (the server has its code).
    std::unique_ptr<TRSocketManager> connectedClient(RecordingPushDelegate &delegate,
                                                     const QString &timeText = kTimeText);
    void connectAndWaitForSubscription(TRSocketManager &client);

    // A client's packets once it has at least count of them.
    bool waitForPackets(const RecordingPushDelegate &delegate, qsizetype count);

    PushServer m_server;
};
