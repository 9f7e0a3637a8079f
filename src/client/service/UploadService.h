#pragma once

// The client's job queue and the owner of its upload pipeline. It holds the print jobs in order of
// arrival (the head is the job being worked on), decides for the first job of an empty list how
// the user is to be logged in, runs the login and upload chains as operations of its queue
// "upload-service-queue", and ends the process when no job is left and the login window is not
// active.
//
// Login chain: "getKeys" and "userLogin", then the upload chain when a job waits. Upload chain:
// a fresh request key, the job's registration, the FTP upload (once more to the public target
// when it fails), the report; a success removes the job and starts the next one, a failed upload
// counts an attempt and drops the job after more than kMaxAttempts. Every outcome ends as a user
// notification; failures also post "kNotificationShowLoginWindow". Nothing retries a job by
// itself.
//
// Threads: lives on the main thread, where every public call is made and the job list is changed
// (under a semaphore of count 1; reads are unguarded). A chain does its first action on a thread
// of the queue and every later step on the main thread, where notifications are posted and the
// login window is asked for (synchronously, through the notification centre). Several chains may
// be in flight at once; each holds its own job and identity.
//
// sharedInstance() is the process's instance on the shared collaborators, created on first use
// and never destroyed. Its login-window state reports "not active" until the application shell
// installs its own with setLoginWindowState(). Tests construct their own instance; it must not be
// destroyed while a chain it started still runs.

#include "LoginWindowState.h"
#include "OperationQueue.h"

#include "client/models/VQLoginResult.h"
#include "foundation/Error.h"
#include "foundation/PrnParameterModel.h"

#include <QList>
#include <QObject>
#include <QSemaphore>
#include <QString>
#include <QTimer>

#include <qcoro/qcorotask.h>

#include <chrono>
#include <functional>
#include <memory>

class FTPFileUpload;
class HTTPService;
class IniConfig;
class NotificationCenter;
class PRNotification;
class SettingsStore;

class UploadService : public QObject
{
    Q_OBJECT

public:
    // Jobs are compared by identity: two prints of the same document are two jobs.
    using Job = std::shared_ptr<PrnParameterModel>;
    using JobList = QList<Job>;
    using FtpUploaderFactory = std::function<std::unique_ptr<FTPFileUpload>()>;
    using ExitFunction = std::function<void(int status)>;

    static constexpr auto kQueueName = "upload-service-queue";
    // The idle timer runs until the first job; each firing schedules an idle check.
    static constexpr std::chrono::milliseconds kIdleTimerInterval{10000};
    static constexpr std::chrono::milliseconds kIdleCheckDelay{10000};
    static constexpr int kIdleExitStatus = 0;
    // A job is dropped when its failed uploads exceed this count.
    static constexpr qint64 kMaxAttempts = 3;
    static constexpr auto kJobFolder = "/tmp/vqmprinter";

    // The chains' own outcomes (none equals a service errcode).
    static constexpr auto kErrorDomain = "An Error Has Occurred";
    static constexpr int kUploadedCode = 0;
    static constexpr int kUploadFailedCode = 20000;
    static constexpr int kLoggedInCode = 20001;

    struct Intervals
    {
        std::chrono::milliseconds idleTimer = kIdleTimerInterval;
        std::chrono::milliseconds idleCheckDelay = kIdleCheckDelay;
    };

    struct Collaborators
    {
        SettingsStore &settings;
        const IniConfig &config;
        HTTPService &http;
        PRNotification &notifications;
        NotificationCenter &notificationCenter;
        std::shared_ptr<const LoginWindowState> loginWindow;
        // Makes the uploader of one FTP upload.
        FtpUploaderFactory ftpUploader;
        // Ends the process; called on the main thread.
        ExitFunction exitProcess;
        Intervals intervals = {};
        // Where handleJobInfo() moves a job's PDF.
        QString jobFolder = QString::fromLatin1(kJobFolder);
    };

    static UploadService &sharedInstance();

    // Starts the idle timer on the calling (main) thread.
    explicit UploadService(Collaborators collaborators, QObject *parent = nullptr);
    ~UploadService() override;

    void setLoginWindowState(std::shared_ptr<const LoginWindowState> loginWindow);

    // Stops the idle timer for good, then queues the job; the first job of an empty list gets the
    // login decision. A null job is only logged.
    void appendJob(Job job);
    // Removes the job (by identity) if it is queued; an empty list then gets an idle check. A
    // null job is only logged.
    void removeJob(const Job &job);
    bool isJobArrayEmpty() const;
    JobList jobArray() const { return m_jobArray; }
    // The first job of the list; null when it is empty.
    Job headJob() const;
    // Set once a login ended with no job to upload; from then on a complete saved account is
    // used for new jobs even with "Save account" off.
    bool isLogin() const { return m_isLogin; }

    // Start a chain as an operation of the queue and return at once. The login's job may be null
    // (it then only logs in); the upload's job is required.
    void login(QString userName, QString password, QString entKey, Job job);
    void upload(VQLoginResult loginResult, Job job);
    // Drops the operations that have not started; chains already started run to their end.
    void cancelAllOperations();
    void pause();
    void resume();
    // Moves the job's PDF to a new name in the job folder; a failed move changes nothing.
    void handleJobInfo(const Job &job);

    // The chains themselves; the first action runs on the calling thread, the rest on the main
    // thread. Both end (never fail) once their outcome has been handled.
    QCoro::Task<> asyncLogin(QString userName, QString password, QString entKey, Job job);
    QCoro::Task<> asyncUpload(VQLoginResult loginResult, Job job);

private:
    void startTimer();
    void handleJobIsEmpty();
    void handleJobAdd(const Job &job);
    void addOperation(OperationQueue::Operation operation);

    // The upload chain's steps up to its outcome: code 0 with the text to show, code 20000, or
    // the error of the failed service call.
    QCoro::Task<Error> uploadSteps(VQLoginResult loginResult, Job job);
    // The upload chain's catch handler.
    void handleUploadOutcome(const Error &outcome, const Job &job);
    // The login chain's catch handler.
    void handleLoginOutcome(const Error &outcome);

    void notifyOnMainThread(const QString &text);
    void showLoginWindow();

    SettingsStore &m_settings;
    const IniConfig &m_config;
    HTTPService &m_http;
    PRNotification &m_notifications;
    NotificationCenter &m_notificationCenter;
    std::shared_ptr<const LoginWindowState> m_loginWindow;
    FtpUploaderFactory m_ftpUploader;
    ExitFunction m_exitProcess;
    Intervals m_intervals;
    QString m_jobFolder;

    QTimer m_timer;
    JobList m_jobArray;
    bool m_isLogin = false;
    QSemaphore m_uploadServicelock{1};
    // Last: its destructor waits for running operations while the rest still exists.
    OperationQueue m_queue{QString::fromLatin1(kQueueName)};
};
