#include "foundation/BaseTools.h"

#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

namespace {

QDateTime utc(int year, int month, int day, int hour, int minute, int second)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second), QTimeZone::utc());
}

struct TimeCase
{
    QDateTime instant;
    const char *zone;
    const char *expected;
};

TEST(BaseTools, TimeTextUsesTheWeekBasedYearInTheGivenZone)
{
    const TimeCase cases[] = {
        {utc(2024, 12, 30, 13, 45, 7), "UTC", "20251230134507"},
        // 05:45 UTC is 13:45 at +08:00, still 30 December.
        {utc(2024, 12, 30, 5, 45, 7), "GMT+0800", "20251230134507"},
        {utc(2024, 12, 31, 23, 59, 59), "UTC", "20251231235959"},
        // 20:00 UTC on 31 December is already 1 January 2025 at +08:00.
        {utc(2024, 12, 31, 20, 0, 0), "GMT+0800", "20250101040000"},
        {utc(2024, 6, 15, 0, 0, 0), "UTC", "20240615000000"},
        // 29 December 2025 lies in week 1 of 2026 under both week rules.
        {utc(2025, 12, 29, 9, 5, 0), "UTC", "20261229090500"},
    };
    for (const TimeCase &c : cases) {
        EXPECT_EQ(BaseTools::getCurrentTimes(c.instant, QLatin1String(c.zone)), c.expected)
            << c.instant.toString(Qt::ISODate).toStdString() << " " << c.zone;
    }
}

TEST(BaseTools, TimeTextOfNowIsFourteenDigits)
{
    EXPECT_TRUE(QRegularExpression("^\\d{14}$").match(BaseTools::getCurrentTimes()).hasMatch());
}

TEST(BaseTools, DatesOfBothYearKinds)
{
    EXPECT_EQ(BaseTools::getCurrentDate(utc(2024, 12, 30, 12, 0, 0), "UTC"), "20251230");
    EXPECT_EQ(BaseTools::createDateString(QDate(2024, 3, 5)), "20240305");
    EXPECT_EQ(BaseTools::createDateString(QDate(2024, 11, 17)), "20241117");
    EXPECT_EQ(BaseTools::createDateString(QDate(2024, 12, 30)), "20241230");
}

TEST(BaseTools, UuidsAreUpperCaseAndNew)
{
    const QRegularExpression form("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$");
    const QString first = BaseTools::stringWithUUID();
    const QString second = BaseTools::stringWithUUID();
    EXPECT_TRUE(form.match(first).hasMatch()) << first.toStdString();
    EXPECT_TRUE(form.match(second).hasMatch()) << second.toStdString();
    EXPECT_NE(first, second);
}

TEST(BaseTools, RandomTextsUseDigitsAndLowerCaseLetters)
{
    EXPECT_EQ(BaseTools::getRandomStringWithNum(0), "");
    EXPECT_FALSE(BaseTools::getRandomStringWithNum(0).isNull());
    EXPECT_EQ(BaseTools::getRandomStringWithNum(-3), "");
    const QString text = BaseTools::getRandomStringWithNum(2000);
    EXPECT_EQ(text.size(), 2000);
    EXPECT_TRUE(QRegularExpression("^[0-9a-z]+$").match(text).hasMatch());
    // Digits are drawn with probability 10/36; both classes show up in a long text.
    const qsizetype digits =
        std::count_if(text.begin(), text.end(), [](QChar c) { return c.isDigit(); });
    EXPECT_GT(digits, 350);
    EXPECT_LT(digits, 800);
}

TEST(BaseTools, FtpStemsHaveFourUpperCaseGroups)
{
    const QRegularExpression form("^[0-9A-Z]{1,20}-[0-9A-Z]{1,20}-[0-9A-Z]{1,20}-[0-9A-Z]{1,20}$");
    QSet<qsizetype> lengths;
    for (int i = 0; i < 200; ++i) {
        const QString stem = BaseTools::stringWithFtpUuid();
        ASSERT_TRUE(form.match(stem).hasMatch()) << stem.toStdString();
        lengths << stem.size();
    }
    EXPECT_GT(lengths.size(), 5);
}

