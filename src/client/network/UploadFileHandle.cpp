#include "UploadFileHandle.h"

#include <QDebug>

UploadFileHandle &UploadFileHandle::sharedInstance()
{
    static UploadFileHandle *const instance = new UploadFileHandle();
    return *instance;
}

UploadFileHandle::UploadFileHandle(std::unique_ptr<QIODevice> fileStream,
                                   std::unique_ptr<QIODevice> networkStream,
                                   std::weak_ptr<UploadFileHandleDelegate> delegate)
    : m_delegate(std::move(delegate))
    , m_networkStream(std::move(networkStream))
    , m_fileStream(std::move(fileStream))
{}

void UploadFileHandle::uploadFTP(const QString &, UploadFileHandleDelegate *) {}

void UploadFileHandle::handleEvent(StreamEvent event)
{
    switch (event) {
    case StreamEvent::OpenCompleted:
        qInfo("NSStreamEventOpenCompleted");
        return;
    case StreamEvent::HasBytesAvailable:
        qInfo("NSStreamEventHasBytesAvailable");
        return;
    case StreamEvent::HasSpaceAvailable:
        sendSomeBytes();
        return;
    case StreamEvent::ErrorOccurred:
        qInfo("!!Stream打开错误");
        stopSendWithStatus(QStringLiteral("Stream打开错误"));
        return;
    case StreamEvent::EndEncountered:
        return;
    case StreamEvent::None:
        break;
    }
    stopSendWithStatus(QStringLiteral("未知错误"));
}

void UploadFileHandle::sendSomeBytes()
{
    qInfo("NSStreamEventHasSpaceAvailable");
    qInfo("bufferOffset is %lld", static_cast<long long>(m_bufferOffset));
    qInfo("bufferLimit is %llu", static_cast<unsigned long long>(m_bufferLimit));
    if (m_bufferOffset == m_bufferLimit) {
        // Without a file stream there is nothing to read: the end of the file.
        const qint64 read = m_fileStream ? m_fileStream->read(m_buffer.data(), kBufferSize) : 0;
        if (read < 0) {
            qInfo(" !!读取文件错误!");
            stopSendWithStatus(QStringLiteral("读取文件错误"));
        } else if (read == 0) {
            stopSendWithStatus(QString());
        } else {
            m_bufferOffset = 0;
            m_bufferLimit = quint64(read);
        }
    }
    if (m_bufferOffset != m_bufferLimit) {
        const qint64 written = m_networkStream
                                   ? m_networkStream->write(m_buffer.data() + m_bufferOffset,
                                                            qint64(m_bufferLimit - m_bufferOffset))
                                   : -1;
        if (written < 0) {
            qInfo("!!网络写入错误");
            stopSendWithStatus(QStringLiteral("网络写入错误"));
        } else {
            m_bufferOffset += quint64(written);
        }
    }
}

void UploadFileHandle::stopSendWithStatus(const QString &status)
{
    if (m_networkStream) {
        m_networkStream->close();
        m_networkStream.reset();
    }
    if (m_fileStream) {
        m_fileStream->close();
        m_fileStream.reset();
    }
    sendDidStopWithStatus(status);
}

void UploadFileHandle::sendDidStopWithStatus(const QString &status)
{
    const std::shared_ptr<UploadFileHandleDelegate> delegate = m_delegate.lock();
    if (!status.isNull()) {
        if (delegate) {
            delegate->uploadState(0, status);
        }
        return;
    }
    const QString success = QStringLiteral("上传成功");
    qInfo().noquote() << QStringLiteral("  statusString is %1").arg(success);
    qInfo("+++++++ FTP  文件上传成功+++++++");
    if (delegate) {
        delegate->uploadState(1, saveFileName);
    }
}
