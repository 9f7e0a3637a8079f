// Replies the fuzzer found mishandled: a failure that carried code 0 (which the upload chain reads
// as its success), an errcode too large for the error's code (undefined conversion, or wrapped to
// 0), and errcodes that posed as the chain's own outcome codes.

#include "support/LogCapture.h"

#include "client/network/HTTPManager.h"
#include "client/platform/Localizable.h"
#include "client/service/UploadService.h"

#include <gtest/gtest.h>

namespace {

HTTPManager::ReplyFacts jsonReply(const QByteArray &body)
{
    HTTPManager::ReplyFacts facts;
    facts.status = 200;
    facts.contentType = QStringLiteral("application/json");
    facts.body = body;
    return facts;
}

class HttpReplyFuzzRegressionTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { Localizable::install(QLocale(QLocale::English)); }
};

TEST_F(HttpReplyFuzzRegressionTest, ReplyWithoutStatusFailsWithTransportCode)
{
    LogCapture log;
    HTTPManager::ReplyFacts facts = jsonReply(QByteArrayLiteral("{\"errcode\":0}"));
    facts.status = QVariant();
    facts.error = QNetworkReply::NoError;

    const Result<QJsonObject> outcome = HTTPManager::judgedReply(facts);

    ASSERT_FALSE(outcome.ok());
    EXPECT_EQ(outcome.error().code, HTTPManager::kErrorBadServerResponse);
    EXPECT_NE(outcome.error().code, UploadService::kUploadedCode);
    EXPECT_TRUE(log.text().contains(QStringLiteral("!!error: "))) << log.text().toStdString();
}

struct UncarriedErrcode
{
    const char *name;
    QByteArray body;
};

class UncarriedErrcodeTest : public HttpReplyFuzzRegressionTest,
                             public ::testing::WithParamInterface<UncarriedErrcode>
{};

// Each of these is a refusal that must reach the caller as an unreadable errcode, never as 0 or
// as a code the chain gives its own outcomes.
TEST_P(UncarriedErrcodeTest, RefusesWithUnreadableErrcode)
{
    const Result<QJsonObject> outcome = HTTPManager::judgedReply(jsonReply(GetParam().body));

    ASSERT_FALSE(outcome.ok());
    EXPECT_EQ(outcome.error().domain, QLatin1String(HTTPManager::kServiceErrorDomain));
    EXPECT_EQ(outcome.error().code, HTTPManager::kUnreadableErrcode);
    EXPECT_EQ(outcome.error().description,
              HTTPManager::parseNetErrCode(HTTPManager::kUnreadableErrcode));
}

INSTANTIATE_TEST_SUITE_P(
    Fuzzed, UncarriedErrcodeTest,
    ::testing::Values(
        UncarriedErrcode{"HugeNumber", QByteArrayLiteral("{\"errcode\":5.55556e+74}")},
        UncarriedErrcode{"HugeNegativeNumber", QByteArrayLiteral("{\"errcode\":-1e300}")},
        UncarriedErrcode{"TwoToThe32", QByteArrayLiteral("{\"errcode\":4294967296}")},
        UncarriedErrcode{"TwoToThe32AsText", QByteArrayLiteral("{\"errcode\":\"4294967296\"}")},
        UncarriedErrcode{"UploadFailedCode",
                         QByteArray("{\"errcode\":") +
                             QByteArray::number(UploadService::kUploadFailedCode) + "}"},
        UncarriedErrcode{"LoggedInCodeAsText",
                         QByteArray("{\"errcode\":\"") +
                             QByteArray::number(UploadService::kLoggedInCode) + "\"}"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(HttpReplyFuzzRegressionTest, LargestCodesThatFitAreCarried)
{
    const Result<QJsonObject> highest =
        HTTPManager::judgedReply(jsonReply(QByteArrayLiteral("{\"errcode\":2147483647.5}")));
    const Result<QJsonObject> lowest =
        HTTPManager::judgedReply(jsonReply(QByteArrayLiteral("{\"errcode\":\"-2147483648\"}")));

    ASSERT_FALSE(highest.ok());
    EXPECT_EQ(highest.error().code, 2147483647);
    ASSERT_FALSE(lowest.ok());
    EXPECT_EQ(lowest.error().code, -2147483647 - 1);
}

} // namespace
