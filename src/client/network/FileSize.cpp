#include "FileSize.h"

#include <QDirIterator>
#include <QFileInfo>

namespace {

constexpr double kKilo = 1e3;
constexpr double kMega = 1e6;
constexpr double kGiga = 1e9;

QString decimalSizeText(quint64 bytes)
{
    const double total = double(bytes);
    if (total >= kGiga) {
        return QString::asprintf("%.2fGB", total / kGiga);
    }
    if (total >= kMega) {
        return QString::asprintf("%.2fMB", total / kMega);
    }
    if (total >= kKilo) {
        return QString::asprintf("%.2fKB", total / kKilo);
    }
    return QStringLiteral("1KB");
}

} // namespace

QString FileSize::fileSize(const QString &path)
{
    const QFileInfo item(path);
    if (!item.exists()) {
        return QStringLiteral("0kb");
    }
    if (!item.isDir()) {
        return QString::asprintf("%.2llu", static_cast<unsigned long long>(item.size()));
    }
    bool empty = true;
    quint64 total = 0;
    QDirIterator below(path, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                       QDirIterator::Subdirectories);
    while (below.hasNext()) {
        below.next();
        total += quint64(below.fileInfo().size());
        empty = false;
    }
    return empty ? QString() : decimalSizeText(total);
}
