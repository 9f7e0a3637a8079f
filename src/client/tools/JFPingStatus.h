#pragma once

// The events of a ping run, in this order. Values compare and hash by their position.

enum class JFPingStatus {
    didStart,                   // the socket is open and the first request has gone out
    didFailToSendPacket,        // a request failed to go out; the run has ended
    didReceivePacket,           // a valid echo reply arrived; the item carries its time
    didReceiveUnexpectedPacket, // something else was received (runs never report it)
    didTimeout,                 // a request went unanswered in time (runs never report it)
    didError,                   // the engine failed; the run has ended
    didFinished,                // all requests were sent and the run has ended
};
