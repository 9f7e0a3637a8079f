#pragma once

#include "foundation/Error.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>

// Every request the simulator received, with the answer it chose, for tests to read: kept in
// memory for the inspection endpoint and, when a file is given, appended to it as one JSON object
// a line, flushed at once. Each entry gets "seq" (from 1) and "time" (ISO 8601, milliseconds).
// Main thread only.
class RequestLog
{
public:
    explicit RequestLog(QString filePath = {});

    // Opens the file for appending; without a file there is nothing to open.
    Result<Done> open();
    void append(QJsonObject entry);
    const QJsonArray &entries() const { return m_entries; }
    // Forgets the entries kept in memory; the file keeps them, numbering goes on.
    void clear() { m_entries = {}; }

private:
    QString m_filePath;
    QFile m_file;
    QJsonArray m_entries;
    qint64 m_nextSeq = 1;
};
