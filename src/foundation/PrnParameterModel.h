#pragma once

// The print job inside the client, made from the hand-off job object. A record is one job: jobs
// are told apart by object identity (held as std::shared_ptr), never by content, so the class has
// no equality. It has no lock; it is filled on one thread and then handed on.

#include <QJsonObject>
#include <QMetaType>
#include <QString>

class PrnParameterModel
{
    Q_GADGET
    Q_PROPERTY(QString jobId MEMBER jobId)
    Q_PROPERTY(QString pdfPath MEMBER pdfPath)
    Q_PROPERTY(QString fileName MEMBER fileName)
    Q_PROPERTY(QString projectId MEMBER projectId)
    Q_PROPERTY(QString copiesCount MEMBER copiesCount)
    Q_PROPERTY(QString direction MEMBER direction)
    Q_PROPERTY(QString doublePrint MEMBER doublePrint)
    Q_PROPERTY(QString color MEMBER color)
    Q_PROPERTY(QString pagerSizeCode MEMBER pagerSizeCode)
    Q_PROPERTY(QString pagerSize MEMBER pagerSize)
    Q_PROPERTY(QString pageTotal MEMBER pageTotal)
    Q_PROPERTY(QString fileSize MEMBER fileSize)
    Q_PROPERTY(QString pages MEMBER pages)
    Q_PROPERTY(bool isPamphlet MEMBER isPamphlet)
    Q_PROPERTY(qint64 allInOneCount MEMBER allInOneCount)
    Q_PROPERTY(qint64 attempts MEMBER attempts)

public:
    QString jobId;
    QString pdfPath;
    QString fileName;
    QString projectId;
    QString copiesCount;
    QString direction;
    QString doublePrint;
    QString color;
    QString pagerSizeCode;
    QString pagerSize;
    QString pageTotal;
    QString fileSize; // bytes of the file at pdfPath, decimal; "0" when unreadable
    QString pages;
    bool isPamphlet = false;
    qint64 allInOneCount = 0;
    qint64 attempts = 0; // failed uploads of this job

    // Fills the record from the hand-off job object. Never fails: missing members leave their
    // property null, members that are not texts are ignored, "printjob", "docname" and
    // "pagetype" are Base64-decoded.
    void dicCovertToModel(const QJsonObject &dictionary);
};
