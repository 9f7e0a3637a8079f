#pragma once

// The whole road of a print job on this machine, for the end-to-end tests and the benchmark:
// the CUPS backend and the rest of the backend installation (staged, then copied into the fixed
// folders), a private cupsd with the "Tarvello" queue, vqm-service-sim as the printing service,
// the INI file pointing at it, a user whose settings hold the service account, a private session
// bus with a recording notification service, and vqmmonitor, which opens each job's hand-off URL
// in the client through GIO. Documents go in with lp; what arrived is read back from the
// simulator's FTP folder and record, and from the notifications; what the backend published for
// each job is kept as it was published (PublishedPdfCapture), and CUPS is asked how each job ended.
//
// Writes to the programs' fixed folders, so start() refuses to run outside the private
// namespaces of tests/e2e/private-road (PrivateRoadCheck). Main thread only; it waits by polling.

#include "NotificationSession.h"
#include "PrivateCups.h"
#include "PublishedPdfCapture.h"
#include "ServiceSimProcess.h"

#include "foundation/Error.h"

#include <QJsonObject>
#include <QList>
#include <QTemporaryDir>

#include <chrono>
#include <functional>
#include <memory>

class PrintRoad
{
public:
    // What the road runs and installs, as this build made it.
    struct Programs
    {
        QString cmake;
        QString buildDir;
        QString monitor;
        QString client;
        QString simulator;
        QString notificationRecorder;
        QString addPrinterScript;
        QString desktopEntry;
        QString ppdFolder;
        QString iniFile;
        QString privateRoadScript;
        QStringList shadowedFolders;

        static Programs ofThisBuild();
    };

    // The account the simulator knows and the user's settings hold.
    static const ServiceSimProcess::Account kAccount;
    // Each job may take this long from lp to its upload report.
    static constexpr std::chrono::seconds kJobLimit{60};

    explicit PrintRoad(Programs programs = Programs::ofThisBuild());
    ~PrintRoad();

    // beforeMonitorStarts, when given, runs once everything else is up, just before the monitor
    // starts; its failure fails the start.
    Result<Done> start(const std::function<Result<Done>()> &beforeMonitorStarts = {});
    void stop();

    // Prints every request at once; the CUPS request ids.
    Result<QStringList> print(const QList<PrivateCups::PrintRequest> &requests);
    // Waits until the simulator has received this many upload reports in all.
    Result<Done> waitForReports(int count, std::chrono::milliseconds limit);
    // Waits until the client has ended by itself.
    Result<Done> waitForClientExit(std::chrono::milliseconds limit);

    // The copy of the PDF the backend published for the request's job, or a null text while it
    // has published none.
    QString publishedCopyOf(const QString &requestId) const;
    // Cancels the request's job, as its user would.
    Result<Done> cancel(const QString &requestId) const;
    // The job's attributes (PrivateCups::jobAttributes) now.
    Result<QJsonObject> jobAttributes(const QString &requestId) const;
    // The job's attributes (PrivateCups::jobAttributes) once CUPS has ended it.
    Result<QJsonObject> waitForJobEnd(const QString &requestId, std::chrono::milliseconds limit);
    Result<QJsonObject> queueAttributes() const;
    // Every entry of the spool folder, hidden ones included.
    QStringList spoolEntries() const;
    // Whether the job table holds a row for the job.
    Result<bool> hasJobRow(const QString &requestId) const;

    // The jobs registered with the service ("addSubmitJobInfo"), oldest first.
    QList<QJsonObject> submissions() const;
    // The upload reports ("fileFtpUploadInfo"), oldest first.
    QList<QJsonObject> reports() const;
    // Where the simulator's FTP server stored the PDF of a registered job.
    QString storedFileOf(const QJsonObject &submission) const;
    QStringList notificationBodies() const;

    // A path in the road's own folder, for the documents to print.
    QString workPath(const QString &name) const;
    // The ends of every log, for failure messages.
    QString diagnostics() const;

private:
    Result<Done> installBackend();
    Result<Done> writeIniFile() const;
    Result<Done> writeUserSettings() const;
    Result<Done> writeDesktopEntry() const;
    Result<Done> startMonitor();
    QProcessEnvironment sessionEnvironment() const;

    Programs m_programs;
    QTemporaryDir m_work;
    std::unique_ptr<PublishedPdfCapture> m_capture;
    std::unique_ptr<PrivateCups> m_cups;
    std::unique_ptr<ServiceSimProcess> m_simulator;
    std::unique_ptr<NotificationSession> m_session;
    std::unique_ptr<ManagedProcess> m_monitor;
};
