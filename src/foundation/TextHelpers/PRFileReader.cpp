#include "PRFileReader.h"

QString PRFileReader::readLoadAndConvertPSFile(const QString &, Error *)
{
    return QString();
}
