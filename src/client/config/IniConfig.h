#pragma once

// Holds the site configuration: reads the INI file beside the print backend once at start-up,
// derives the HTTP API's base URL, hands it to the HTTP transport and keeps a copy of the record.
// The file is never written. Main thread at start-up; afterwards the stored record is only read,
// from any thread. shareInstacne() reads the fixed path and informs the shared transport; tests
// construct their own with a file and a transport of theirs.

#include "IniConfigModel.h"

#include <QString>

class HTTPManager;

class IniConfig
{
public:
    static constexpr auto kSetupIniPath = "/usr/libexec/cups/backend/setup.ini";
    // Scheme, service address and port, then the API's fixed path.
    static constexpr auto kApiAddressFormat = "%1://%2:%3/ferrolux/serviceHttp/serviceHttp.php";

    static IniConfig &shareInstacne();

    IniConfig(QString iniPath, HTTPManager &transport);
    // One configuration per process: a copy could drift from the record the others read.
    IniConfig(const IniConfig &) = delete;
    IniConfig &operator=(const IniConfig &) = delete;
    IniConfig(IniConfig &&) = delete;
    IniConfig &operator=(IniConfig &&) = delete;

    // Reads the file's unnamed section (keys in any case) and stores the record. A missing or
    // unreadable file leaves every value unset.
    void readIniConfig();
    // Derives the base URL when the record has none and then sets it as the transport's host;
    // stores a copy either way.
    void setConfigModel(const IniConfigModel &model);
    // The stored record; an empty one before readIniConfig().
    const IniConfigModel &getIniConfigModel() const { return m_iniConfigModel; }

private:
    QString m_iniPath;
    HTTPManager &m_transport;
    IniConfigModel m_iniConfigModel;
};
