#include "foundation/TextHelpers/Base64.h"
#include "foundation/TextHelpers/JsonHelpers.h"
#include "foundation/TextHelpers/Md5.h"
#include "foundation/TextHelpers/PRRegexHandle.h"
#include "foundation/TextHelpers/Utf8.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QMessageLogContext>
#include <QStringList>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

const QByteArray R = QByteArrayLiteral("\xEF\xBF\xBD");

struct RepairCase
{
    const char *name;
    QByteArray input;
    QByteArray expected;
};

class Utf8Repair : public testing::TestWithParam<RepairCase>
{};

TEST_P(Utf8Repair, ReplacesEveryByteThatStartsNoWellFormedSequence)
{
    EXPECT_EQ(Utf8::UTF8Data(GetParam().input).toHex(' '), GetParam().expected.toHex(' '));
}

INSTANTIATE_TEST_SUITE_P(
    Table, Utf8Repair,
    testing::Values(RepairCase{"OverlongNul", QByteArray("\xC0\x80"), R + R},
                    RepairCase{"CutShortAtEnd", QByteArray("\xE2\x82"), R + R},
                    RepairCase{"Surrogate", QByteArray("\xED\xA0\x80"), R + R + R},
                    RepairCase{"HighestCodePoint", QByteArray("\xF4\x8F\xBF\xBF"),
                               QByteArray("\xF4\x8F\xBF\xBF")},
                    RepairCase{"BeyondUnicode", QByteArray("\xF4\x90\x80\x80"), R + R + R + R},
                    RepairCase{"Delete", QByteArray("\x7F"), R},
                    RepairCase{"TabLineFeedReturn", QByteArray("\t\n\r"), QByteArray("\t\n\r")},
                    RepairCase{"Nul", QByteArray("a\0b", 3), "a" + R + "b"},
                    RepairCase{"ByteFF", QByteArray("\xFF"), R},
                    RepairCase{"StrayContinuation",
                               QByteArray("A\x80"
                                          "B"),
                               "A" + R + "B"},
                    RepairCase{"BadFollowerIsExaminedAfresh", QByteArray("\xE2(\xA1"), R + "(" + R},
                    RepairCase{"OverlongThreeBytes", QByteArray("\xE0\x80\x80"), R + R + R},
                    RepairCase{"WellFormedMixed",
                               QByteArray("h\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"),
                               QByteArray("h\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80")},
                    RepairCase{"Empty", QByteArray(), QByteArray()}),
    [](const testing::TestParamInfo<RepairCase> &info) { return std::string(info.param.name); });

TEST(Utf8, Utf8StringIsStrictForValidDataAndRepairsOtherwise)
{
    EXPECT_EQ(Utf8::utf8String(QByteArray("gr\xC3\xBC\xC3\x9F")), QString::fromUtf8("grüß"));
    // Strict decoding keeps control characters that the repair would replace.
    EXPECT_EQ(Utf8::utf8String(QByteArray("a\0\x7F", 3)),
              QString(QStringLiteral("a")) + QChar(0) + QChar(0x7F));
    EXPECT_EQ(Utf8::utf8String(QByteArray("a\xFF"
                                          "b")),
              QStringLiteral("a\uFFFDb"));
    EXPECT_EQ(Utf8::utf8String(QByteArray("\xED\xA0\x80")), QStringLiteral("\uFFFD\uFFFD\uFFFD"));
    const QString empty = Utf8::utf8String(QByteArray());
    EXPECT_TRUE(empty.isEmpty());
    EXPECT_FALSE(empty.isNull());
}

