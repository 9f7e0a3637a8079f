#include "JFPingManager.h"

#include "client/tools/JFPingServices.h"
#include "foundation/Dispatch.h"

#include <QHash>
#include <QList>

#include <memory>

namespace {

// What a run counts as when a request timed out.
constexpr double TimeoutMilliseconds = 1000.0;

struct FastestAddressSearch
{
    QHash<QString, QList<double>> replyTimes;
    QStringList failedAddresses;
    // Every run, keyed by its place in the list, so that a listed duplicate keeps its own.
    QHash<int, std::shared_ptr<JFPingServices>> runs;
    // Runs not yet ended, plus one while the runs are still being started.
    int waiting = 1;
    JFPingManager::Finished finished;
    JFPingOutput output;
};

QString formatMilliseconds(double milliseconds)
{
    return QString::asprintf("%.2lfms", milliseconds);
}

void chooseFastest(FastestAddressSearch &search)
{
    search.output(QStringLiteral("计算延迟"));
    for (auto entry = search.replyTimes.cbegin(); entry != search.replyTimes.cend(); ++entry) {
        if (entry.value().isEmpty() && !search.failedAddresses.contains(entry.key()))
            search.failedAddresses.append(entry.key());
    }
    for (const QString &address : std::as_const(search.failedAddresses)) {
        search.output(QStringLiteral("移除ping失败的ip: ") + address);
        search.replyTimes.remove(address);
    }
    if (search.replyTimes.isEmpty()) {
        search.finished(QString());
        return;
    }

    QString fastest;
    double fastestAverage = 0.0;
    for (auto entry = search.replyTimes.cbegin(); entry != search.replyTimes.cend(); ++entry) {
        double sum = 0.0;
        for (const double time : entry.value())
            sum += time;
        const double average = sum / double(entry.value().size());
        search.output(entry.key() + QStringLiteral(" 平均延迟:") + formatMilliseconds(average));
        if (fastest.isNull() || average < fastestAverage) {
            fastest = entry.key();
            fastestAverage = average;
        }
    }
    search.output(QStringLiteral("最快的地址是:") + fastest + QStringLiteral(" 平均延迟:") +
                  formatMilliseconds(fastestAverage));
    search.finished(fastest + QLatin1Char('-') + formatMilliseconds(fastestAverage));
}

void endWait(const std::shared_ptr<FastestAddressSearch> &search)
{
    if (--search->waiting == 0)
        dispatchMain([search] { chooseFastest(*search); });
}

void handle(const std::shared_ptr<FastestAddressSearch> &search, const QString &address,
            int runNumber, const JFPingItem &item)
{
    switch (item.status.value_or(JFPingStatus::didStart)) {
    case JFPingStatus::didStart:
    case JFPingStatus::didReceiveUnexpectedPacket:
        return;
    case JFPingStatus::didReceivePacket:
        search->replyTimes[address].append(item.timeMilliseconds.value_or(0.0));
        return;
    case JFPingStatus::didTimeout:
        search->replyTimes[address].append(TimeoutMilliseconds);
        endWait(search);
        return;
    case JFPingStatus::didFailToSendPacket:
    case JFPingStatus::didError:
        search->failedAddresses.append(address);
        endWait(search);
        return;
    case JFPingStatus::didFinished:
        search->output(address + QStringLiteral(" 完成"));
        search->runs.remove(runNumber);
        endWait(search);
        return;
    }
}

} // namespace

void JFPingManager::getFastestAddress(const QStringList &addressList, Finished finished,
                                      JFPingOutput output)
{
    if (addressList.isEmpty()) {
        output(QStringLiteral("ip地址列表不能为空"));
        return;
    }

    auto search = std::make_shared<FastestAddressSearch>();
    search->finished = std::move(finished);
    search->output = output;
    for (const QString &address : addressList)
        search->replyTimes.insert(address, {});

    for (int runNumber = 0; runNumber < addressList.size(); ++runNumber) {
        const QString &address = addressList.at(runNumber);
        ++search->waiting;
        auto run = JFPingServices::start(
            address, PingCount,
            [search, address, runNumber](const JFPingItem &item) {
                handle(search, address, runNumber, item);
            },
            output);
        search->runs.insert(runNumber, std::move(run));
    }
    endWait(search);
}
