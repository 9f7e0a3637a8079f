#pragma once

// Reads the body of a pushed QR-login result: this client's channel code, ";" and the login
// record as a JSON object. A result is usable only when it carries this client's channel code and
// its record names the account (code) and the company key (entkey); anything else is an error
// whose description says why, for the log. Every occurrence of the channel code followed by ";"
// is taken out before the rest is read as JSON.
//
// Pure functions on values; any thread.

#include "client/models/LoginResultModel.h"
#include "foundation/Error.h"

#include <QString>

class QrLoginResult
{
public:
    static constexpr auto kErrorDomain = "QrLoginResult";

    enum Failure {
        // The body does not carry this client's channel code: the result is another client's.
        ForeignChannel = 1,
        NotAnObject,
        LacksCodeOrEntkey,
    };

    static Result<LoginResultModel> parse(const QString &body, const QString &channelCode);
};