BaseTools::InterfaceAddress ipv4(const char *name, const char *address)
{
    BaseTools::InterfaceAddress entry;
    entry.name = QLatin1String(name);
    entry.isIPv4 = true;
    entry.address = QLatin1String(address);
    return entry;
}

BaseTools::InterfaceAddress link(const char *name, const QByteArray &hardwareAddress)
{
    BaseTools::InterfaceAddress entry;
    entry.name = QLatin1String(name);
    entry.hardwareAddress = hardwareAddress;
    return entry;
}

BaseTools::InterfaceAddress loopback(BaseTools::InterfaceAddress entry)
{
    entry.isLoopback = true;
    return entry;
}

// The roles as the host would give them to the listed interfaces with that default route.
NetworkInterfaceRoles rolesOf(const QList<BaseTools::InterfaceAddress> &interfaces,
                              const char *defaultRoute)
{
    QList<NetworkInterfaceRoles::Interface> named;
    for (const auto &entry : interfaces)
        named << NetworkInterfaceRoles::Interface{entry.name, entry.isLoopback};
    return NetworkInterfaceRoles(named, QLatin1String(defaultRoute));
}

struct AddressCase
{
    const char *name;
    QList<BaseTools::InterfaceAddress> interfaces;
    const char *defaultRoute;
    const char *expected;
};

TEST(BaseTools, IpAddressFollowsThePreferenceOfTheMappedInterfaces)
{
    const QByteArray mac("\x02\x00\x00\x00\x00\x01", 6);
    const AddressCase cases[] = {
        {"en0WinsOverEarlierEn1",
         {ipv4("eth0", "10.0.0.1"), ipv4("wlan0", "10.0.0.2")},
         "wlan0",
         "10.0.0.2"},
        {"en0WinsOverLaterEn1",
         {ipv4("wlan0", "10.0.0.2"), ipv4("eth0", "10.0.0.1")},
         "wlan0",
         "10.0.0.2"},
        {"lastEn0AddressWins",
         {ipv4("eth0", "10.0.0.2"), ipv4("eth0", "10.0.0.3")},
         "eth0",
         "10.0.0.3"},
        {"onlyTheThirdConfigured",
         {link("eth0", mac), link("eth1", mac), ipv4("eth2", "192.168.1.9")},
         "",
         "192.168.1.9"},
        {"firstOfEn1AndEn2InListOrder",
         {link("eth0", mac), ipv4("eth2", "192.168.1.9"), ipv4("eth1", "10.0.0.1")},
         "eth0",
         "192.168.1.9"},
        {"fourthInterfaceIgnored",
         {link("eth0", mac), link("eth1", mac), link("eth2", mac), ipv4("eth3", "10.1.1.1")},
         "",
         "0.0.0.0"},
        {"loopbackIgnored", {loopback(ipv4("lo", "127.0.0.1"))}, "lo", "0.0.0.0"},
        {"nonIPv4Ignored", {link("eth0", mac), ipv4("eth1", "10.0.0.1")}, "eth0", "10.0.0.1"},
        {"empty", {}, "", "0.0.0.0"},
    };
    for (const AddressCase &c : cases)
        EXPECT_EQ(BaseTools::getIPAddress(c.interfaces, rolesOf(c.interfaces, c.defaultRoute)),
                  c.expected)
            << c.name;
}

struct MacCase
{
    const char *name;
    QList<BaseTools::InterfaceAddress> interfaces;
    const char *defaultRoute;
    QString expected;
    const char *errorLine;
};

