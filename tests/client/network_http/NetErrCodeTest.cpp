#include "client/network/HTTPManager.h"
#include "client/platform/Localizable.h"

#include <gtest/gtest.h>

namespace {

struct CodeCase
{
    qint64 code;
    const char *key;
};

const CodeCase kTable[] = {
    {0, "NetErrCode_Success"},
    {1, "NetErrCode_NotExistedId"},
    {2, "NetErrCode_WrongPassword"},
    {3, "NetErrCode_ExistId"},
    {4, "NetErrCode_RegisterFailed"},
    {5, "NetErrCode_IdExpire"},
    {6, "NetErrCode_IdForbidden"},
    {7, "NetErrCode_NotExistedDomain"},
    {8, "NetErrCode_IdDeleted"},
    {9, "NetErrCode_IterantId"},
    {10, "NetErrCode_NotExistedProject"},
    {11, "NetErrCode_NoProjectPermision"},
    {12, "NetErrCode_FileNameException"},
    {13, "NetErrCode_FileTypeException"},
    {14, "NetErrCode_PageToplimit"},
    {15, "NetErrCode_SizeToplimit"},
    {16, "NetErrCode_CommitJobToplimit"},
    {17, "NetErrCode_JobToplimit"},
    {18, "NetErrCode_PrintToplimit"},
    {19, "NetErrCode_AddFailed"},
    {20, "NetErrCode_NotExistedJob"},
    {21, "NetErrCode_WaitVerify"},
    {22, "NetErrCode_KMConfigFailed"},
    {23, "NetErrCode_DeleteFailed"},
    {31, "NetErrCode_NotFoundPrinter"},
    {70, "NetErrCode_LostParameter"},
    {71, "NetErrCode_ParameterFormatErr"},
    {72, "NetErrCode_SignatureErr"},
    {73, "NetErrCode_PostOnly"},
    {74, "NetErrCode_ParameterValueErr"},
    {90, "NetErrCode_SysErr"},
    {998, "NetErrCode_NetErr"},
    {999, "NetErrCode_UnkonwnErr"},
    // Codes the table does not know.
    {24, "NetErrCode_UnkonwnErr"},
    {30, "NetErrCode_UnkonwnErr"},
    {-1001, "NetErrCode_UnkonwnErr"},
    {20000, "NetErrCode_UnkonwnErr"},
    {20001, "NetErrCode_UnkonwnErr"},
};

TEST(NetErrCode, EveryCodeMapsToItsKey)
{
    for (const CodeCase &c : kTable)
        EXPECT_STREQ(HTTPManager::netErrCodeKey(c.code), c.key) << c.code;
}

TEST(NetErrCode, EveryKeyHasAnEnglishAndAChineseText)
{
    for (const QLocale &locale : {QLocale(QLocale::English), QLocale(QLocale::Chinese)}) {
        ASSERT_GE(Localizable::install(locale), 1);
        for (const CodeCase &c : kTable) {
            const QString text = HTTPManager::parseNetErrCode(c.code);
            EXPECT_FALSE(text.isEmpty()) << c.key;
            EXPECT_NE(text, QString::fromLatin1(c.key)) << c.key << " has no text";
        }
    }
    Localizable::install(QLocale(QLocale::English));
    EXPECT_EQ(HTTPManager::parseNetErrCode(2), QStringLiteral("Wrong password."));
    EXPECT_EQ(HTTPManager::parseNetErrCode(31), QStringLiteral("The printer was not found."));
    EXPECT_EQ(HTTPManager::parseNetErrCode(24), HTTPManager::parseNetErrCode(999));
}

TEST(Localizable, MissingKeyShowsAsTheKeyItself)
{
    Localizable::install(QLocale(QLocale::English));
    EXPECT_EQ(Localizable::string("NoSuchKey_Anywhere"), QStringLiteral("NoSuchKey_Anywhere"));
}

TEST(Localizable, LanguageWithoutTablesFallsBackToEnglish)
{
    ASSERT_GE(Localizable::install(QLocale(QLocale::German, QLocale::Germany)), 1);
    EXPECT_EQ(Localizable::string("NetErrCode_WrongPassword"), QStringLiteral("Wrong password."));
    Localizable::install(QLocale(QLocale::Chinese, QLocale::China));
    EXPECT_EQ(Localizable::string("NetErrCode_WrongPassword"),
              QString::fromUtf8("\xe5\xaf\x86\xe7\xa0\x81\xe9\x94\x99\xe8\xaf\xaf"));
    Localizable::install(QLocale(QLocale::English));
}

} // namespace
