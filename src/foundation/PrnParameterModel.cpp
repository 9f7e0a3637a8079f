#include "PrnParameterModel.h"

#include "TextHelpers/Base64.h"

#include <QFileInfo>

namespace {

// The member's text; null when it is missing or not a text.
QString textMember(const QJsonObject &dictionary, const char *key)
{
    const QJsonValue value = dictionary.value(QLatin1String(key));
    return value.isString() ? value.toString() : QString();
}

QString decodedMember(const QJsonObject &dictionary, const char *key)
{
    return Base64::dencode(textMember(dictionary, key));
}

QString fileSizeText(const QString &path)
{
    if (path.isEmpty())
        return QStringLiteral("0");
    const QFileInfo file(path);
    return QString::number(file.exists() ? file.size() : 0);
}

} // namespace

void PrnParameterModel::dicCovertToModel(const QJsonObject &dictionary)
{
    pdfPath = decodedMember(dictionary, "printjob");
    fileName = decodedMember(dictionary, "docname");
    copiesCount = textMember(dictionary, "copies");
    direction = textMember(dictionary, "orientation");
    doublePrint = textMember(dictionary, "duplex");
    color = textMember(dictionary, "color");
    pagerSizeCode = textMember(dictionary, "papersize");
    pagerSize = decodedMember(dictionary, "pagetype");
    pages = textMember(dictionary, "pages");
    pageTotal = textMember(dictionary, "totalpages");
    jobId = textMember(dictionary, "jobId");
    fileSize = fileSizeText(pdfPath);
}
