#include "StderrCapture.h"

#include <QFile>

#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

StderrCapture::StderrCapture()
    : m_path(m_dir.filePath(QStringLiteral("stderr.txt")))
{
    std::fflush(stderr);
    const int file = ::open(QFile::encodeName(m_path).constData(),
                            O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (file < 0)
        return;
    m_saved = ::dup(STDERR_FILENO);
    if (m_saved >= 0 && ::dup2(file, STDERR_FILENO) < 0) {
        ::close(m_saved);
        m_saved = -1;
    }
    ::close(file);
}

StderrCapture::~StderrCapture()
{
    if (m_saved < 0)
        return;
    std::fflush(stderr);
    ::dup2(m_saved, STDERR_FILENO);
    ::close(m_saved);
}

QString StderrCapture::text() const
{
    std::fflush(stderr);
    QFile file(m_path);
    return file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll()) : QString();
}
