// A vqmmonitor of its own for the tests of one monitor per machine:
//   monitor_instance <spool root> <record file>
// It starts as vqmmonitor does, on the root's spool folder, log folder and lock file in place of
// the fixed ones. Its hand-off stands in for the real one: it consumes the job's PDF, as the real
// one does, and appends "<pid> <job id>" to the record file. Like vqmmonitor it runs until it is
// stopped (SIGTERM).

#include "foundation/SpoolLayout.h"
#include "monitor/MonitorStartup.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <unistd.h>

namespace {

constexpr int kUsageStatus = 64;

// One write of the whole line, so that the lines of several processes never mix.
void appendLine(const QString &path, const QByteArray &line)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        file.write(line);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 3)
        return kUsageStatus;
    const QDir root(arguments.at(1));
    const QString record = arguments.at(2);

    MonitorStartup::Options options;
    options.spoolFolder = root.filePath(QLatin1String(SpoolLayout::kPdfFolderName));
    options.logFolder = root.filePath(QLatin1String(SpoolLayout::kMonitorLogFolderName));
    options.lockFile = root.filePath(QLatin1String(SpoolLayout::kMonitorLockFileName));
    options.copyFolder = root.filePath(QStringLiteral("copies"));
    options.syslogIdent = QString();
    const QDir spool(options.spoolFolder);
    return MonitorStartup::runProcess(
        options, [spool, record](const CheckedFolder &, const CheckedFolder &) {
            return [spool, record](const QString &jobId) {
                QFile::remove(spool.filePath(jobId + QStringLiteral(".pdf")));
                appendLine(record,
                           QByteArray::number(qint64(::getpid())) + ' ' + jobId.toUtf8() + '\n');
            };
        });
}
