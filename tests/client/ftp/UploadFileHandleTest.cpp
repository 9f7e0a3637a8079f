#include "client/network/UploadFileHandle.h"

#include <QBuffer>

#include <gtest/gtest.h>

namespace {

struct RecordingDelegate : UploadFileHandleDelegate
{
    void uploadState(int state, const QString &message) override
    {
        states << qMakePair(state, message);
    }
    QList<QPair<int, QString>> states;
};

std::unique_ptr<QBuffer> buffer(const QByteArray &content, QIODevice::OpenMode mode)
{
    auto device = std::make_unique<QBuffer>();
    device->setData(content);
    if (mode != QIODevice::NotOpen) {
        device->open(mode);
    }
    return device;
}

class UploadFileHandleTest : public ::testing::Test
{
protected:
    std::shared_ptr<RecordingDelegate> m_delegate = std::make_shared<RecordingDelegate>();
};

TEST_F(UploadFileHandleTest, SendsTheFileInPiecesAndReportsTheStoredName)
{
    const QByteArray content(3 * UploadFileHandle::kBufferSize + 123, 'p');
    // The sent bytes outlive the stream, which the handle drops when it stops.
    QByteArray sent;
    auto network = std::make_unique<QBuffer>(&sent);
    network->open(QIODevice::WriteOnly);

    UploadFileHandle handle(buffer(content, QIODevice::ReadOnly), std::move(network), m_delegate);
    handle.saveFileName = QStringLiteral("/jobs/A.pdf");
    handle.handleEvent(UploadFileHandle::StreamEvent::OpenCompleted);
    for (int event = 0; event < 10 && m_delegate->states.isEmpty(); ++event) {
        handle.handleEvent(UploadFileHandle::StreamEvent::HasSpaceAvailable);
    }

    EXPECT_EQ(sent, content);
    EXPECT_EQ(m_delegate->states, (QList<QPair<int, QString>>{{1, "/jobs/A.pdf"}}));
}

TEST_F(UploadFileHandleTest, FailuresStopWithTheirStatus)
{
    struct Case
    {
        QIODevice::OpenMode fileMode;
        QIODevice::OpenMode networkMode;
        UploadFileHandle::StreamEvent event;
        const char *status;
    };
    const Case cases[] = {
        {QIODevice::NotOpen, QIODevice::WriteOnly, UploadFileHandle::StreamEvent::HasSpaceAvailable,
         "读取文件错误"},
        {QIODevice::ReadOnly, QIODevice::ReadOnly, UploadFileHandle::StreamEvent::HasSpaceAvailable,
         "网络写入错误"},
        {QIODevice::ReadOnly, QIODevice::WriteOnly, UploadFileHandle::StreamEvent::ErrorOccurred,
         "Stream打开错误"},
        {QIODevice::ReadOnly, QIODevice::WriteOnly, UploadFileHandle::StreamEvent::None,
         "未知错误"},
    };
    for (const Case &c : cases) {
        auto delegate = std::make_shared<RecordingDelegate>();
        UploadFileHandle handle(buffer("data", c.fileMode), buffer({}, c.networkMode), delegate);
        handle.handleEvent(c.event);
        EXPECT_EQ(delegate->states, (QList<QPair<int, QString>>{{0, QString::fromUtf8(c.status)}}))
            << c.status;
    }
}

TEST_F(UploadFileHandleTest, SharedInstanceStartsNoTransfer)
{
    UploadFileHandle::sharedInstance().uploadFTP(QStringLiteral("/tmp/none.pdf"), m_delegate.get());
    EXPECT_TRUE(m_delegate->states.isEmpty());
    EXPECT_EQ(&UploadFileHandle::sharedInstance(), &UploadFileHandle::sharedInstance());
}

} // namespace
