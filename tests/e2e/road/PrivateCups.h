#pragma once

// A cupsd of the print road's own: its configuration, state, spool and logs live in one folder
// and it listens on a local socket there only, so the machine's CUPS is never touched. Its CUPS
// clients (lpadmin, lp, lpstat) reach it through CUPS_SERVER, ipptool through the socket's URI.
// It runs the installed filters and backends of the machine's CUPS server folder. Main thread
// only.

#include "ManagedProcess.h"

#include "foundation/Error.h"

#include <QJsonObject>
#include <QList>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <chrono>

class PrivateCups
{
public:
    static constexpr auto kQueue = "Tarvello";

    // IPP's job-state and printer-state values. The job states from canceled on (canceled,
    // aborted, completed) are final.
    static constexpr int kJobProcessing = 5;
    static constexpr int kJobCanceled = 7;
    static constexpr int kQueueIdle = 3;
    static constexpr int kQueueStopped = 5;

    struct PrintRequest
    {
        QString file;
        QString title;
        int copies = 1;
        QString media = QStringLiteral("A4");
        // Further lp options, each "name=value" or a bare name ("raw").
        QStringList options = {};
        // Further documents of the same job, printed after file with the same lp.
        QStringList moreFiles = {};
    };

    explicit PrivateCups(QString folder);

    // Starts cupsd and waits until it answers.
    Result<Done> start(std::chrono::milliseconds limit);
    void stop();

    // Sets the queue up with the given script (scripts/add-printer) and PPD.
    Result<Done> addQueue(const QString &addPrinterScript, const QString &ppd) const;
    // Prints every request at once, one lp each; the CUPS request ids ("Tarvello-7"), in order.
    Result<QStringList> print(const QList<PrintRequest> &requests) const;
    // Cancels the job as its user would, with cancel.
    Result<Done> cancel(qint64 jobId) const;
    // The job id of a request id (7 for "Tarvello-7"), which the backend names its PDF by; 0 for
    // anything else.
    static qint64 jobIdOf(const QString &requestId);

    // The job's state, its reasons and the last message its filters or backend gave
    // ("job-state", "job-state-reasons", "job-printer-state-message").
    Result<QJsonObject> jobAttributes(qint64 jobId) const;
    // The queue's "printer-state", "printer-state-reasons" and "printer-is-accepting-jobs".
    Result<QJsonObject> queueAttributes() const;

    QProcessEnvironment clientEnvironment() const;
    QString socketPath() const;
    QString errorLogTail() const;

private:
    Result<Done> writeConfiguration() const;
    bool answers() const;
    Result<QJsonObject> attributes(const char *request, const QString &resource,
                                   const char *group) const;
    QString path(const QString &name) const;

    QString m_folder;
    ManagedProcess m_daemon;
};
