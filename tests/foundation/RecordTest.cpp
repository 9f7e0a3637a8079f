#include "foundation/Record.h"

#include <QJsonDocument>
#include <gtest/gtest.h>

#include <limits>

namespace {

struct SampleBase
{
    Q_GADGET
    Q_PROPERTY(QString baseText MEMBER baseText)
public:
    QString baseText;
};

struct Sample : SampleBase
{
    Q_GADGET
    Q_PROPERTY(QString text MEMBER text)
    Q_PROPERTY(qint64 count MEMBER count)
    Q_PROPERTY(bool flag MEMBER flag)
public:
    QString text;
    qint64 count = 0;
    bool flag = false;
};

} // namespace

TEST(Record, PropertiesKeepDeclarationOrderAndOwnExcludesBase)
{
    QStringList all, own;
    for (const auto &p : Record::allProperties(Sample::staticMetaObject))
        all << p.name();
    for (const auto &p : Record::ownProperties(Sample::staticMetaObject))
        own << p.name();
    EXPECT_EQ(all, QStringList({"baseText", "text", "count", "flag"}));
    EXPECT_EQ(own, QStringList({"text", "count", "flag"}));
}

TEST(Record, NullTextIsLeftOutAndEmptyTextIsKept)
{
    Sample sample;
    sample.text = QStringLiteral("");
    const QJsonObject json = Record::toJson(sample);
    EXPECT_FALSE(json.contains("baseText"));
    ASSERT_TRUE(json.contains("text"));
    EXPECT_EQ(json.value("text").toString(), "");
    EXPECT_EQ(json.value("count").toInteger(), 0);
}

TEST(Record, ReadingConvertsNumbersToTextAndIgnoresUnknownMembers)
{
    const auto json =
        QJsonDocument::fromJson(
            R"({"text": 42, "count": "17", "flag": true, "other": "x", "baseText": 2.5})")
            .object();
    const Sample sample = Record::fromJson<Sample>(json);
    EXPECT_EQ(sample.text, "42");
    EXPECT_EQ(sample.count, 17);
    EXPECT_TRUE(sample.flag);
    EXPECT_EQ(sample.baseText, "2.5");
}

TEST(Record, NumbersReadAsTextKeepTheirDecimalDigits)
{
    struct Case
    {
        const char *json;
        const char *text;
    };
    const Case cases[] = {
        {"7", "7"},
        {"-0", "0"},
        {"-12", "-12"},
        {"100000", "100000"},
        {"1e6", "1000000"},
        {"1200.0", "1200"},
        {"9007199254740992", "9007199254740992"},
        {"9007199254740993", "9007199254740993"},
        {"9223372036854775807", "9223372036854775807"},
        {"-9223372036854775808", "-9223372036854775808"},
        // Beyond a 64-bit integer: whole numbers still read without fraction or exponent.
        {"9223372036854775808", "9223372036854775808"},
        {"-9223372036854775809", "-9223372036854775808"},
        {"18446744073709551616", "18446744073709551616"},
        {"1e20", "100000000000000000000"},
        {"-1e30", "-1000000000000000019884624838656"},
        // Fractions: the shortest text that reads back the same number.
        {"2.5", "2.5"},
        {"0.1", "0.1"},
        {"-1.5", "-1.5"},
        {"0.30000000000000004", "0.30000000000000004"},
        {"123456.789", "123456.789"},
        {"1.5e-7", "1.5e-07"},
        {"1e-300", "1e-300"},
    };
    for (const Case &c : cases) {
        const QByteArray document = QByteArray(R"({"text": )") + c.json + "}";
        const Sample sample = Record::fromJson<Sample>(QJsonDocument::fromJson(document).object());
        EXPECT_EQ(sample.text, QLatin1String(c.text)) << c.json;
    }
}

TEST(Record, IntegersReadIntoANumberPropertyKeepAllTheirDigits)
{
    struct Case
    {
        const char *json;
        qint64 count;
    };
    const Case cases[] = {
        {"9007199254740993", 9007199254740993},
        {R"("9007199254740993")", 9007199254740993},
        {R"(" -9223372036854775808 ")", std::numeric_limits<qint64>::min()},
        {"9223372036854775807", std::numeric_limits<qint64>::max()},
        {"1e6", 1000000},
        {R"("1e3")", 1000},
    };
    for (const Case &c : cases) {
        const QByteArray document = QByteArray(R"({"count": )") + c.json + "}";
        const Sample sample = Record::fromJson<Sample>(QJsonDocument::fromJson(document).object());
        EXPECT_EQ(sample.count, c.count) << c.json;
    }
}

TEST(Record, UnsuitableMemberLeavesPropertyUntouched)
{
    Sample sample;
    sample.text = "kept";
    Record::fillFromJson(sample,
                         QJsonDocument::fromJson(R"({"text": {"a": 1}, "count": "x"})").object());
    EXPECT_EQ(sample.text, "kept");
    EXPECT_EQ(sample.count, 0);
}

#include "RecordTest.moc"
