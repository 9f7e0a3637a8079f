#include "PingTester.h"

#include "client/tools/Ping.h"

#include <chrono>

namespace {

constexpr char16_t LastAsciiCharacter = 0x7F;

double wallClockMilliseconds()
{
    using namespace std::chrono;
    return duration<double, std::milli>(system_clock::now().time_since_epoch()).count();
}

bool isAscii(const QString &text)
{
    for (const QChar character : text) {
        if (character.unicode() > LastAsciiCharacter)
            return false;
    }
    return true;
}

} // namespace

PingTester &PingTester::sharedTester()
{
    static PingTester *const instance = new PingTester();
    return *instance;
}

double PingTester::Ping(const QString &address, int timeout)
{
    if (!isAscii(address))
        return 0.0;
    const QByteArray ascii = address.toLatin1();
    const double before = wallClockMilliseconds();
    const int answered = ::Ping(ascii.constData(), timeout);
    const double after = wallClockMilliseconds();
    return answered == 1 ? after - before : 0.0;
}
