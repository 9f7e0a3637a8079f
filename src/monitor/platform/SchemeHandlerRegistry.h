#pragma once

// Which application opens the URLs of a scheme, and opening such a URL. An application is named
// by its identifier (on the desktop, its desktop-file id without ".desktop"). Implementations are
// called from the hand-off's pool threads, possibly from several at once.

#include "foundation/Error.h"

#include <QString>

class SchemeHandlerRegistry
{
public:
    // Status of setDefaultHandlerForScheme().
    static constexpr int kStatusSuccess = 0;
    static constexpr int kStatusApplicationNotFound = 1;
    static constexpr int kStatusRegistrationFailed = 2;

    virtual ~SchemeHandlerRegistry() = default;

    // The identifier of the scheme's default handler, or a null text when it has none.
    virtual QString defaultHandlerForScheme(const QString &scheme) = 0;
    // Where the default application for the URL lies (a file path), or why there is none.
    virtual Result<QString> defaultApplicationForUrl(const QString &url) = 0;
    // The identifier of the application at the location; a null text when none is there.
    virtual QString identifierOfApplicationAt(const QString &location) = 0;
    // Makes the application with the identifier the scheme's default handler; a status above.
    virtual int setDefaultHandlerForScheme(const QString &scheme, const QString &identifier) = 0;
    // Launches or activates the URL's handler with the URL; whether that worked.
    virtual bool openUrl(const QString &url) = 0;
};
