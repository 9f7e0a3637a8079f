#include "QrLoginPage.h"

#include "AccountStore.h"
#include "FormBody.h"
#include "PushServer.h"

#include <QCryptographicHash>
#include <QHttpServerRequest>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QUrl>
#include <QUrlQuery>

namespace {

using Status = QHttpServerResponder::StatusCode;

const QByteArray kHtml = "text/html; charset=UTF-8";
const QRegularExpression kDatePattern(QStringLiteral("^\\d{14}$"));

QString field(const QJsonObject &fields, const char *name)
{
    return fields.value(QLatin1String(name)).toString();
}

QByteArray page(const QString &title, const QString &bodyHtml)
{
    return QStringLiteral("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">"
                          "<meta name=\"viewport\" content=\"width=device-width\">"
                          "<title>%1</title></head>\n<body>\n<h1>%1</h1>\n%2\n</body></html>\n")
        .arg(title.toHtmlEscaped(), bodyHtml)
        .toUtf8();
}

void sendPage(const HttpReply &reply, Status status, const QString &title, const QString &text)
{
    reply.send(status, kHtml, page(title, QStringLiteral("<p>%1</p>").arg(text.toHtmlEscaped())));
}

// Query items first, then form fields of a POST body, which win.
std::optional<QJsonObject> requestFields(const QHttpServerRequest &request)
{
    QJsonObject fields;
    for (const auto &[name, value] : request.query().queryItems(QUrl::FullyDecoded))
        fields.insert(name, value);
    if (request.method() == QHttpServerRequest::Method::Post && !request.body().isEmpty()) {
        const auto form = FormBody::decode(request.body());
        if (!form)
            return std::nullopt;
        for (auto it = form->begin(); it != form->end(); ++it)
            fields.insert(it.key(), it.value());
    }
    return fields;
}

} // namespace

QrLoginPage::QrLoginPage(const AccountStore &accounts, PushServer &push)
    : m_accounts(accounts)
    , m_push(push)
{}

QString QrLoginPage::keyForDate(const QString &date)
{
    const QByteArray material = QByteArray(kKeySalt) + date.toUtf8();
    return QString::fromLatin1(
        QCryptographicHash::hash(material, QCryptographicHash::Md5).toHex().toUpper());
}

QJsonObject QrLoginPage::loginRecord(const SimAccount &account)
{
    return {
        {"engrealname", account.userName},
        {"realname_eng", account.userName},
        {"depId", QStringLiteral("1")},
        {"realname", account.userName},
        {"leftmoney", QStringLiteral("0.00")},
        {"cardNo", QString()},
        {"comment", QString()},
        {"opermoney", QStringLiteral("0.00")},
        {"userId", account.userId},
        {"code", account.userName},
        {"cardType", QStringLiteral("0")},
        {"telphone", QString()},
        {"cmd", QStringLiteral("scanlogin")},
        {"entId", account.entId},
        {"entname", account.entname},
        {"email", account.email},
        {"entkey", account.entkey},
        {"depName", QStringLiteral("Default")},
    };
}

void QrLoginPage::handle(const QHttpServerRequest &request, const HttpReply &reply)
{
    const auto method = request.method();
    if (method != QHttpServerRequest::Method::Get && method != QHttpServerRequest::Method::Post) {
        sendPage(reply, Status::MethodNotAllowed, QStringLiteral("Not allowed"),
                 QStringLiteral("Use GET or POST."));
        return;
    }
    const auto fields = requestFields(request);
    if (!fields) {
        sendPage(reply, Status::BadRequest, QStringLiteral("Bad request"),
                 QStringLiteral("The form could not be read."));
        return;
    }
    if (field(*fields, "act") != "index" || field(*fields, "op") != "scanlogin" ||
        field(*fields, "type") != "1") {
        sendPage(reply, Status::BadRequest, QStringLiteral("Unknown page"),
                 QStringLiteral("This page needs act=index, op=scanlogin and type=1."));
        return;
    }
    const QString date = field(*fields, "date");
    const QString code = field(*fields, "code");
    if (!kDatePattern.match(date).hasMatch() || code.isEmpty()) {
        sendPage(reply, Status::BadRequest, QStringLiteral("Bad request"),
                 QStringLiteral("The QR code lacks its date or code."));
        return;
    }
    if (field(*fields, "DalvemorKeys") != keyForDate(date)) {
        sendPage(reply, Status::Forbidden, QStringLiteral("Refused"),
                 QStringLiteral("The key of this QR code is not valid."));
        return;
    }
    if (field(*fields, "confirm") != "1") {
        reply.send(Status::Ok, kHtml, formPage(*fields));
        return;
    }
    QString problem;
    const SimAccount *account = findAccount(*fields, &problem);
    if (!account) {
        sendPage(reply, Status::NotFound, QStringLiteral("Unknown account"), problem);
        return;
    }
    const QByteArray record = QJsonDocument(loginRecord(*account)).toJson(QJsonDocument::Compact);
    if (m_push.pushLoginResult(code, record) == 0) {
        sendPage(reply, Status::Conflict, QStringLiteral("No client waiting"),
                 QStringLiteral("No client has subscribed this code."));
        return;
    }
    sendPage(reply, Status::Ok, QStringLiteral("Login confirmed"),
             QStringLiteral("%1 is logged in on the computer.").arg(account->userName));
}

const SimAccount *QrLoginPage::findAccount(const QJsonObject &fields, QString *problem) const
{
    const QString user = field(fields, "user");
    const QString entkey = field(fields, "entkey");
    const SimAccount *match = nullptr;
    for (const SimAccount &account : m_accounts.accounts()) {
        if (account.userName != user || (!entkey.isEmpty() && account.entkey != entkey))
            continue;
        if (match) {
            *problem = QStringLiteral("The user name \"%1\" is not unique; give entkey.").arg(user);
            return nullptr;
        }
        match = &account;
    }
    if (!match)
        *problem = QStringLiteral("There is no account \"%1\".").arg(user);
    return match;
}

QByteArray QrLoginPage::formPage(const QJsonObject &fields) const
{
    QUrlQuery query;
    for (const char *name : {"act", "op", "DalvemorKeys", "date", "type", "code"})
        query.addQueryItem(QLatin1String(name), field(fields, name));
    const QString action =
        QStringLiteral("%1?%2").arg(QLatin1String(kPath), query.toString(QUrl::FullyEncoded));
    QString forms;
    for (const SimAccount &account : m_accounts.accounts()) {
        forms += QStringLiteral("<form method=\"post\" action=\"%1\">"
                                "<input type=\"hidden\" name=\"confirm\" value=\"1\">"
                                "<input type=\"hidden\" name=\"user\" value=\"%2\">"
                                "<input type=\"hidden\" name=\"entkey\" value=\"%3\">"
                                "<button type=\"submit\">Log in as %2 (%3)</button></form>\n")
                     .arg(action.toHtmlEscaped(), account.userName.toHtmlEscaped(),
                          account.entkey.toHtmlEscaped());
    }
    if (forms.isEmpty())
        forms = QStringLiteral("<p>The service knows no accounts.</p>");
    return page(QStringLiteral("Confirm the login"),
                QStringLiteral("<p>Log in on the computer that shows this QR code.</p>\n") + forms);
}
