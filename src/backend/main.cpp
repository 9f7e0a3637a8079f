// vqmprinter: the CUPS backend of the Tarvello queue.

#include "CancellableInput.h"
#include "PrinterBackend.h"

#include "foundation/SpoolLayout.h"

#include <QByteArrayList>
#include <QFile>

#include <unistd.h>

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
    // CUPS sends SIGTERM when the job is cancelled or held. Without SA_RESTART a blocked read
    // returns at once, and the copy stops and leaves nothing behind.
    struct sigaction action = {};
    action.sa_handler = onTerminate;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    // The descriptors themselves, not C streams: an interrupted call leaves no sticky error state.
    const auto isCancelled = [] { return cancelled != 0; };
    CancellableInput input(STDIN_FILENO, isCancelled);
    QFile output;
    QFile messages;
    output.open(STDOUT_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered);
    messages.open(STDERR_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered);

    QByteArrayList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QByteArray(argv[i]));

    PrinterBackend backend(QString::fromLatin1(SpoolLayout::kRoot), {input, output, messages},
                           isCancelled);
    return backend.run(arguments);
}
