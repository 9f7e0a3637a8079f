#pragma once

// Runs the backend's core on a spool root in a temporary folder and reads back what it left.

#include "backend/PrinterBackend.h"

#include <QBuffer>
#include <QByteArray>
#include <QByteArrayList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>

struct BackendOutcome
{
    int status = -1;
    QByteArray output;
    QByteArray messages;
};

class BackendFixture : public ::testing::Test
{
protected:
    // Runs with the data on standard input.
    BackendOutcome run(const QByteArrayList &arguments, const QByteArray &input = {});
    BackendOutcome run(
        const QByteArrayList &arguments, QIODevice &input,
        std::function<bool()> isCancelled = [] { return false; });

    // How later runs stage the PDF: as the file system allows, or always at a hidden name.
    void useStaging(PdfStaging staging) { m_staging = staging; }

    QString root() const { return m_root->path(); }
    // Moves on to a new, empty spool root.
    void useFreshRoot() { m_root = std::make_unique<QTemporaryDir>(); }
    QString pdfFolder() const { return root() + QStringLiteral("/pdf_out"); }
    QString databaseFolder() const { return root() + QStringLiteral("/db"); }
    QString databasePath() const { return databaseFolder() + QStringLiteral("/print_job.db"); }
    QString pdfPath(qint64 jobId) const
    {
        return QStringLiteral("%1/%2.pdf").arg(pdfFolder()).arg(jobId);
    }

    // The row's columns by name (null QVariant for NULL); nullopt when there is no such row or
    // no readable table.
    std::optional<QMap<QString, QVariant>> row(qint64 jobId) const;

    // The standard arguments of a job with the given options, data on standard input.
    static QByteArrayList jobArguments(qint64 jobId, const QByteArray &options,
                                       const QByteArray &title = "report.pdf",
                                       const QByteArray &copies = "1");

    static unsigned modeOf(const QString &path);
    // Every entry of the folder, hidden ones included.
    static QStringList folderEntries(const QString &folder);

    static const QByteArray kPdf;

private:
    std::unique_ptr<QTemporaryDir> m_root = std::make_unique<QTemporaryDir>();
    PdfStaging m_staging = PdfStaging::Unnamed;
};
