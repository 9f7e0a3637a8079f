#include "AccountStore.h"
#include "FormBody.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

TEST(SimFormBodyTest, DecodesLikePhpAndRefusesBrokenEncoding)
{
    const auto fields = FormBody::decode("a=1+2%2B3&b=&c&a=last&&n%C3%A4me=%E6%89%93");
    ASSERT_TRUE(fields);
    EXPECT_EQ(fields->value("a").toString(), "last");
    EXPECT_EQ(fields->value("b").toString(), "");
    EXPECT_TRUE(fields->contains("c"));
    EXPECT_EQ(fields->value(QString::fromUtf8("näme")).toString(), QString::fromUtf8("打"));
    EXPECT_EQ(FormBody::decode("a=1+2%2B3")->value("a").toString(), "1 2+3");
    EXPECT_TRUE(FormBody::decode("")->isEmpty());

    for (const char *broken : {"a=%", "a=%4", "a=%G1", "a=%FF", "%C3=1"})
        EXPECT_FALSE(FormBody::decode(broken)) << broken;
}

TEST(SimAccountStoreTest, GeneratesIdsPerEnterpriseAndUser)
{
    AccountStore store;
    ASSERT_TRUE(store.addFromText("ACME:alice:pa:ss").ok());
    ASSERT_TRUE(store.addFromText("ACME:bob:pw").ok());
    ASSERT_TRUE(store.addFromText("OTHER:alice:pw").ok());

    const SimAccount *alice = store.find("ACME", "alice");
    const SimAccount *bob = store.find("ACME", "bob");
    const SimAccount *otherAlice = store.find("OTHER", "alice");
    ASSERT_TRUE(alice && bob && otherAlice);
    EXPECT_EQ(alice->password, "pa:ss");
    EXPECT_EQ(alice->entId, bob->entId);
    EXPECT_NE(alice->entId, otherAlice->entId);
    EXPECT_NE(alice->userId, bob->userId);
    EXPECT_NE(alice->userId, otherAlice->userId);
    EXPECT_TRUE(store.hasUser(alice->entId, bob->userId));
    EXPECT_FALSE(store.hasUser(alice->entId, otherAlice->userId));
    EXPECT_FALSE(alice->entname.isEmpty());
    EXPECT_FALSE(alice->email.isEmpty());
}

TEST(SimAccountStoreTest, RefusesAmbiguousOrIncompleteAccounts)
{
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath("accounts.json");
    const struct
    {
        const char *name;
        const char *json;
    } cases[] = {
        {"not JSON", "{accounts"},
        {"no accounts", R"({"accounts": []})"},
        {"no password", R"([{"entkey": "A", "userName": "u"}])"},
        {"same user twice", R"([{"entkey": "A", "userName": "u", "password": "p"},
                                {"entkey": "A", "userName": "u", "password": "q"}])"},
        {"two ids for one company",
         R"([{"entkey": "A", "userName": "u", "password": "p", "entId": 1},
             {"entkey": "A", "userName": "v", "password": "p", "entId": 2}])"},
        {"one id for two companies",
         R"([{"entkey": "A", "userName": "u", "password": "p", "entId": 1},
             {"entkey": "B", "userName": "v", "password": "p", "entId": 1}])"},
        {"user id twice", R"([{"entkey": "A", "userName": "u", "password": "p", "userId": 7},
                              {"entkey": "B", "userName": "v", "password": "p", "userId": "7"}])"},
    };
    for (const auto &c : cases) {
        ASSERT_TRUE(TestSupport::writeFile(path, c.json));
        AccountStore store;
        EXPECT_FALSE(store.loadFile(path).ok()) << c.name;
    }
    AccountStore store;
    EXPECT_FALSE(store.loadFile(QDir(dir.path()).filePath("missing.json")).ok());
    EXPECT_FALSE(store.addFromText("A:u").ok());
}
