#include "HttpFetch.h"
#include "PushChannelFixture.h"

#include "client/models/LoginResultModel.h"
#include "foundation/BaseTools.h"
#include "foundation/Record.h"
#include "foundation/TextHelpers/Md5.h"
#include "support/TestSupport.h"

#include "AccountStore.h"
#include "HttpEndpoint.h"
#include "push/QrLoginPage.h"

#include <QJsonDocument>
#include <QUrlQuery>

#include <chrono>

using namespace std::chrono_literals;

namespace {

constexpr auto kQuietPeriod = 300ms;
const QString kSalt = QStringLiteral("~#!$$!#~");

class QrLoginPageTest : public PushChannelFixture
{
protected:
    void SetUp() override
    {
        PushChannelFixture::SetUp();
        for (const char *account : {"ACME:alice:secret", "ACME:bob:pw", "OTHER:bob:pw2"})
            ASSERT_TRUE(m_accounts.addFromText(QString::fromLatin1(account)).ok());
        m_endpoint.addRoute(QrLoginPage::kPath,
                            [this](const QHttpServerRequest &request, HttpReply reply) {
                                m_page.handle(request, reply);
                            });
        auto port = m_endpoint.listen(QHostAddress::LocalHost, 0);
        ASSERT_TRUE(port.ok());
        m_port = port.value();
    }

    // The page's address as the client's QR code names it, with the client's own key.
    QUrl qrUrl(const QString &code, const QString &date = BaseTools::getCurrentTimes(),
               const QString &key = QString()) const
    {
        const QString dalvemorKeys = key.isNull() ? Md5::MD5ForUpper32Bate(kSalt + date) : key;
        return QUrl(QStringLiteral("http://127.0.0.1:%1/ferrolux/mobile/"
                                   "index.php?act=index&op=scanlogin&DalvemorKeys=%2&date=%3&"
                                   "type=1&code=%4")
                        .arg(m_port)
                        .arg(dalvemorKeys, date, code));
    }

    static QUrl withConfirmation(QUrl url, const QString &user, const QString &entkey = QString())
    {
        QUrlQuery query(url);
        query.addQueryItem("confirm", "1");
        query.addQueryItem("user", user);
        if (!entkey.isNull())
            query.addQueryItem("entkey", entkey);
        url.setQuery(query);
        return url;
    }

    const SimAccount &account(const QString &entkey, const QString &user) const
    {
        return *m_accounts.find(entkey, user);
    }

    AccountStore m_accounts;
    QrLoginPage m_page{m_accounts, m_server};
    HttpEndpoint m_endpoint;
    quint16 m_port = 0;
    HttpFetch m_http;
};

TEST_F(QrLoginPageTest, ConfirmedLoginIsPushedToTheSubscribedConnectionOnly)
{
    RecordingPushDelegate scanned;
    RecordingPushDelegate other;
    auto client = connectedClient(scanned, QStringLiteral("20240315093000"));
    auto bystander = connectedClient(other, QStringLiteral("20240315093001"));
    const QUrl url = qrUrl(client->qrCodeIndentify());

    const HttpFetch::Answer form = m_http.get(url);
    ASSERT_TRUE(form.finished);
    EXPECT_EQ(form.status, 200);
    EXPECT_TRUE(form.body.contains("alice")) << form.body.toStdString();
    EXPECT_TRUE(scanned.packets.isEmpty());

    const HttpFetch::Answer confirmed = m_http.get(withConfirmation(url, "alice"));
    EXPECT_EQ(confirmed.status, 200) << confirmed.body.toStdString();

    ASSERT_TRUE(waitForPackets(scanned, 1));
    TestSupport::spin(kQuietPeriod);
    EXPECT_TRUE(other.packets.isEmpty());
    ASSERT_EQ(scanned.packets.size(), 1);
    const NetPackModel &packet = scanned.packets.first();
    EXPECT_EQ(packet.mainCmd, 4525u);
    // The body as the client takes it apart: the code and ";", then the record's JSON object.
    const QString prefix = client->qrCodeIndentify() + u';';
    ASSERT_TRUE(packet.content.startsWith(prefix)) << packet.content.toStdString();
    const QJsonDocument json = QJsonDocument::fromJson(packet.content.mid(prefix.size()).toUtf8());
    ASSERT_TRUE(json.isObject());
    const auto record = Record::fromJson<LoginResultModel>(json.object());
    const SimAccount &alice = account("ACME", "alice");
    EXPECT_EQ(record.code, QStringLiteral("alice"));
    EXPECT_EQ(record.userId, alice.userId);
    EXPECT_EQ(record.entkey, QStringLiteral("ACME"));
    EXPECT_EQ(record.entId, alice.entId);
    EXPECT_EQ(json.object().size(), LoginResultModel::staticMetaObject.propertyCount());
}

TEST_F(QrLoginPageTest, FormConfirmationByPostNamesTheEnterpriseOfAnAmbiguousUser)
{
    RecordingPushDelegate scanned;
    auto client = connectedClient(scanned);
    const QUrl url = qrUrl(client->qrCodeIndentify());

    EXPECT_EQ(m_http.get(withConfirmation(url, "bob")).status, 404);
    const HttpFetch::Answer confirmed =
        m_http.post(url, "application/x-www-form-urlencoded", "confirm=1&user=bob&entkey=OTHER");
    EXPECT_EQ(confirmed.status, 200) << confirmed.body.toStdString();

    ASSERT_TRUE(waitForPackets(scanned, 1));
    EXPECT_TRUE(scanned.packets.first().content.contains(account("OTHER", "bob").entId));
    EXPECT_TRUE(scanned.packets.first().content.contains("\"entkey\":\"OTHER\""));
}

TEST_F(QrLoginPageTest, RefusesWrongKeysAndMalformedOrUnwaitedConfirmations)
{
    RecordingPushDelegate scanned;
    auto client = connectedClient(scanned);
    const QString code = client->qrCodeIndentify();
    const QString date = QStringLiteral("20240315093000");
    const QString rightKey = Md5::MD5ForUpper32Bate(kSalt + date);
    struct Case
    {
        const char *name;
        QUrl url;
        int status;
    };
    const Case cases[] = {
        {"wrong key", withConfirmation(qrUrl(code, date, QString(32, u'0')), "alice"), 403},
        {"key of another date",
         withConfirmation(qrUrl(code, QStringLiteral("20240315093001"), rightKey), "alice"), 403},
        {"lower-case key", withConfirmation(qrUrl(code, date, rightKey.toLower()), "alice"), 403},
        {"form with a wrong key", qrUrl(code, date, QString(32, u'0')), 403},
        {"date not a time text", withConfirmation(qrUrl(code, "2024-03-15"), "alice"), 400},
        {"no code", withConfirmation(qrUrl(QString(""), date), "alice"), 400},
        {"unknown account", withConfirmation(qrUrl(code, date), "mallory"), 404},
        {"nobody subscribed the code", withConfirmation(qrUrl(QString(32, u'F'), date), "alice"),
         409},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const HttpFetch::Answer answer = m_http.get(c.url);
        ASSERT_TRUE(answer.finished);
        EXPECT_EQ(answer.status, c.status) << answer.body.toStdString();
    }
    TestSupport::spin(kQuietPeriod);
    EXPECT_TRUE(scanned.packets.isEmpty());
}

} // namespace
