// The reader of the site's INI file (written by whoever installed the print queue, so anything).
//
// Properties, checked on every input:
// - no crash and no read beyond the file's bytes;
// - the API's base URL is always derived, from the scheme the https flag picks, the service
//   address and the port (unset values as "(null)"), and it is the transport's host;
// - the company key never reads as unset;
// - keys below a section header are never read: a section added at the end changes nothing;
// - reading is repeatable: the same file gives the same record.

#include "FuzzSupport.h"

#include "client/config/IniConfig.h"
#include "client/network/HTTPManager.h"
#include "foundation/Record.h"

#include <QFile>
#include <QJsonObject>

namespace {

constexpr auto kApiPath = "/ferrolux/serviceHttp/serviceHttp.php";
constexpr auto kTrailingSection = "\n[printer]\nServiceIP=section.example\nEnableHttps=1\n"
                                  "ServicePort=1\nEntKey=SECTION\nNeedQrcode=1\n";

HTTPManager *transport = nullptr;

QString iniPath()
{
    return FuzzSupport::scratchFolder() + QStringLiteral("/setup.ini");
}

IniConfigModel readRecord(const QByteArray &content)
{
    QFile file(iniPath());
    FuzzSupport::require(file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                             file.write(content) == content.size(),
                         "the INI file can be written");
    file.close();
    IniConfig config(iniPath(), *transport);
    config.readIniConfig();
    return config.getIniConfigModel();
}

QJsonObject fieldsOf(const IniConfigModel &model)
{
    return Record::toJson(model);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    FuzzSupport::initialize(argc, argv);
    transport = new HTTPManager();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray content(reinterpret_cast<const char *>(data), qsizetype(size));
    transport->setHost(QString());
    const IniConfigModel model = readRecord(content);

    const QString expectedAddress =
        QStringLiteral("%1://%2:%3%4")
            .arg(QLatin1String(model.enableHttps ? "https" : "http"),
                 ConfigFields::textOrNull(model.serviceIP),
                 ConfigFields::textOrNull(model.servicePort), QLatin1String(kApiPath));
    FuzzSupport::require(model.pAddress == expectedAddress, "the base URL is derived");
    FuzzSupport::require(transport->host() == model.pAddress, "the transport gets the base URL");
    FuzzSupport::require(!model.entKey().isNull(), "the company key is never unset");

    FuzzSupport::require(fieldsOf(readRecord(content)) == fieldsOf(model),
                         "the same file gives the same record");
    FuzzSupport::require(fieldsOf(readRecord(content + kTrailingSection)) == fieldsOf(model),
                         "keys below a section header are not read");
    return 0;
}
