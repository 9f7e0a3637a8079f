#include "AssertionHandler.h"

#include <QDebug>
#include <QFileInfo>

void AssertionHandler::handleFailure(const char *message, std::source_location where)
{
    const QString file = QFileInfo(QString::fromUtf8(where.file_name())).fileName();
    qCritical().noquote() << QStringLiteral("*** Assertion failure in %1, %2:%3: %4")
                                 .arg(QString::fromUtf8(where.function_name()), file)
                                 .arg(where.line())
                                 .arg(QString::fromUtf8(message));
}
