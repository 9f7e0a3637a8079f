#pragma once

// A job's data read straight from a descriptor (standard input, or the job file CUPS names), so
// that an interrupted read and the end of the data are ours to handle: a read that a signal
// interrupts is retried unless the job was cancelled, and a wait for data that never comes ends
// within kCancelCheckInterval of a cancel (C streams keep an error state after EINTR, and a loop
// over them never sees the data end). Does not own the descriptor. Runs on the calling thread;
// the cancel check is polled while it waits.

#include <QIODevice>

#include <chrono>
#include <functional>

class CancellableInput : public QIODevice
{
public:
    // How long a wait for data goes before the cancel check is made again; it bounds a cancel
    // that comes just before the wait begins.
    static constexpr std::chrono::milliseconds kCancelCheckInterval{200};

    CancellableInput(int descriptor, std::function<bool()> isCancelled);

    bool isSequential() const override { return true; }

protected:
    // 0 at the end of the data; -1 on a read error or a cancel, with the reason as errorString().
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    qint64 failed(const QString &reason);

    int m_descriptor;
    std::function<bool()> m_isCancelled;
};
