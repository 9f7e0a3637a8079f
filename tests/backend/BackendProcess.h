#pragma once

// The built vqmprinter program run as CUPS runs it: its job's data on a real pipe whose writing
// end the test holds, its messages in a file. The program writes to the fixed spool root; it runs
// in a mount namespace of its own where that root is the given folder, so the machine's spool is
// never touched. Needs root (the namespace); available() says whether it can run. Lives on the
// test's thread; every wait is bounded.

#include "foundation/SharedFolderFiles.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QList>
#include <QString>

#include <chrono>
#include <optional>

#include <sys/types.h>

class BackendProcess
{
public:
    // Empty when the program can be run here; otherwise why not.
    static QString unavailableReason();

    // Starts the program on the job's arguments with root as its spool root.
    BackendProcess(const QString &spoolRoot, const QByteArrayList &arguments,
                   const QString &messagesPath);
    ~BackendProcess();
    BackendProcess(const BackendProcess &) = delete;
    BackendProcess &operator=(const BackendProcess &) = delete;

    bool started() const { return m_pid > 0; }

    // Writes what the pipe takes at once, without waiting; the count written (0 when it is full
    // or the program has stopped reading).
    qsizetype writeSome(const QByteArray &data);
    // The bytes written that the program has not read yet.
    qsizetype unread() const;
    void closeInput();
    void terminate();

    // The sizes of the PDFs the program stages in the folder, smallest first: files without a
    // name that it holds open, or, where the file system has no unnamed files, its hidden
    // partial files.
    QList<qint64> stagedSizes(const QString &pdfFolder) const;
    // The size of the one PDF it stages; -1 while there is none (or more than one).
    qint64 stagedSize(const QString &pdfFolder) const;

    // The program's wait status once it has ended within the limit; nullopt while it runs.
    std::optional<int> waitForExit(std::chrono::milliseconds limit);

private:
    pid_t m_pid = -1;
    FileDescriptor m_input;
};
