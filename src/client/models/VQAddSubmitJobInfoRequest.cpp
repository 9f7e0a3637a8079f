#include "VQAddSubmitJobInfoRequest.h"

#include "VQLoginResult.h"
#include "client/config/IniConfigModel.h"
#include "foundation/PrnParameterModel.h"

#include <QFileInfo>

QString VQAddSubmitJobInfoRequest::file_from() const
{
    return QString::fromUtf8(reinterpret_cast<const char *>(kFileFrom));
}

void VQAddSubmitJobInfoRequest::convertFromVQLoginResult(const VQLoginResult &loginResult,
                                                         const PrnParameterModel &jobModel,
                                                         const IniConfigModel &config,
                                                         const QDateTime &now)
{
    DalvemorKeys = loginResult.DalvemorKeys;
    date = loginResult.date;
    user_id = loginResult.userId;
    entId = loginResult.entId;
    submit_time = now.toString(QLatin1String(kSubmitTimeFormat));
    orientation = jobModel.direction;
    docName = jobModel.fileName;
    doublePrint = jobModel.doublePrint;
    doc_size = jobModel.fileSize;
    org_job_path = jobModel.pdfPath.isNull() ? QString() : QFileInfo(jobModel.pdfPath).fileName();
    org_job_size = jobModel.fileSize;
    color = jobModel.color;
    total_page = jobModel.pageTotal;
    pageType = jobModel.pagerSize;
    copies = jobModel.copiesCount;
    file_storage_server = config.ftpName;
}
