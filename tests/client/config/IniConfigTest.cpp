#include "client/config/IniConfig.h"
#include "client/config/ConfigModel.h"
#include "client/network/HTTPManager.h"
#include "foundation/Record.h"
#include "support/TestSupport.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

namespace {

constexpr auto kApiPath = "/ferrolux/serviceHttp/serviceHttp.php";

class IniConfigTest : public ::testing::Test
{
protected:
    // Reads the given file content (or no file at all) and returns the stored record.
    const IniConfigModel &read(const std::optional<QByteArray> &content)
    {
        const QString path = folder.filePath(QStringLiteral("setup.ini"));
        if (content) {
            EXPECT_TRUE(TestSupport::writeFile(path, *content));
        }
        config = std::make_unique<IniConfig>(path, transport);
        config->readIniConfig();
        return config->getIniConfigModel();
    }

    QTemporaryDir folder;
    HTTPManager transport;
    std::unique_ptr<IniConfig> config;
};

struct FileCase
{
    const char *name;
    std::optional<QByteArray> content;
    std::function<void(const IniConfigModel &)> check;
};

class IniFile : public IniConfigTest, public ::testing::WithParamInterface<FileCase>
{};

TEST_P(IniFile, IsReadIntoTheRecord)
{
    GetParam().check(read(GetParam().content));
}

QString api(const char *schemeHostPort)
{
    return QString::fromLatin1(schemeHostPort) + QLatin1String(kApiPath);
}

INSTANTIATE_TEST_SUITE_P(
    Files, IniFile,
    ::testing::Values(
        FileCase{"allKeys",
                 "PrinterName=Office Queue\nServiceIP=print.example\nServicePort=8080\n"
                 "EnableHttps=1\nEntKey=ACME\nFTPName=store-1\nNeedQrcode=1\n",
                 [](const IniConfigModel &m) {
                     EXPECT_EQ(m.printerName, "Office Queue");
                     EXPECT_EQ(m.serviceIP, "print.example");
                     EXPECT_EQ(m.servicePort, "8080");
                     EXPECT_TRUE(m.enableHttps);
                     EXPECT_EQ(m.entKey(), "ACME");
                     EXPECT_EQ(m.ftpName, "store-1");
                     EXPECT_TRUE(m.isNeedQrcode);
                     EXPECT_EQ(m.pAddress, api("https://print.example:8080"));
                 }},
        FileCase{"noHttpsKeyGivesHttp", "ServiceIP=10.0.0.5\nServicePort=8080\n",
                 [](const IniConfigModel &m) {
                     EXPECT_FALSE(m.enableHttps);
                     EXPECT_EQ(m.pAddress, api("http://10.0.0.5:8080"));
                 }},
        FileCase{"httpsTrueIsNotOn", "EnableHttps=true\nNeedQrcode=yes\n",
                 [](const IniConfigModel &m) {
                     EXPECT_FALSE(m.enableHttps);
                     EXPECT_FALSE(m.isNeedQrcode);
                     EXPECT_TRUE(m.pAddress.startsWith(QStringLiteral("http://")));
                 }},
        FileCase{"httpsYesIsNotOn", "EnableHttps=yes\n",
                 [](const IniConfigModel &m) { EXPECT_FALSE(m.enableHttps); }},
        FileCase{"httpsZeroIsOff", "EnableHttps=0\n",
                 [](const IniConfigModel &m) { EXPECT_FALSE(m.enableHttps); }},
        FileCase{"keysInAnyCase", "enablehttps=1\nSERVICEIP=host.example\nserviceport=81\n",
                 [](const IniConfigModel &m) {
                     EXPECT_TRUE(m.enableHttps);
                     EXPECT_EQ(m.pAddress, api("https://host.example:81"));
                 }},
        FileCase{"keyUnderASectionIsNotRead",
                 "ServicePort=80\n[network]\nServiceIP=hidden.example\nEntKey=HIDDEN\n",
                 [](const IniConfigModel &m) {
                     EXPECT_TRUE(m.serviceIP.isNull());
                     EXPECT_EQ(m.entKey(), "");
                     EXPECT_EQ(m.servicePort, "80");
                 }},
        FileCase{"keyGivenTwiceKeepsTheLastValue", "ServicePort=1\nServicePort=2\n",
                 [](const IniConfigModel &m) { EXPECT_EQ(m.servicePort, "2"); }},
        FileCase{"emptyEntKeyReadsEmpty", "EntKey=\n",
                 [](const IniConfigModel &m) {
                     EXPECT_FALSE(m.entKey().isNull());
                     EXPECT_EQ(m.entKey(), "");
                 }},
        FileCase{"utf8Value", "PrinterName=\xe6\x89\x93\xe5\x8d\xb0\xe6\x9c\xba\n",
                 [](const IniConfigModel &m) {
                     EXPECT_EQ(m.printerName, QString::fromUtf8("\u6253\u5370\u673a"));
                 }},
        FileCase{"invalidUtf8LeavesTheTextUnset", "PrinterName=\xff\xfe bad\nFTPName=ok\n",
                 [](const IniConfigModel &m) {
                     EXPECT_TRUE(m.printerName.isNull());
                     EXPECT_EQ(m.ftpName, "ok");
                 }},
        FileCase{"portThatIsNoNumberGoesIntoTheUrl", "ServiceIP=h\nServicePort=eighty\n",
                 [](const IniConfigModel &m) { EXPECT_EQ(m.pAddress, api("http://h:eighty")); }},
        FileCase{"noFileAtAll", std::nullopt,
                 [](const IniConfigModel &m) {
                     EXPECT_TRUE(m.printerName.isNull());
                     EXPECT_TRUE(m.serviceIP.isNull());
                     EXPECT_TRUE(m.servicePort.isNull());
                     EXPECT_TRUE(m.ftpName.isNull());
                     EXPECT_FALSE(m.enableHttps);
                     EXPECT_FALSE(m.isNeedQrcode);
                     EXPECT_EQ(m.entKey(), "");
                     EXPECT_FALSE(m.entKey().isNull());
                     EXPECT_EQ(m.pAddress, api("http://(null):(null)"));
                 }}),
    [](const auto &info) { return info.param.name; });

TEST_F(IniConfigTest, DerivedBaseUrlBecomesTheTransportHost)
{
    const IniConfigModel &model = read(QByteArray("ServiceIP=127.0.0.1\nServicePort=9000\n"));
    EXPECT_EQ(transport.host(), model.pAddress);
    EXPECT_EQ(transport.host(), api("http://127.0.0.1:9000"));
}

TEST_F(IniConfigTest, RecordWithABaseUrlIsStoredUnchangedAndLeavesTheHostAlone)
{
    transport.setHost(QStringLiteral("http://before.example/api"));
    IniConfig config(folder.filePath(QStringLiteral("unused.ini")), transport);
    IniConfigModel model;
    model.pAddress = QStringLiteral("https://given.example/api.php");
    model.serviceIP = QStringLiteral("other.example");
    config.setConfigModel(model);

    EXPECT_EQ(config.getIniConfigModel().pAddress, "https://given.example/api.php");
    EXPECT_EQ(transport.host(), "http://before.example/api");
}

TEST_F(IniConfigTest, StoredRecordIsACopy)
{
    IniConfig config(folder.filePath(QStringLiteral("unused.ini")), transport);
    IniConfigModel model;
    model.serviceIP = QStringLiteral("first.example");
    config.setConfigModel(model);
    model.serviceIP = QStringLiteral("changed.example");
    EXPECT_EQ(config.getIniConfigModel().serviceIP, "first.example");
}

TEST(IniConfigModel, FreshRecordIsUnsetAndItsCopyHasAnEmptyCompanyKey)
{
    const IniConfigModel fresh;
    EXPECT_TRUE(fresh.pAddress.isNull());
    EXPECT_FALSE(fresh.enableHttps);
    EXPECT_FALSE(fresh.isNeedQrcode);

    const IniConfigModel copy = fresh;
    EXPECT_FALSE(copy.entKey().isNull());
    EXPECT_EQ(copy.entKey(), "");
    EXPECT_EQ(Record::toJson(copy).value("entKey").toString(QStringLiteral("missing")), "");
}

TEST(ConfigRecords, DescriptionNamesTheValuesAndTheTwoRecordsDifferInTheCompanyKey)
{
    IniConfigModel ini;
    ini.printerName = QStringLiteral("Queue");
    ini.serviceIP = QStringLiteral("10.1.1.1");
    ini.enableHttps = true;
    EXPECT_EQ(ini.description(), "printerName: Queue, serviceIP: 10.1.1.1, servicePort: (null), "
                                 "enableHttps: 1, entKey: ");

    ConfigModel other;
    other.setEntKey(QStringLiteral(""));
    EXPECT_TRUE(other.entKey().isNull());
    EXPECT_TRUE(other.description().endsWith(QStringLiteral("entKey: (null)")));
    other.setEntKey(QStringLiteral("ACME"));
    EXPECT_EQ(other.entKey(), "ACME");
}

} // namespace