TEST(BaseTools, MacAddressIsThatOfThePrimaryInterface)
{
    const QByteArray wired("\x02\xfc\x00\x00\x00\x01", 6);
    const QByteArray wireless("\xa4\x5e\x60\x0b\xc1\x7f", 6);
    const MacCase cases[] = {
        {"defaultRouteInterface",
         {link("eth0", wired), link("wlan0", wireless), ipv4("wlan0", "10.0.0.2")},
         "wlan0",
         "A4:5E:60:0B:C1:7F",
         ""},
        {"firstByNameWithoutRoute",
         {link("wlan0", wireless), link("eth0", wired)},
         "",
         "02:FC:00:00:00:01",
         ""},
        {"onlyLoopback",
         {loopback(link("lo", QByteArray(6, '\0')))},
         "lo",
         QString(),
         "Error: if_nametoindex error\n"},
        {"primaryWithoutLinkAddress",
         {ipv4("tun0", "10.8.0.2"), link("tun0", QByteArray()), link("wlan0", wireless)},
         "tun0",
         QString(),
         "Error: sysctl, take 2\n"},
    };
    for (const MacCase &c : cases) {
        testing::internal::CaptureStdout();
        const QString address =
            BaseTools::getMacAddress(c.interfaces, rolesOf(c.interfaces, c.defaultRoute));
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.errorLine) << c.name;
        EXPECT_EQ(address, c.expected) << c.name;
    }
}

TEST(BaseTools, HostInterfacesListTheLoopbackAddress)
{
    const auto interfaces = BaseTools::interfaceAddresses();
    ASSERT_TRUE(interfaces.has_value());
    EXPECT_TRUE(std::any_of(interfaces->begin(), interfaces->end(), [](const auto &entry) {
        return entry.isIPv4 && entry.isLoopback && entry.address == "127.0.0.1";
    }));
}

// The link-layer address the kernel gives for the interface, upper case; null when it has none of
// six bytes.
QString kernelMacAddress(const QString &interfaceName)
{
    constexpr qsizetype kMacTextLength = 17;
    const QByteArray text =
        TestSupport::readFile(QStringLiteral("/sys/class/net/%1/address").arg(interfaceName))
            .trimmed();
    return text.size() == kMacTextLength ? QString::fromLatin1(text).toUpper() : QString();
}

