// vqmprinter: the CUPS backend of the Tarvello queue.

#include "PrinterBackend.h"

#include "foundation/SpoolLayout.h"

#include <QByteArrayList>
#include <QFile>

#include <csignal>

namespace {

volatile std::sig_atomic_t cancelled = 0;

void onTerminate(int)
{
    cancelled = 1;
}

} // namespace

int main(int argc, char **argv)
{
    // CUPS sends SIGTERM when the job is cancelled; the copy stops and leaves nothing behind.
    struct sigaction action = {};
    action.sa_handler = onTerminate;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    QFile input;
    QFile output;
    QFile messages;
    input.open(stdin, QIODevice::ReadOnly);
    output.open(stdout, QIODevice::WriteOnly | QIODevice::Unbuffered);
    messages.open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered);

    QByteArrayList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QByteArray(argv[i]));

    PrinterBackend backend(QString::fromLatin1(SpoolLayout::kRoot), {input, output, messages},
                           [] { return cancelled != 0; });
    return backend.run(arguments);
}
