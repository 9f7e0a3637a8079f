#include "ChildProcessStep.h"

#include "CompletePdfCheck.h"
#include "DescriptorBytes.h"

#include "foundation/SharedFolderFiles.h"

#include <QByteArray>
#include <QList>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace {

constexpr char kSeparator = '\n';
constexpr qsizetype kReadBlock = 4096;
// Where the child's result could not be sent.
constexpr int kExitUnsent = 2;

// The error as the child sends it: code, domain, then the description, which may hold anything.
QByteArray encoded(const Error &error)
{
    return QByteArray::number(error.code) + kSeparator + error.domain.toUtf8() + kSeparator +
           error.description.toUtf8();
}

Error decoded(const QByteArray &bytes)
{
    const qsizetype first = bytes.indexOf(kSeparator);
    const qsizetype second = bytes.indexOf(kSeparator, first + 1);
    return Error{QString::fromUtf8(bytes.mid(first + 1, second - first - 1)),
                 bytes.left(first).toInt(), QString::fromUtf8(bytes.mid(second + 1))};
}

bool writeAll(int descriptor, const QByteArray &bytes)
{
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t count = ::write(descriptor, bytes.constData() + done, bytes.size() - done);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return false;
        done += count;
    }
    return true;
}

[[noreturn]] void runChild(const std::function<Result<Done>()> &step, int resultWriter)
{
    const Result<Done> result = step();
    const bool sent = result.ok() || writeAll(resultWriter, encoded(result.error()));
    // No exit handlers: they belong to the parent.
    ::_exit(sent ? EXIT_SUCCESS : kExitUnsent);
}

int reaped(pid_t child)
{
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

} // namespace

Result<Done> ChildProcessStep::run(const std::function<Result<Done>()> &step,
                                   const std::function<bool()> &isCancelled)
{
    int ends[2] = {-1, -1};
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return SharedFolderFiles::systemError(QStringLiteral("cannot start the step"), errno);
    const FileDescriptor reader(ends[0]);
    FileDescriptor writer(ends[1]);
    const pid_t child = ::fork();
    if (child < 0)
        return SharedFolderFiles::systemError(QStringLiteral("cannot start the step"), errno);
    if (child == 0)
        runChild(step, writer.get());
    writer.reset();

    QByteArray sent;
    for (;;) {
        if (isCancelled()) {
            ::kill(child, SIGKILL);
            reaped(child);
            return DescriptorBytes::cancelled();
        }
        pollfd ready = {reader.get(), POLLIN, 0};
        const int waited = ::poll(&ready, 1, int(kCancelCheckInterval.count()));
        if (waited <= 0)
            continue;
        char block[kReadBlock];
        const ssize_t count = ::read(reader.get(), block, sizeof block);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            break;
        sent.append(block, count);
    }
    const int status = reaped(child);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != EXIT_SUCCESS) {
        return CompletePdfCheck::refusal(
            WIFSIGNALED(status) ? QStringLiteral("a document of the job cannot be read (signal %1)")
                                      .arg(WTERMSIG(status))
                                : QStringLiteral("a document of the job cannot be read"));
    }
    if (!sent.isEmpty())
        return decoded(sent);
    return Done{};
}
