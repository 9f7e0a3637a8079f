#pragma once

// The scheme-handler registry of the desktop session, through GIO: handlers are desktop files
// associated with "x-scheme-handler/<scheme>" (mimeapps.list, mimeinfo.cache), and the identifier
// of an application is its desktop-file id without ".desktop". GIO is thread-safe for these
// calls; any thread.

#include "SchemeHandlerRegistry.h"

class GioSchemeHandlerRegistry : public SchemeHandlerRegistry
{
public:
    static constexpr auto kErrorDomain = "GioSchemeHandlerRegistry";
    static constexpr int kNoApplicationError = 1;

    QString defaultHandlerForScheme(const QString &scheme) override;
    Result<QString> defaultApplicationForUrl(const QString &url) override;
    QString identifierOfApplicationAt(const QString &location) override;
    int setDefaultHandlerForScheme(const QString &scheme, const QString &identifier) override;
    bool openUrl(const QString &url) override;
};
