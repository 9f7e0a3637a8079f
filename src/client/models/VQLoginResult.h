#pragma once

// The logged-in identity: enterprise, user and the request-key pair last fetched for it. Made from
// the login reply, from the saved identity or from a QR login; the upload chain puts each fresh
// key pair into it. Property names are the JSON member names. A plain value; any thread.

#include <QObject>
#include <QString>

class VQLoginResult
{
    Q_GADGET
    Q_PROPERTY(QString entname MEMBER entname)
    Q_PROPERTY(QString entId MEMBER entId)
    Q_PROPERTY(QString email MEMBER email)
    Q_PROPERTY(QString entkey MEMBER entkey)
    Q_PROPERTY(QString userId MEMBER userId)
    Q_PROPERTY(QString date MEMBER date)
    Q_PROPERTY(QString DalvemorKeys MEMBER DalvemorKeys)

public:
    QString entname;
    QString entId;
    QString email;
    QString entkey;
    QString userId;
    QString date;
    QString DalvemorKeys;
};
