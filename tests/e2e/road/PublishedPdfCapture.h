#pragma once

// Keeps a copy of every PDF the backend publishes in the spool folder, as it was published, so
// that what reached the service can be compared with what CUPS handed the backend. The monitor
// copies a published PDF and deletes it at once, so the copy is taken when something first opens
// the file under its published name ("<job id>.pdf"): a fanotify permission mark on the folder
// holds that open until the copy is made. Only that one open of each job waits, for as long as the
// copy takes; the road runs as it would without the capture. A file of the unprivileged user the
// tests plant as ("nobody") is never taken for a published one, whatever its name. Needs root.
//
// A worker thread of its own answers the held opens; start(), stop() and the queries belong to
// the thread that made it. Every held open goes on when it stops or goes.

#include "foundation/Error.h"
#include "foundation/SharedFolderFiles.h"

#include <QHash>
#include <QMutex>
#include <QString>
#include <QStringList>

#include <thread>

#include <sys/types.h>

class PublishedPdfCapture
{
public:
    // The copies go into copyFolder, named like the published files.
    PublishedPdfCapture(QString spoolFolder, QString copyFolder);
    ~PublishedPdfCapture();
    PublishedPdfCapture(const PublishedPdfCapture &) = delete;
    PublishedPdfCapture &operator=(const PublishedPdfCapture &) = delete;

    Result<Done> start();
    void stop();

    // The copy of the job's published PDF; a null text while it has not been published.
    QString copyOf(qint64 jobId) const;
    // Copies that could not be made, for failure messages.
    QStringList failures() const;

private:
    void answerOpens();
    void answer(int eventDescriptor);
    Result<Done> copy(int source, const QString &name) const;

    QString m_spoolFolder;
    QString m_copyFolder;
    uid_t m_plantingUser;
    FileDescriptor m_marks;
    FileDescriptor m_wakeUp;
    std::thread m_worker;

    mutable QMutex m_mutex;
    QHash<qint64, QString> m_copies;
    QStringList m_failures;
};
