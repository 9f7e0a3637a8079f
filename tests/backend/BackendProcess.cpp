#include "BackendProcess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <fcntl.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <thread>
#include <vector>

extern char **environ;

namespace {

using namespace std::chrono_literals;

constexpr auto kExitPoll = 20ms;
// The spool root's parent is a tmpfs of the namespace's own, and the root the test's folder.
constexpr auto kMountScript = "mount -t tmpfs tmpfs /var/spool && mkdir /var/spool/vqmprinter && "
                              "mount --bind \"$1\" /var/spool/vqmprinter && shift && exec \"$@\"";

} // namespace

QString BackendProcess::unavailableReason()
{
    if (::geteuid() != 0)
        return QStringLiteral("needs root for a mount namespace of its own");
    for (const char *tool : {"unshare", "mount"}) {
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
            return QStringLiteral("%1 not found").arg(QLatin1String(tool));
    }
    return {};
}

BackendProcess::BackendProcess(const QString &spoolRoot, const QByteArrayList &arguments,
                               const QString &messagesPath)
{
    // The program may end while the test still writes: a failed write, not a killed test.
    std::signal(SIGPIPE, SIG_IGN);
    int pipeEnds[2] = {-1, -1};
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0)
        return;
    const FileDescriptor reading(pipeEnds[0]);
    m_input.reset(pipeEnds[1]);
    const FileDescriptor messages(::open(QFile::encodeName(messagesPath).constData(),
                                         O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!messages.valid())
        return;

    QByteArrayList command{"unshare",      "--mount", "--propagation",
                           "private",      "sh",      "-c",
                           kMountScript,   "sh",      QFile::encodeName(spoolRoot),
                           VQMPRINTER_PATH};
    command += arguments;
    std::vector<char *> argv;
    for (QByteArray &argument : command)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, reading.get(), STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, messages.get(), STDERR_FILENO);
    if (::posix_spawnp(&m_pid, argv.front(), &actions, nullptr, argv.data(), environ) != 0)
        m_pid = -1;
    posix_spawn_file_actions_destroy(&actions);
}

BackendProcess::~BackendProcess()
{
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
}

qsizetype BackendProcess::writeSome(const QByteArray &data)
{
    const int flags = ::fcntl(m_input.get(), F_GETFL);
    ::fcntl(m_input.get(), F_SETFL, flags | O_NONBLOCK);
    const ssize_t written = ::write(m_input.get(), data.constData(), data.size());
    ::fcntl(m_input.get(), F_SETFL, flags);
    return std::max<ssize_t>(written, 0);
}

qsizetype BackendProcess::unread() const
{
    int count = 0;
    return ::ioctl(m_input.get(), FIONREAD, &count) == 0 ? count : -1;
}

void BackendProcess::closeInput()
{
    m_input.reset();
}

QList<qint64> BackendProcess::stagedSizes(const QString &pdfFolder) const
{
    QList<qint64> sizes;
    struct stat folder = {};
    if (m_pid <= 0 || ::stat(QFile::encodeName(pdfFolder).constData(), &folder) != 0)
        return sizes;
    const QString descriptors = QStringLiteral("/proc/%1/fd").arg(m_pid);
    for (const QString &name :
         QDir(descriptors).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        struct stat file = {};
        if (::stat(QFile::encodeName(descriptors + u'/' + name).constData(), &file) == 0 &&
            S_ISREG(file.st_mode) && file.st_nlink == 0 && file.st_dev == folder.st_dev)
            sizes << file.st_size;
    }
    for (const QFileInfo &partial :
         QDir(pdfFolder).entryInfoList({QStringLiteral(".*.partial")}, QDir::Files | QDir::Hidden))
        sizes << partial.size();
    std::sort(sizes.begin(), sizes.end());
    return sizes;
}

qint64 BackendProcess::stagedSize(const QString &pdfFolder) const
{
    const QList<qint64> sizes = stagedSizes(pdfFolder);
    return sizes.size() == 1 ? sizes.first() : -1;
}

void BackendProcess::terminate()
{
    if (m_pid > 0)
        ::kill(m_pid, SIGTERM);
}

std::optional<int> BackendProcess::waitForExit(std::chrono::milliseconds limit)
{
    if (m_pid <= 0)
        return std::nullopt;
    for (auto waited = 0ms;; waited += kExitPoll) {
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            return status;
        }
        if (waited >= limit)
            break;
        std::this_thread::sleep_for(kExitPoll);
    }
    return std::nullopt;
}
