#pragma once

#include <QList>
#include <QObject>
#include <QSocketNotifier>

#include <memory>

// Turns SIGTERM/SIGINT (or any given signals) into a Qt signal on the main thread: the handler
// only writes the signal's number into a socket pair, whose read end a QSocketNotifier watches.
// One instance per process.
class SignalWatcher : public QObject
{
    Q_OBJECT

public:
    explicit SignalWatcher(const QList<int> &signalNumbers, QObject *parent = nullptr);
    ~SignalWatcher() override;

signals:
    void signalled(int signalNumber);

private:
    void readSignal();

    std::unique_ptr<QSocketNotifier> m_notifier;
    QList<int> m_signalNumbers;
};
