#include "CallSchema.h"

#include "ServiceAnswer.h"
#include "ServiceErrcode.h"

#include <QList>

namespace {

const QList<CallSchema> kSchemas = {
    {"getKeys", true, {"funType", "entkey"}, {}, {}},
    {"userLogin",
     false,
     {"funType", "DalvemorKeys", "date", "entkey", "userName", "userPwd"},
     {},
     {}},
    {"addSubmitJobInfo",
     false,
     {"funType", "DalvemorKeys", "date", "user_id", "entId", "org_job_path", "file_from",
      "paper_source", "submit_time"},
     {"doc_size", "orientation", "docName", "doublePrint", "org_job_size", "color", "total_page",
      "pageType", "copies", "file_storage_server"},
     {"paper_source"}},
    {"getFtpInfo", false, {"funType", "DalvemorKeys", "date", "isSystem", "user_id"}, {}, {}},
    {"fileFtpUploadInfo",
     false,
     {"jobId", "funType", "date", "entId", "type", "DalvemorKeys", "state", "saveFileName"},
     {"equip_config_id", "update_file_storage"},
     {}},
};

} // namespace

const CallSchema *CallSchema::find(const QString &funType)
{
    for (const CallSchema &schema : kSchemas) {
        if (schema.funType == funType)
            return &schema;
    }
    return nullptr;
}

std::optional<QJsonObject> CallSchema::check(const QJsonObject &members) const
{
    for (auto it = members.begin(); it != members.end(); ++it) {
        const QString &name = it.key();
        if (!required.contains(name) && !optional.contains(name))
            return ServiceAnswer::refusal(ServiceErrcode::ParameterFormatErr,
                                          QStringLiteral("unknown member \"%1\"").arg(name));
        const bool typeFits = numbers.contains(name) ? it->isDouble() : it->isString();
        if (!typeFits)
            return ServiceAnswer::refusal(ServiceErrcode::ParameterFormatErr,
                                          QStringLiteral("member \"%1\" must be a %2")
                                              .arg(name, numbers.contains(name)
                                                             ? QStringLiteral("number")
                                                             : QStringLiteral("text")));
    }
    for (const QString &name : required) {
        const QJsonValue value = members.value(name);
        if (value.isUndefined() || (value.isString() && value.toString().isEmpty()))
            return ServiceAnswer::refusal(ServiceErrcode::LostParameter,
                                          QStringLiteral("member \"%1\" is missing").arg(name));
    }
    return std::nullopt;
}
