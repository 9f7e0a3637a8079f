#include "PushStreamAssembler.h"

#include "NetPackModel.h"
#include "YMSocketUtils.h"

#include "foundation/logging/Log.h"

#include <algorithm>

namespace {

constexpr qsizetype kBodySizeBytes = 4;

} // namespace

QList<QByteArray> PushStreamAssembler::append(const QByteArray &bytes)
{
    m_buffer.append(bytes);
    QList<QByteArray> packets;
    qsizetype start = 0;
    const auto takeLastCountedByte = [&] {
        if (start < m_buffer.size()) {
            ++start;
            m_lastCountedByteDue = false;
        }
    };
    if (m_lastCountedByteDue)
        takeLastCountedByte();
    while (m_buffer.size() - start >= NetPackModel::kHeaderSize) {
        const quint32 bodySize =
            YMSocketUtils::uint32FromBytes(m_buffer.mid(start, kBodySizeBytes));
        if (bodySize > kMaxBodySize) {
            Log::client(QStringLiteral("!!push packet body size %1 above %2, %3 bytes dropped")
                            .arg(bodySize)
                            .arg(kMaxBodySize)
                            .arg(m_buffer.size() - start));
            reset();
            return packets;
        }
        const qsizetype length = std::max(NetPackModel::kHeaderSize,
                                          NetPackModel::kHeaderSize - 1 + qsizetype(bodySize));
        if (m_buffer.size() - start < length)
            break;
        packets.append(m_buffer.mid(start, length));
        start += length;
        // A packet of the header alone counts no byte beyond it.
        m_lastCountedByteDue = bodySize > 0;
        if (m_lastCountedByteDue)
            takeLastCountedByte();
    }
    m_buffer.remove(0, start);
    return packets;
}

void PushStreamAssembler::reset()
{
    m_buffer.clear();
    m_lastCountedByteDue = false;
}
