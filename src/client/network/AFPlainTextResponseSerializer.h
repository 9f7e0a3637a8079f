#pragma once

// Turns a raw reply body into JSON whatever the reply's status or content type, for replies that
// the transport hands over as bytes. It also keeps a list of response serializers for its owner;
// its own code never reads them. A value; any thread, one thread per instance.
//
// Re-encoding the decoded text as UTF-8 cannot fail here, so the only new error is the JSON
// reader's. The error out-parameter is combined as a chain would: without a new error it stays as
// it was; with a new error it becomes that error, naming the earlier one (if any) as underlying in
// its description.

#include "foundation/Error.h"

#include <QByteArray>
#include <QJsonValue>
#include <QList>

#include <functional>
#include <optional>

class AFPlainTextResponseSerializer
{
public:
    // A response serializer as the transport knows one: a reply body in, JSON out, the error
    // out-parameter combined as responseObjectForResponse() combines it.
    using ResponseSerializer =
        std::function<QJsonValue(const QByteArray &data, std::optional<Error> *error)>;

    // The parsed object or array; undefined (nil) for a body that is not UTF-8, is exactly one
    // blank or is empty (error left as it was), and for a body that does not parse (error set).
    QJsonValue responseObjectForResponse(const QByteArray &data, std::optional<Error> *error) const;

    // Kept as a copy of the list given.
    QList<ResponseSerializer> responseSerializers() const { return m_responseSerializers; }
    void setResponseSerializers(const QList<ResponseSerializer> &responseSerializers)
    {
        m_responseSerializers = responseSerializers;
    }

private:
    QList<ResponseSerializer> m_responseSerializers;
};
