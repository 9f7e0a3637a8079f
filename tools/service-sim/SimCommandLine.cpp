#include "SimCommandLine.h"

#include <QCommandLineParser>
#include <QDir>

#include <limits>

namespace {

const QString kErrorDomain = QStringLiteral("vqm-service-sim.options");
constexpr int kExternalFtpParts = 4;

Error optionError(const QString &description)
{
    return Error{kErrorDomain, 1, description};
}

} // namespace

void SimCommandLine::addOptions(QCommandLineParser &parser)
{
    const auto withDefault = [](const char *text, const char *value) {
        return QStringLiteral("%1 (default: %2).").arg(QString::fromUtf8(text), value);
    };
    parser.addOptions({
        {"http-port",
         withDefault("HTTP port of the service API and the /sim/ endpoints; 0 picks a "
                     "free one",
                     "0"),
         "port", "0"},
        {"bind",
         withDefault("Address to listen on, for HTTP and the own FTP server",
                     SimOptions::kDefaultBind),
         "address", SimOptions::kDefaultBind},
        {"accounts", "JSON file of accounts (format above).", "file"},
        {"account", "One account; ids are generated (repeatable).", "entkey:user:password"},
        {"ftp-root",
         withDefault("Folder the own FTP server serves, created if missing",
                     "a new temporary folder, removed when the simulator stops"),
         "dir"},
        {"ftp-port", withDefault("Port of the own FTP server; 0 picks a free one", "0"), "port",
         "0"},
        {"external-ftp", "Name this FTP server in the answers instead of starting one.",
         "host:port:user:password"},
        {"record", "Append every request and its answer to this file, one JSON object a line.",
         "file"},
        {"content-type",
         withDefault("Content type of normal answers", SimOptions::kDefaultContentType), "type",
         SimOptions::kDefaultContentType},
        {"fault", "A fault in force from the start (repeatable; format above).", "settings"},
        {"python",
         withDefault("Python interpreter with pyftpdlib, for the own FTP server",
                     SimOptions::kDefaultPython),
         "path", SimOptions::kDefaultPython},
        {"ftp-script",
         withDefault("Script of the own FTP server", "vqm-sim-ftpd.py beside this "
                                                     "program"),
         "path"},
    });
}

Result<SimOptions> SimCommandLine::read(const QCommandLineParser &parser, const QString &programDir)
{
    SimOptions options;
    auto httpPort = parsePort("--http-port", parser.value("http-port"));
    if (!httpPort)
        return httpPort.error();
    options.httpPort = httpPort.value();
    auto ftpPort = parsePort("--ftp-port", parser.value("ftp-port"));
    if (!ftpPort)
        return ftpPort.error();
    options.ftpPort = ftpPort.value();

    options.bindAddress = parser.value("bind");
    options.accountsFile = parser.value("accounts");
    options.accountArguments = parser.values("account");
    options.ftpRoot = parser.value("ftp-root");
    options.recordFile = parser.value("record");
    options.contentType = parser.value("content-type").toUtf8();
    options.python = parser.value("python");
    options.ftpScript = parser.isSet("ftp-script")
                            ? parser.value("ftp-script")
                            : QDir(programDir).filePath(SimOptions::kFtpScriptName);
    if (parser.isSet("external-ftp")) {
        auto external = parseExternalFtp(parser.value("external-ftp"));
        if (!external)
            return external.error();
        options.externalFtp = external.value();
    }
    for (const QString &text : parser.values("fault")) {
        auto rule = FaultRule::fromCommandLine(text);
        if (!rule)
            return rule.error();
        options.faults.append(rule.value());
    }
    return options;
}

Result<FtpTargets::Server> SimCommandLine::parseExternalFtp(const QString &text)
{
    // The password is everything after the third colon, so that it may hold colons itself.
    const QStringList parts = text.split(':');
    if (parts.size() < kExternalFtpParts || parts[0].isEmpty() || parts[2].isEmpty())
        return optionError(QStringLiteral("--external-ftp needs host:port:user:password, got "
                                          "\"%1\"")
                               .arg(text));
    auto port = parsePort("--external-ftp", parts[1]);
    if (!port || port.value() == 0)
        return optionError(QStringLiteral("--external-ftp needs a port from 1 to 65535"));
    return FtpTargets::Server{parts[0], port.value(), parts[2], parts.mid(3).join(':')};
}

Result<quint16> SimCommandLine::parsePort(const QString &name, const QString &text)
{
    bool numeric = false;
    const uint port = text.toUInt(&numeric);
    if (!numeric || port > std::numeric_limits<quint16>::max())
        return optionError(
            QStringLiteral("%1 needs a port from 0 to 65535, got \"%2\"").arg(name, text));
    return quint16(port);
}
