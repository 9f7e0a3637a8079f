// GLib's headers use "signals" as a member name, which Qt defines as a keyword macro.
#define QT_NO_KEYWORDS

#include "GioSchemeHandlerRegistry.h"

#include <QDebug>
#include <QFileInfo>

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include <memory>

namespace {

constexpr auto kDesktopFileSuffix = ".desktop";
constexpr auto kSchemeContentTypePrefix = "x-scheme-handler/";

struct GObjectUnref
{
    void operator()(gpointer object) const { g_object_unref(object); }
};
using AppInfoPtr = std::unique_ptr<GAppInfo, GObjectUnref>;
using DesktopAppInfoPtr = std::unique_ptr<GDesktopAppInfo, GObjectUnref>;

struct GErrorFree
{
    void operator()(GError *error) const { g_error_free(error); }
};

struct GFree
{
    void operator()(gpointer memory) const { g_free(memory); }
};

QString withoutDesktopSuffix(QString identifier)
{
    if (identifier.endsWith(QLatin1String(kDesktopFileSuffix)))
        identifier.chop(int(qstrlen(kDesktopFileSuffix)));
    return identifier;
}

AppInfoPtr defaultAppForScheme(const QString &scheme)
{
    return AppInfoPtr(g_app_info_get_default_for_uri_scheme(scheme.toUtf8().constData()));
}

void warnAbout(const char *what, GError *error)
{
    const std::unique_ptr<GError, GErrorFree> owned(error);
    qWarning().noquote() << what << (owned ? QString::fromUtf8(owned->message) : QString());
}

} // namespace

QString GioSchemeHandlerRegistry::defaultHandlerForScheme(const QString &scheme)
{
    const AppInfoPtr app = defaultAppForScheme(scheme);
    const char *desktopId = app ? g_app_info_get_id(app.get()) : nullptr;
    return desktopId ? withoutDesktopSuffix(QString::fromUtf8(desktopId)) : QString();
}

Result<QString> GioSchemeHandlerRegistry::defaultApplicationForUrl(const QString &url)
{
    const std::unique_ptr<char, GFree> scheme(g_uri_parse_scheme(url.toUtf8().constData()));
    const AppInfoPtr app = scheme ? defaultAppForScheme(QString::fromUtf8(scheme.get())) : nullptr;
    const char *fileName = app && G_IS_DESKTOP_APP_INFO(app.get())
                               ? g_desktop_app_info_get_filename(G_DESKTOP_APP_INFO(app.get()))
                               : nullptr;
    if (!fileName)
        return Error{QString::fromLatin1(kErrorDomain), kNoApplicationError,
                     QStringLiteral("no application is registered for %1").arg(url)};
    return QString::fromUtf8(fileName);
}

QString GioSchemeHandlerRegistry::identifierOfApplicationAt(const QString &location)
{
    const DesktopAppInfoPtr app(
        g_desktop_app_info_new_from_filename(location.toUtf8().constData()));
    if (!app)
        return {};
    // A desktop file outside the application folders has no id; its file name stands for it.
    const char *desktopId = g_app_info_get_id(G_APP_INFO(app.get()));
    return withoutDesktopSuffix(desktopId ? QString::fromUtf8(desktopId)
                                          : QFileInfo(location).fileName());
}

int GioSchemeHandlerRegistry::setDefaultHandlerForScheme(const QString &scheme,
                                                         const QString &identifier)
{
    const QByteArray desktopId = (identifier + QLatin1String(kDesktopFileSuffix)).toUtf8();
    const DesktopAppInfoPtr app(g_desktop_app_info_new(desktopId.constData()));
    if (!app)
        return kStatusApplicationNotFound;
    const QByteArray contentType = (QLatin1String(kSchemeContentTypePrefix) + scheme).toUtf8();
    GError *error = nullptr;
    if (!g_app_info_set_as_default_for_type(G_APP_INFO(app.get()), contentType.constData(),
                                            &error)) {
        warnAbout("cannot make the application the scheme's default handler:", error);
        return kStatusRegistrationFailed;
    }
    return kStatusSuccess;
}

bool GioSchemeHandlerRegistry::openUrl(const QString &url)
{
    GError *error = nullptr;
    if (!g_app_info_launch_default_for_uri(url.toUtf8().constData(), nullptr, &error)) {
        warnAbout("cannot open the URL in its handler:", error);
        return false;
    }
    return true;
}
