#pragma once

// The QR-login record that the push server sends in its QR-login result packet, after the
// channel code and ";", as a JSON object whose member names are the property names. The client
// reads code (the account name), userId, entkey and entId; the rest is carried as it came.
// A plain value; any thread.

#include <QObject>
#include <QString>

class LoginResultModel
{
    Q_GADGET
    Q_PROPERTY(QString engrealname MEMBER engrealname)
    Q_PROPERTY(QString realname_eng MEMBER realname_eng)
    Q_PROPERTY(QString depId MEMBER depId)
    Q_PROPERTY(QString realname MEMBER realname)
    Q_PROPERTY(QString leftmoney MEMBER leftmoney)
    Q_PROPERTY(QString cardNo MEMBER cardNo)
    Q_PROPERTY(QString comment MEMBER comment)
    Q_PROPERTY(QString opermoney MEMBER opermoney)
    Q_PROPERTY(QString userId MEMBER userId)
    Q_PROPERTY(QString code MEMBER code)
    Q_PROPERTY(QString cardType MEMBER cardType)
    Q_PROPERTY(QString telphone MEMBER telphone)
    Q_PROPERTY(QString cmd MEMBER cmd)
    Q_PROPERTY(QString entId MEMBER entId)
    Q_PROPERTY(QString entname MEMBER entname)
    Q_PROPERTY(QString email MEMBER email)
    Q_PROPERTY(QString entkey MEMBER entkey)
    Q_PROPERTY(QString depName MEMBER depName)

public:
    QString engrealname;
    QString realname_eng;
    QString depId;
    QString realname;
    QString leftmoney;
    QString cardNo;
    QString comment;
    QString opermoney;
    QString userId;
    QString code;
    QString cardType;
    QString telphone;
    QString cmd;
    QString entId;
    QString entname;
    QString email;
    QString entkey;
    QString depName;
};
