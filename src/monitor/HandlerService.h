#pragma once

// Hands one complete spool PDF to the client: reads the job's row (waiting while the database is
// busy), copies the PDF into the copy folder under a new name, deletes the spool file (only while
// it is still the file that was copied: anything else put at its name is left alone), completes
// the row's page counts, builds the hand-off URL from the row, makes sure the URL scheme has a
// handler and opens the URL. A job whose row is missing or cannot be read keeps its spool PDF and
// gets no copy; a spool PDF that is not a file the backend could have published (another user's
// file swapped in after the watcher looked) is left where it is and never handed off. Both
// folders are reached through their checked descriptors only; a copy folder removed while the
// monitor runs is made again for the job. Keeps no state between jobs but the copy folder in use;
// any thread, several jobs at once (the registry, the copy folder and the database helper take
// care of their own locking); a busy database blocks the calling thread.

#include "CheckedFolder.h"
#include "CopyFolder.h"
#include "db/DataBaseHelper.h"

#include <QJsonObject>
#include <QString>

class DBJob;
class SchemeHandlerRegistry;

class HandlerService
{
public:
    static constexpr auto kScheme = "vandrix";
    // The URL whose default application is looked up.
    static constexpr auto kSchemeUrl = "vandrix://";
    static constexpr auto kClientBundleId = "com.dalvemor.vqm.client";
    static constexpr auto kMethod = "print";
    // Copies assumed by the page fix-up when the row has none.
    static constexpr auto kDefaultCopies = "1";
    // Every user's client may read a copy; only its owner may change it.
    static constexpr mode_t kCopyMode = 0644;

    // Without a database helper the shared one is used, opened at the first job's row query. The
    // folders opened at start must outlive the service.
    HandlerService(const CheckedFolder &spoolFolder, const CheckedFolder &copyFolder,
                   SchemeHandlerRegistry &registry, DataBaseHelper *database = nullptr);

    void senderMessageWithJobId(const QString &jobId);

    // The compact JSON text of the job's hand-off object, or a null text when the job has no
    // row, its row cannot be read or the PDF cannot be copied.
    QString getParametersStringFromJobId(const QString &jobId);

    // Serialised JSON with every blank and line feed removed, values included.
    static QString dictionaryToJsonString(const QJsonObject &dictionary);
    // Every UTF-8 byte but ASCII letters, digits, "-", ".", "_" and "~" as "%XX".
    static QString urlEncodedString(const QString &text);
    // A new random UUID, upper case, 8-4-4-4-12.
    static QString stringWithUUID();
    // key=value pairs joined by "&", unescaped; each key is also written to the process log.
    static QString dictionaryToUrlString(const QJsonObject &dictionary);

private:
    void fixUpPageCounts(DBJob &job, const QString &copyPath);
    static QJsonObject handoffObject(const DBJob &job, const QString &copyPath);
    DataBaseHelper &database() const;

    // Copies the spool PDF into the copy folder (set to the folder used), making the folder again
    // once when it was removed; the status of the source that was copied.
    Result<struct stat> copyJob(const QString &source, const QString &copyName,
                                std::shared_ptr<const CheckedFolder> &copyFolder);
    void removeSpoolFile(const QString &name, const struct stat &copied);

    const CheckedFolder &m_spoolFolder;
    CopyFolder m_copyFolder;
    SchemeHandlerRegistry &m_registry;
    DataBaseHelper *const m_database;
};
