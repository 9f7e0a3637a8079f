#include "client/controllers/QrLoginResult.h"

#include <gtest/gtest.h>

namespace {

constexpr auto kChannel = "0123456789ABCDEF";
constexpr auto kRecord = R"({"code":"alice","userId":"7","entkey":"ACME","entId":"3"})";

QString body(const char *prefix, const char *record)
{
    return QString::fromUtf8(prefix) + QString::fromUtf8(record);
}

struct UsableCase
{
    const char *name;
    QString body;
};

void PrintTo(const UsableCase &c, std::ostream *os)
{
    *os << c.name;
}

class QrLoginResultUsableTest : public ::testing::TestWithParam<UsableCase>
{};

TEST_P(QrLoginResultUsableTest, GivesTheRecordOfThisChannel)
{
    const Result<LoginResultModel> result =
        QrLoginResult::parse(GetParam().body, QString::fromLatin1(kChannel));
    ASSERT_TRUE(result.ok()) << result.error().description.toStdString();
    EXPECT_EQ(result->code, QStringLiteral("alice"));
    EXPECT_EQ(result->userId, QStringLiteral("7"));
    EXPECT_EQ(result->entkey, QStringLiteral("ACME"));
    EXPECT_EQ(result->entId, QStringLiteral("3"));
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, QrLoginResultUsableTest,
    ::testing::Values(UsableCase{"CodeThenRecord", body("0123456789ABCDEF;", kRecord)},
                      // Every occurrence of the code and ";" goes, wherever it stands.
                      UsableCase{"CodeTwice", body("0123456789ABCDEF;0123456789ABCDEF;", kRecord)},
                      UsableCase{"CodeAfterTheRecord",
                                 QString::fromUtf8(kRecord) + QStringLiteral("0123456789ABCDEF;")},
                      // Numbers are carried as their decimal text.
                      UsableCase{"NumericIds",
                                 body("0123456789ABCDEF;",
                                      R"({"code":"alice","userId":7,"entkey":"ACME","entId":3})")}),
    [](const auto &info) { return std::string(info.param.name); });

struct UnusableCase
{
    const char *name;
    QString body;
    QrLoginResult::Failure failure;
};

void PrintTo(const UnusableCase &c, std::ostream *os)
{
    *os << c.name;
}

class QrLoginResultUnusableTest : public ::testing::TestWithParam<UnusableCase>
{};

TEST_P(QrLoginResultUnusableTest, SaysWhy)
{
    const Result<LoginResultModel> result =
        QrLoginResult::parse(GetParam().body, QString::fromLatin1(kChannel));
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error().domain, QString::fromLatin1(QrLoginResult::kErrorDomain));
    EXPECT_EQ(result.error().code, GetParam().failure);
    EXPECT_FALSE(result.error().description.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, QrLoginResultUnusableTest,
    ::testing::Values(
        UnusableCase{"AnotherChannel", body("FEDCBA9876543210;", kRecord),
                     QrLoginResult::ForeignChannel},
        UnusableCase{"NoChannel", QString::fromUtf8(kRecord), QrLoginResult::ForeignChannel},
        // The code without its separator is not this channel's result either.
        UnusableCase{"CodeWithoutSeparator", body("0123456789ABCDEF", kRecord),
                     QrLoginResult::ForeignChannel},
        UnusableCase{"Empty", QString(""), QrLoginResult::ForeignChannel},
        UnusableCase{"NotJson", body("0123456789ABCDEF;", "not json"), QrLoginResult::NotAnObject},
        UnusableCase{"Array", body("0123456789ABCDEF;", "[1,2]"), QrLoginResult::NotAnObject},
        UnusableCase{"NothingAfterTheCode", body("0123456789ABCDEF;", ""),
                     QrLoginResult::NotAnObject},
        UnusableCase{"TruncatedObject", body("0123456789ABCDEF;", R"({"code":"alice")"),
                     QrLoginResult::NotAnObject},
        UnusableCase{"NoCode", body("0123456789ABCDEF;", R"({"entkey":"ACME"})"),
                     QrLoginResult::LacksCodeOrEntkey},
        UnusableCase{"NoEntkey", body("0123456789ABCDEF;", R"({"code":"alice","userId":"7"})"),
                     QrLoginResult::LacksCodeOrEntkey},
        UnusableCase{"NullCode", body("0123456789ABCDEF;", R"({"code":null,"entkey":"ACME"})"),
                     QrLoginResult::LacksCodeOrEntkey}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