TEST(Md5, FormsShareOneDigest)
{
    EXPECT_EQ(Md5::MD5ForLower32Bate("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(Md5::MD5ForUpper32Bate("abc"), "900150983CD24FB0D6963F7D28E17F72");
    EXPECT_EQ(Md5::MD5ForLower16Bate("abc"), "3cd24fb0d6963f7d");
    EXPECT_EQ(Md5::MD5ForUpper16Bate("abc"), "3CD24FB0D6963F7D");
    EXPECT_EQ(Md5::MD5ForLower32Bate(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(Md5::MD5ForLower32Bate(QString::fromUtf8("中文")),
              "a7bac2239fcdcb3a067903d8077c4a07");
}

TEST(Md5, DigestEndsAtTheFirstNul)
{
    const QString withNul = QStringLiteral("abc") + QChar(0) + QStringLiteral("def");
    EXPECT_EQ(Md5::MD5ForUpper32Bate(withNul), Md5::MD5ForUpper32Bate("abc"));
    EXPECT_EQ(Md5::MD5ForLower16Bate(QString(QChar(0))), Md5::MD5ForLower16Bate(""));
}

TEST(Base64, EncodesUtf8Bytes)
{
    EXPECT_EQ(Base64::encode("hello"), "aGVsbG8=");
    EXPECT_EQ(Base64::encode(QString::fromUtf8("中文.pdf")), "5Lit5paHLnBkZg==");
    const QString empty = Base64::encode(QStringLiteral(""));
    EXPECT_TRUE(empty.isEmpty());
    EXPECT_FALSE(empty.isNull());
    EXPECT_TRUE(Base64::encode(QString()).isNull());
}

TEST(Base64, DecodingSkipsCharactersOutsideTheAlphabet)
{
    EXPECT_EQ(Base64::dencode("aGVsbG8="), "hello");
    EXPECT_EQ(Base64::dencode(" aGVs\nbG8=\r\n"), "hello");
    EXPECT_EQ(Base64::dencode("5Lit\t5paH\nLnBk Zg=="), QString::fromUtf8("中文.pdf"));
    EXPECT_EQ(Base64::dencode("a-GVsbG8*="), "hello");
    const QString empty = Base64::dencode(QStringLiteral(""));
    EXPECT_TRUE(empty.isEmpty());
    EXPECT_FALSE(empty.isNull());
}

TEST(Base64, UndecodableOrInvalidUtf8GivesNull)
{
    for (const char *text : {"/w==", "gA==", "abc", "aGVsbG8", "aG=VsbG8", "====", "a==="})
        EXPECT_TRUE(Base64::dencode(QLatin1String(text)).isNull()) << text;
    EXPECT_TRUE(Base64::dencode(QString()).isNull());
}

TEST(JsonHelpers, JsonStringIsEmptyForValuesJsonCannotHold)
{
    EXPECT_EQ(JsonHelpers::JSONString({{"when", QDateTime::currentDateTime()}}), "");
    EXPECT_EQ(JsonHelpers::JSONString({{"n", std::nan("")}}), "");
    EXPECT_EQ(JsonHelpers::JSONString({{"list", QVariantList{1, QDateTime::currentDateTime()}}}),
              "");
    EXPECT_FALSE(JsonHelpers::JSONString({{"when", QDateTime::currentDateTime()}}).isNull());
}

TEST(JsonHelpers, JsonStringIsPrettyAndRoundTrips)
{
    const QVariantMap dictionary{{"a", 1},
                                 {"b", QStringLiteral("x")},
                                 {"c", QVariantList{true, QVariant::fromValue(nullptr)}},
                                 {"d", QVariantMap{{"e", 2.5}}}};
    const QString text = JsonHelpers::JSONString(dictionary);
    EXPECT_TRUE(text.contains('\n'));
    EXPECT_EQ(JsonHelpers::objectFromJSONString(text).toMap().value("d").toMap().value("e"), 2.5);
    EXPECT_EQ(JsonHelpers::JSONData({{"a", "b"}}), R"({"a":"b"})");
}

TEST(JsonHelpers, ParsingGivesObjectsAndArraysOnly)
{
    EXPECT_EQ(JsonHelpers::objectFromJSONString(R"({"k":"v"})").toMap().value("k"), "v");
    EXPECT_EQ(JsonHelpers::objectFromJSONData("[1,2]").toList().size(), 2);
    for (const char *text : {"{", "", "3", "\"text\"", "[1,]"})
        EXPECT_FALSE(JsonHelpers::objectFromJSONString(QLatin1String(text)).isValid()) << text;
    EXPECT_FALSE(JsonHelpers::objectFromJSONString(QString()).isValid());
}

TEST(JsonHelpers, ScalarTextGivesTextsNumbersAndBooleansAsFieldsCarryThem)
{
    struct Case
    {
        const char *name;
        QJsonValue value;
        const char *text;
    };
    const Case cases[] = {
        {"text", QJsonValue(QStringLiteral("a b")), "a b"},
        {"true", QJsonValue(true), "1"},
        {"false", QJsonValue(false), "0"},
        {"integer", QJsonValue(qint64(1200)), "1200"},
        {"integer beyond a double", QJsonValue(qint64(9007199254740993)), "9007199254740993"},
        {"smallest integer", QJsonValue(std::numeric_limits<qint64>::min()),
         "-9223372036854775808"},
        {"whole double", QJsonValue(1e6), "1000000"},
        {"negative zero", QJsonValue(-0.0), "0"},
        {"fraction", QJsonValue(0.1), "0.1"},
        {"small fraction", QJsonValue(2.5e-8), "2.5e-08"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(JsonHelpers::scalarText(c.value).toStdString(), c.text) << c.name;

    const QString empty = JsonHelpers::scalarText(QJsonValue(QStringLiteral("")));
    EXPECT_TRUE(empty.isEmpty());
    EXPECT_FALSE(empty.isNull());
    for (const QJsonValue &other : {QJsonValue(QJsonValue::Null), QJsonValue(QJsonValue::Undefined),
                                    QJsonValue(QJsonObject{{"a", 1}}), QJsonValue(QJsonArray{1})})
        EXPECT_TRUE(JsonHelpers::scalarText(other).isNull()) << other.type();
}

TEST(JsonHelpers, HugeWholeNumbersReadBackWithoutExponent)
{
    for (const double number : {1e300, -1.7976931348623157e308, 18446744073709551616.0}) {
        const QString text = JsonHelpers::scalarText(QJsonValue(number));
        EXPECT_FALSE(text.contains(u'e')) << text.toStdString();
        EXPECT_FALSE(text.contains(u'.')) << text.toStdString();
        EXPECT_EQ(text.toDouble(), number) << text.toStdString();
    }
}

QStringList capturedLines;

void captureLine(QtMsgType, const QMessageLogContext &, const QString &message)
{
    capturedLines << message;
}

TEST(JsonHelpers, DictionaryWithJsonStringLogsParseErrorsOnly)
{
    capturedLines.clear();
    const QtMessageHandler previous = qInstallMessageHandler(captureLine);
    const QVariant array = JsonHelpers::dictionaryWithJsonString("[\"one\"]");
    const QVariant broken = JsonHelpers::dictionaryWithJsonString("{");
    const QVariant absent = JsonHelpers::dictionaryWithJsonString(QString());
    qInstallMessageHandler(previous);

    EXPECT_EQ(array.toList(), QVariantList{"one"});
    EXPECT_FALSE(broken.isValid());
    EXPECT_FALSE(absent.isValid());
    ASSERT_EQ(capturedLines.size(), 1);
    EXPECT_TRUE(capturedLines.first().startsWith(QString::fromUtf8("json解析失败：")))
        << capturedLines.first().toStdString();
}

TEST(PRRegexHandle, ReplacesEveryMatchIgnoringCase)
{
    EXPECT_EQ(PRRegexHandle::searchFormatWithSearchStr("AbA", "a", "x"), "xbx");
    EXPECT_EQ(PRRegexHandle::searchFormatWithSearchStr("John Smith", "(\\w+) (\\w+)", "$2 $1"),
              "Smith John");
    EXPECT_EQ(PRRegexHandle::searchFormatWithSearchStr("a.b", "\\.", "\\$"), "a$b");
    EXPECT_EQ(PRRegexHandle::searchFormatWithSearchStr("none", "z", "x"), "none");
    const QString empty = PRRegexHandle::searchFormatWithSearchStr("aa", "a", "");
    EXPECT_TRUE(empty.isEmpty());
    EXPECT_FALSE(empty.isNull());
}

TEST(PRRegexHandle, InvalidPatternGivesNull)
{
    EXPECT_TRUE(PRRegexHandle::searchFormatWithSearchStr("AbA", "(", "x").isNull());
    EXPECT_TRUE(PRRegexHandle::searchFormatWithSearchStr("AbA", "a", "$3").isNull());
}

} // namespace
