#include "foundation/Record.h"

#include <QJsonDocument>
#include <gtest/gtest.h>

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
