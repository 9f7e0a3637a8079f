#pragma once

// A sender that streams a file to an FTP data stream in 32768-byte pieces and tells its delegate
// how the sending ended. Its entry, uploadFTP(), starts nothing (it opens no stream and keeps no
// delegate), so no transfer ever begins through the shared instance; handleEvent() is what the
// streams' events run once a sender has streams. It runs on the thread that drives the events;
// the delegate is called from handleEvent() when the sending stops.

#include <QIODevice>
#include <QString>

#include <array>
#include <memory>

class UploadFileHandleDelegate
{
public:
    virtual ~UploadFileHandleDelegate() = default;
    // state 1: sent, message the stored file name; state 0: failed, message the reason.
    virtual void uploadState(int state, const QString &message) = 0;
};

class UploadFileHandle
{
public:
    static constexpr qint64 kBufferSize = 32768;

    enum class StreamEvent {
        None,
        OpenCompleted,
        HasBytesAvailable,
        HasSpaceAvailable,
        ErrorOccurred,
        EndEncountered,
    };

    static UploadFileHandle &sharedInstance();

    UploadFileHandle(std::unique_ptr<QIODevice> fileStream,
                     std::unique_ptr<QIODevice> networkStream,
                     std::weak_ptr<UploadFileHandleDelegate> delegate);

    void uploadFTP(const QString &filePath, UploadFileHandleDelegate *delegate);

    void handleEvent(StreamEvent event);

    QString FTPFileSize;
    QString GUIDName;
    QString saveFileName;
    QString fileName;

private:
    UploadFileHandle() = default;

    void sendSomeBytes();
    // A null status means the whole file was sent.
    void stopSendWithStatus(const QString &status);
    void sendDidStopWithStatus(const QString &status);

    std::array<char, kBufferSize> m_buffer{};
    std::weak_ptr<UploadFileHandleDelegate> m_delegate;
    std::unique_ptr<QIODevice> m_networkStream;
    std::unique_ptr<QIODevice> m_fileStream;
    quint64 m_bufferOffset = 0;
    quint64 m_bufferLimit = 0;
};
