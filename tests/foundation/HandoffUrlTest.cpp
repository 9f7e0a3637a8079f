#include "foundation/HandoffUrl.h"

#include <QJsonDocument>
#include <QRegularExpression>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

TEST(HandoffUrl, MethodOnlyObject)
{
    EXPECT_EQ(HandoffUrl::build({{"method", "print"}}),
              "vandrix://?params=%7B%22method%22%3A%22print%22%7D");
}

TEST(HandoffUrl, EscapesEveryByteButUnreservedCharacters)
{
    EXPECT_EQ(HandoffUrl::escape("aZ09-._~"), "aZ09-._~");
    EXPECT_EQ(HandoffUrl::escape("?=&/+%\" "), "%3F%3D%26%2F%2B%25%22%20");
    EXPECT_EQ(HandoffUrl::escape(QString::fromUtf8("é中")), "%C3%A9%E4%B8%AD");
}

TEST(HandoffUrl, CompactTextHasNoBlanksEvenInValues)
{
    const QJsonObject job{{"docname", "a b  c"}, {"copies", "1"}, {"path", "/tmp/x y.pdf"}};
    const QString text = HandoffUrl::compactJsonText(job);
    EXPECT_FALSE(text.contains(u' '));
    EXPECT_FALSE(text.contains(u'\n'));
    const QJsonObject read = QJsonDocument::fromJson(text.toUtf8()).object();
    EXPECT_EQ(read.value("docname").toString(), "abc");
    EXPECT_EQ(read.value("path").toString(), "/tmp/xy.pdf");
}

TEST(HandoffUrl, QueryDecodesBackToTheObject)
{
    const QJsonObject job{{"method", "print"},
                          {"printjob", "L3RtcC92cW1wcmludGVyL0EucGRm"},
                          {"docname", "5oql5ZGKLmRvY3g="},
                          {"copies", "2"},
                          {"jobId", "42"},
                          {"version", "2.4.20"}};
    const QString url = HandoffUrl::build(job);
    ASSERT_TRUE(url.startsWith("vandrix://?params="));
    const QString query = url.mid(QString("vandrix://?params=").size());
    EXPECT_FALSE(query.contains(QRegularExpression("[?=&/+\"]")));
    const QByteArray json = QByteArray::fromPercentEncoding(query.toLatin1());
    EXPECT_EQ(QJsonDocument::fromJson(json).object(), job);
}

} // namespace
