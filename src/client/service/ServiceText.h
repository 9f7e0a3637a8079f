#pragma once

// Texts of the service calls and the chains built on them: the names and values they keep as
// Latin-1 constants, and members of the service's replies read as text. Stateless.

#include <QJsonObject>
#include <QString>

QString latin1(const char *text);

// A member of a reply as text (numbers become decimal text); null when absent or unsuitable.
QString textMember(const QJsonObject &reply, const char *name);
