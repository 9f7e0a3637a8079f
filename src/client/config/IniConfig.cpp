#include "IniConfig.h"

#include "client/network/HTTPManager.h"
#include "foundation/Record.h"
#include "foundation/logging/Log.h"

#include <QDebug>
#include <QFile>
#include <QJsonDocument>
#include <QStringDecoder>

#define SI_CONVERT_ICU
#include <SimpleIni.h>

#include <functional>

namespace {

constexpr auto kFlagOn = "1";
constexpr auto kHttpsScheme = "https";
constexpr auto kHttpScheme = "http";

// A value that is not valid UTF-8 gives no text.
QString utf8Text(const char *value)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(QByteArrayView(value));
    return decoder.hasError() ? QString() : text;
}

bool isFlagOn(const char *value)
{
    return qstrcmp(value, kFlagOn) == 0;
}

struct KeyAssignment
{
    const char *key;
    std::function<void(IniConfigModel &, const char *)> assign;
};

const KeyAssignment kAssignments[] = {
    {"PrinterName", [](IniConfigModel &m, const char *v) { m.printerName = utf8Text(v); }},
    {"ServiceIP", [](IniConfigModel &m, const char *v) { m.serviceIP = utf8Text(v); }},
    {"ServicePort", [](IniConfigModel &m, const char *v) { m.servicePort = utf8Text(v); }},
    {"EnableHttps", [](IniConfigModel &m, const char *v) { m.enableHttps = isFlagOn(v); }},
    {"EntKey", [](IniConfigModel &m, const char *v) { m.setEntKey(utf8Text(v)); }},
    {"FTPName", [](IniConfigModel &m, const char *v) { m.ftpName = utf8Text(v); }},
    {"NeedQrcode", [](IniConfigModel &m, const char *v) { m.isNeedQrcode = isFlagOn(v); }},
};

} // namespace

IniConfig &IniConfig::shareInstacne()
{
    static IniConfig *const instance =
        new IniConfig(QString::fromLatin1(kSetupIniPath), HTTPManager::sharedClient());
    return *instance;
}

IniConfig::IniConfig(QString iniPath, HTTPManager &transport)
    : m_iniPath(std::move(iniPath))
    , m_transport(transport)
{}

void IniConfig::readIniConfig()
{
    qInfo().noquote() << QStringLiteral("ini file path : %1").arg(m_iniPath);

    constexpr bool isUtf8 = true;
    constexpr bool multiKey = false;
    constexpr bool multiLine = false;
    CSimpleIniA ini(isUtf8, multiKey, multiLine);
    ini.SetUnicode(isUtf8);
    // A missing file leaves every key absent, which the record's defaults cover.
    ini.LoadFile(QFile::encodeName(m_iniPath).constData());

    constexpr auto kUnnamedSection = "";
    IniConfigModel model;
    for (const KeyAssignment &assignment : kAssignments) {
        CSimpleIniA::TNamesDepend values;
        ini.GetAllValues(kUnnamedSection, assignment.key, values);
        for (const CSimpleIniA::Entry &value : values)
            assignment.assign(model, value.pItem);
    }

    setConfigModel(model);
    Log::client(QStringLiteral("!! ConfigModel : IniConfigModel %1")
                    .arg(QString::fromUtf8(
                        QJsonDocument(Record::toJson(m_iniConfigModel)).toJson().trimmed())));
}

void IniConfig::setConfigModel(const IniConfigModel &model)
{
    IniConfigModel stored = model;
    if (stored.pAddress.isNull()) {
        const QString scheme = QString::fromLatin1(stored.enableHttps ? kHttpsScheme : kHttpScheme);
        stored.pAddress = QString::fromLatin1(kApiAddressFormat)
                              .arg(scheme, ConfigFields::textOrNull(stored.serviceIP),
                                   ConfigFields::textOrNull(stored.servicePort));
        m_transport.setHost(stored.pAddress);
    }
    m_iniConfigModel = stored;
}
