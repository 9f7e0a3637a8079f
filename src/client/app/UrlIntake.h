#pragma once

// Turns a hand-off URL into a queued job. On the calling (main) thread it removes the percent
// encoding (strictly: an invalid sequence or text that is not UTF-8 gives no text), takes the text
// between the first and the second "?", deletes every "params=" in it and parses the rest as a
// JSON object; a URL that fails is only logged. On the global pool it converts the object into a
// job and checks the job's file against the copy folder; back on the main thread it hands a job
// that passed to the job sink. A refused job is logged and never reaches the sink.
//
// The reply given with a URL is called on the main thread once the URL is done with: at once when
// it fails to parse, else after the job was handed over or refused. Main thread; the object must
// live until the replies of the URLs it was given have been called.

#include "client/platform/CopyFolderCheck.h"
#include "client/platform/UrlEventSource.h"
#include "foundation/PrnParameterModel.h"

#include <QJsonObject>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class UrlIntake : public QObject
{
    Q_OBJECT

public:
    using Job = std::shared_ptr<PrnParameterModel>;
    using JobSink = std::function<void(Job job)>;

    UrlIntake(CopyFolderCheck check, JobSink sink, QObject *parent = nullptr);

    void take(const QString &urlText, const UrlEventSource::Reply &reply);

    QString copyFolder() const { return m_check.copyFolder(); }

    // The hand-off job object of the URL, or nothing (logged).
    static std::optional<QJsonObject> jobObject(const QString &urlText);

    // Null when the text holds an invalid percent sequence or decodes to bytes that are not
    // UTF-8. A "+" stays a "+".
    static QString removingPercentEncoding(const QString &text);

private:
    const CopyFolderCheck m_check;
    const JobSink m_sink;
};
