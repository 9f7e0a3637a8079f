#include "client/network/AFPlainTextResponseSerializer.h"
#include "client/network/HTTPManager.h"

#include <QJsonArray>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace {

const Error Earlier{QStringLiteral("earlier"), 5, QStringLiteral("an earlier failure")};

TEST(AFPlainTextResponseSerializer, BodiesWithoutContentGiveNilAndLeaveTheErrorAlone)
{
    const QByteArray bodies[] = {QByteArray(), QByteArray(" "), QByteArray("\xff\xfe{}", 4)};
    for (const QByteArray &body : bodies) {
        SCOPED_TRACE(body.toHex().constData());
        std::optional<Error> none;
        EXPECT_TRUE(
            AFPlainTextResponseSerializer().responseObjectForResponse(body, &none).isUndefined());
        EXPECT_FALSE(none.has_value());

        std::optional<Error> kept = Earlier;
        EXPECT_TRUE(
            AFPlainTextResponseSerializer().responseObjectForResponse(body, &kept).isUndefined());
        EXPECT_EQ(kept, Earlier);
        EXPECT_TRUE(
            AFPlainTextResponseSerializer().responseObjectForResponse(body, nullptr).isUndefined());
    }
}

TEST(AFPlainTextResponseSerializer, ParsesJsonWhateverTheReply)
{
    std::optional<Error> kept = Earlier;
    EXPECT_EQ(AFPlainTextResponseSerializer().responseObjectForResponse(R"({"a": 1})", &kept),
              QJsonValue(QJsonObject{{"a", 1}}));
    EXPECT_EQ(AFPlainTextResponseSerializer().responseObjectForResponse("[1, \"x\"]", &kept),
              QJsonValue(QJsonArray{1, "x"}));
    EXPECT_EQ(kept, Earlier);
    // Two blanks are no longer the "nothing" body: they fail as JSON.
    std::optional<Error> none;
    EXPECT_TRUE(
        AFPlainTextResponseSerializer().responseObjectForResponse("  ", &none).isUndefined());
    EXPECT_TRUE(none.has_value());
}

TEST(AFPlainTextResponseSerializer, UnparsableBodySetsTheErrorNamingAnEarlierOne)
{
    std::optional<Error> fresh;
    EXPECT_TRUE(
        AFPlainTextResponseSerializer().responseObjectForResponse("<html>", &fresh).isUndefined());
    ASSERT_TRUE(fresh.has_value());
    EXPECT_EQ(fresh->code, HTTPManager::kErrorCannotParseResponse);
    EXPECT_FALSE(fresh->description.contains(QStringLiteral("underlying")));

    std::optional<Error> chained = Earlier;
    AFPlainTextResponseSerializer().responseObjectForResponse("<html>", &chained);
    ASSERT_TRUE(chained.has_value());
    EXPECT_EQ(chained->domain, fresh->domain);
    EXPECT_EQ(chained->code, fresh->code);
    EXPECT_TRUE(chained->description.contains(Earlier.description));
}

TEST(AFPlainTextResponseSerializer, KeepsItsResponseSerializersWithoutUsingThem)
{
    int calls = 0;
    const AFPlainTextResponseSerializer::ResponseSerializer recording =
        [&calls](const QByteArray &, std::optional<Error> *error) {
            ++calls;
            if (error)
                *error = Earlier;
            return QJsonValue(QStringLiteral("from the kept serializer"));
        };
    AFPlainTextResponseSerializer serializer;
    EXPECT_TRUE(serializer.responseSerializers().isEmpty());
    serializer.setResponseSerializers({recording, recording});

    std::optional<Error> none;
    EXPECT_EQ(serializer.responseObjectForResponse(R"({"a": 1})", &none),
              QJsonValue(QJsonObject{{"a", 1}}));
    EXPECT_TRUE(serializer.responseObjectForResponse(" ", &none).isUndefined());
    EXPECT_FALSE(none.has_value());
    EXPECT_EQ(calls, 0);

    const auto kept = serializer.responseSerializers();
    ASSERT_EQ(kept.size(), 2);
    std::optional<Error> set;
    EXPECT_EQ(kept.first()(QByteArray(), &set),
              QJsonValue(QStringLiteral("from the kept serializer")));
    EXPECT_EQ(set, Earlier);
    EXPECT_EQ(calls, 1);
}

} // namespace
