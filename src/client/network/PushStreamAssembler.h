#pragma once

// Cuts the push channel's byte stream into whole packets, whatever way TCP splits or joins them.
// It keeps the bytes read so far: fewer than a header wait for more; a packet is complete once
// NetPackModel::kHeaderSize - 1 + body size bytes are there (all that the decoder reads). The
// last byte that the body size counts (the server's zero terminator, the decoder leaves it out)
// is consumed whatever its value once it has arrived, in this read or at the start of the next,
// and the next packet is framed after it. A body size of 0 makes a packet of the header alone.
// A body size above kMaxBodySize marks a broken stream: everything kept is dropped, with a log
// line.
// Owned by the push channel; main thread only.

#include <QByteArray>
#include <QList>

class PushStreamAssembler
{
public:
    static constexpr quint32 kMaxBodySize = 64 * 1024;

    // The packets that the bytes complete, in stream order, each as the bytes to decode.
    QList<QByteArray> append(const QByteArray &bytes);

    // Bytes kept for a packet not yet complete.
    qsizetype pendingSize() const { return m_buffer.size(); }
    void reset();

private:
    QByteArray m_buffer;
    bool m_lastCountedByteDue = false;
};
