#include "Localizable.h"

#include <QCoreApplication>
#include <QDir>
#include <QSet>
#include <QTranslator>

#include <memory>
#include <vector>

namespace {

constexpr auto kTableFolder = ":/i18n";
constexpr auto kTableSuffix = ".qm";
constexpr auto kLanguageSeparator = "_";
constexpr auto kFallbackLanguage = "en";

std::vector<std::unique_ptr<QTranslator>> &installedTables()
{
    static std::vector<std::unique_ptr<QTranslator>> tables;
    return tables;
}

// Table names are the file names up to the first "_": "errors_zh_CN.qm" belongs to "errors".
QSet<QString> tableNames()
{
    QSet<QString> names;
    const QStringList files = QDir(QString::fromLatin1(kTableFolder))
                                  .entryList({QStringLiteral("*") + kTableSuffix}, QDir::Files);
    for (const QString &file : files)
        names.insert(file.section(QLatin1String(kLanguageSeparator), 0, 0));
    return names;
}

} // namespace

// Outside any namespace, as the resource system requires.
static void initTranslationResource()
{
    Q_INIT_RESOURCE(tarvello_core_translations);
}

QString Localizable::string(const char *key)
{
    return QCoreApplication::translate(kContext, key);
}

int Localizable::install(const QLocale &locale)
{
    initTranslationResource();
    auto &tables = installedTables();
    for (const auto &table : tables)
        QCoreApplication::removeTranslator(table.get());
    tables.clear();

    const QString folder = QString::fromLatin1(kTableFolder);
    const QString separator = QString::fromLatin1(kLanguageSeparator);
    const QString suffix = QString::fromLatin1(kTableSuffix);
    for (const QString &name : tableNames()) {
        auto table = std::make_unique<QTranslator>();
        const bool loaded =
            table->load(locale, name, separator, folder, suffix) ||
            table->load(name + separator + QString::fromLatin1(kFallbackLanguage), folder);
        if (!loaded)
            continue;
        QCoreApplication::installTranslator(table.get());
        tables.push_back(std::move(table));
    }
    return int(tables.size());
}
