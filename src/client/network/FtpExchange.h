#pragma once

// One FTP exchange on a connection of its own, over libcurl's easy interface: either the creation
// of one directory or the upload of one file. It owns its libcurl handle for its whole life.
//
// The exchange blocks the calling thread (a global-pool thread) until it has ended. abort() and
// abortAll() may be called from any thread; libcurl's progress callback, which runs on the blocked
// thread at least once a second (also while waiting for a reply), then ends the exchange with a
// failure. The same callback reports an upload's progress to the observer, on the blocked thread.
//
// Only FTP is spoken: the target comes from the network, so no other protocol and no redirect is
// ever followed.

#include <QString>
#include <QUrl>

#include <atomic>
#include <chrono>
#include <functional>

class FtpExchange
{
public:
    struct Login
    {
        QString user; // null: anonymous
        QString password;
        long port = 0; // 0: the URL's port, else the default FTP port
    };

    struct Progress
    {
        qint64 sent = 0;
        qint64 total = 0; // the file's size
    };
    using ProgressObserver = std::function<void(const Progress &)>;

    // An upload whose data has not moved for this long is given up, so that a stalled server
    // cannot hold a pool thread and its job for ever.
    static constexpr std::chrono::seconds kStallLimit{60};

    // Sets libcurl up once per process; exchanges do it themselves when nobody did. Best called
    // on the main thread: the TLS library it starts keeps state for the calling thread that only
    // the main thread's exit releases.
    static bool initialiseLibrary();

    // Ends every exchange in flight and fails every later one, for good: the process is ending.
    static void abortAll();

    FtpExchange(QUrl url, Login login, ProgressObserver progressChanged = {});
    ~FtpExchange();

    FtpExchange(const FtpExchange &) = delete;
    FtpExchange &operator=(const FtpExchange &) = delete;

    // Logs in at the server of the URL and sends "MKD <path>"; true when the server created it.
    bool makeDirectory(const QString &path);

    // Stores the open file at the URL (directory and remote file name), streamed from its
    // descriptor from where it stands; the descriptor stays the caller's.
    bool upload(int localFile);

    void abort();

    // What went wrong in the last failed exchange; empty after a success.
    QString errorString() const { return m_errorString; }

private:
    bool perform(void *curl);
    bool prepare(void *curl);

    static int onProgress(void *exchange, long long, long long, long long sent, long long);

    static inline std::atomic<bool> s_abortedAll{false};

    QUrl m_url;
    Login m_login;
    ProgressObserver m_progressChanged;
    qint64 m_uploadSize = 0;
    std::atomic<bool> m_aborted{false};
    QString m_errorString;
};
