#pragma once

// The client's strings table. Texts are looked up by key in the translation context "Localizable";
// a key that the table lacks shows as the key itself. The tables are compiled from
// resources/i18n/<table>_<language>.ts into the core library's resource ":/i18n".
//
// install() loads, for every table, the best match for the locale (English when the table has no
// text for that language) into the application; call it on the main thread once the application
// object exists. A later call replaces the tables loaded before. string() may be called from any
// thread.

#include <QLocale>
#include <QString>

class Localizable
{
public:
    static constexpr const char *kContext = "Localizable";

    static QString string(const char *key);

    // Returns how many tables were loaded.
    static int install(const QLocale &locale = QLocale::system());
};
