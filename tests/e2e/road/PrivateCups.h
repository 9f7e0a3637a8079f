#pragma once

// A cupsd of the print road's own: its configuration, state, spool and logs live in one folder
// and it listens on a local socket there only, so the machine's CUPS is never touched. Its CUPS
// clients (lpadmin, lp, lpstat) reach it through CUPS_SERVER. It runs the installed backends of
// the machine's CUPS server folder. Main thread only.

#include "ManagedProcess.h"

#include "foundation/Error.h"

#include <QList>
#include <QProcessEnvironment>
#include <QString>

#include <chrono>

class PrivateCups
{
public:
    static constexpr auto kQueue = "Tarvello";

    struct PrintRequest
    {
        QString file;
        QString title;
        int copies = 1;
        QString media = QStringLiteral("A4");
    };

    explicit PrivateCups(QString folder);

    // Starts cupsd and waits until it answers.
    Result<Done> start(std::chrono::milliseconds limit);
    void stop();

    // Sets the queue up with the given script (scripts/add-printer) and PPD.
    Result<Done> addQueue(const QString &addPrinterScript, const QString &ppd) const;
    // Prints every request at once, one lp each; the CUPS request ids ("Tarvello-7"), in order.
    Result<QStringList> print(const QList<PrintRequest> &requests) const;

    QProcessEnvironment clientEnvironment() const;
    QString socketPath() const;
    QString errorLogTail() const;

private:
    Result<Done> writeConfiguration() const;
    bool answers() const;
    QString path(const QString &name) const;

    QString m_folder;
    ManagedProcess m_daemon;
};
