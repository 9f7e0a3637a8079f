#pragma once

// The files the print road reads and writes: logs quoted in failure messages, small text files,
// and the JSON-lines records the simulator and the notification recorder append to.

#include <QJsonObject>
#include <QList>
#include <QString>

namespace RoadFiles {

// The end of the file, or a note that there is none.
QString tail(const QString &path);
bool writeText(const QString &path, const QString &text);
// Every complete line that is a JSON object, in order; a line still being written is left out.
QList<QJsonObject> jsonLines(const QString &path);

} // namespace RoadFiles