TEST(BaseTools, MacAddressesAreThoseTheKernelReports)
{
    const QStringList names =
        QDir(QStringLiteral("/sys/class/net")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    ASSERT_FALSE(names.isEmpty());
    for (const QString &name : names) {
        const QString mac = kernelMacAddress(name);
        if (!mac.isNull()) {
            EXPECT_EQ(BaseTools::getMacAddress(name), mac) << qPrintable(name);
        }
    }
}

TEST(BaseTools, HostAddressesAreThoseOfTheDefaultRouteInterface)
{
    const auto interfaces = BaseTools::interfaceAddresses();
    ASSERT_TRUE(interfaces.has_value());
    const QString route = NetworkInterfaceRoles::hostDefaultRouteInterface();
    QStringList routeAddresses;
    bool routeIsListed = false;
    for (const BaseTools::InterfaceAddress &entry : *interfaces) {
        if (route.isNull() || entry.name != route || entry.isLoopback)
            continue;
        routeIsListed = true;
        if (entry.isIPv4)
            routeAddresses << entry.address;
    }
    if (!routeIsListed)
        GTEST_SKIP() << "this host has no default route over an interface of its own";

    EXPECT_EQ(BaseTools::getMacAddress(), kernelMacAddress(route));
    if (!routeAddresses.isEmpty()) {
        EXPECT_EQ(BaseTools::getIPAddress(), routeAddresses.last());
    }
}

TEST(BaseTools, MacAddressOfAnInterface)
{
    EXPECT_EQ(BaseTools::getMacAddress("lo"), "00:00:00:00:00:00");
    testing::internal::CaptureStdout();
    const QString missing = BaseTools::getMacAddress("vqm-no-such-if");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error: if_nametoindex error\n");
    EXPECT_TRUE(missing.isNull());
}

TEST(BaseTools, VersionIsTheProjectVersion)
{
    // The version the build declares for the project, as the top-level CMakeLists.txt names it.
    const QString buildFile =
        QString::fromUtf8(TestSupport::readFile(QStringLiteral(VQM_SOURCE_DIR "/CMakeLists.txt")));
    const QRegularExpressionMatch declared =
        QRegularExpression(QStringLiteral(R"(project\(\w+ VERSION ([0-9.]+))")).match(buildFile);
    ASSERT_TRUE(declared.hasMatch());
    EXPECT_EQ(BaseTools::getVersion(), declared.captured(1));
}

TEST(BaseTools, ShellOutputIsDecodedLeniently)
{
    EXPECT_EQ(BaseTools::cmd("printf 'a\\377b'"), QStringLiteral("a\uFFFDb"));
    EXPECT_EQ(BaseTools::cmd("printf '%s' \"$((6*7))\""), "42");
    QTemporaryDir dir;
    const QString script = dir.filePath("script.sh");
    ASSERT_TRUE(TestSupport::writeFile(script, "printf 'from script'\n"));
    EXPECT_EQ(BaseTools::cmdcopy(script), "from script");
}

class FileHelpers : public testing::Test
{
protected:
    QString path(const QString &relative) const { return m_dir.filePath(relative); }
    void touch(const QString &relative)
    {
        QDir().mkpath(QFileInfo(path(relative)).path());
        ASSERT_TRUE(TestSupport::writeFile(path(relative), relative.toUtf8()));
    }
    bool exists(const QString &relative) const { return QFileInfo::exists(path(relative)); }

    QTemporaryDir m_dir;
};

TEST_F(FileHelpers, DeleteAllPdfRemovesOnlyPdfEntriesOfTheFolderItself)
{
    touch("Logs/a.pdf");
    touch("Logs/b.txt");
    touch("Logs/sub/c.pdf");
    BaseTools::deleteAllPdf(path("Logs"));
    EXPECT_FALSE(exists("Logs/a.pdf"));
    EXPECT_TRUE(exists("Logs/b.txt"));
    EXPECT_TRUE(exists("Logs/sub/c.pdf"));
}

TEST_F(FileHelpers, DeleteOldPdfKeepsJobEntries)
{
    touch("out/job1.pdf");
    touch("out/other.pdf");
    touch("out/jobs/x.pdf");
    BaseTools::deleteOldPdf(path("out"));
    EXPECT_TRUE(exists("out/job1.pdf"));
    EXPECT_FALSE(exists("out/other.pdf"));
    EXPECT_TRUE(exists("out/jobs/x.pdf"));

    BaseTools::deleteOldAllPdf(path("out"));
    EXPECT_TRUE(QDir(path("out")).isEmpty());
    BaseTools::deleteOldAllPdf(path("missing")); // a missing folder is no error
}

TEST_F(FileHelpers, CopyFileFromPathCopiesFolderTrees)
{
    touch("from/a.txt");
    touch("from/sub/b.txt");
    QDir().mkpath(path("to"));
    BaseTools::copyFileFromPath(path("from"), path("to"));
    EXPECT_EQ(TestSupport::readFile(path("to/a.txt")), "from/a.txt");
    EXPECT_EQ(TestSupport::readFile(path("to/sub/b.txt")), "from/sub/b.txt");
}

TEST_F(FileHelpers, FileRenameCopiesBesideTheOriginal)
{
    touch("doc.pdf");
    EXPECT_EQ(BaseTools::fileRename(path("doc.pdf")), path("{doc}.pdf"));
    EXPECT_EQ(TestSupport::readFile(path("{doc}.pdf")), "doc.pdf");
    EXPECT_TRUE(exists("doc.pdf"));
}

} // namespace
