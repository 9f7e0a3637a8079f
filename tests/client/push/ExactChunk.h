#pragma once

// Bytes in a heap block of exactly their own size, seen through a QByteArray that does not own
// them: a read one byte past the end leaves the block, which the sanitizer build reports (an
// ordinary QByteArray keeps a terminating zero byte and often spare room after its data).

#include <QByteArray>

#include <memory>

class ExactChunk
{
public:
    explicit ExactChunk(const QByteArray &bytes)
        : m_block(std::make_unique<char[]>(size_t(std::max<qsizetype>(bytes.size(), 1))))
    {
        std::copy(bytes.cbegin(), bytes.cend(), m_block.get());
        m_view = QByteArray::fromRawData(m_block.get(), bytes.size());
    }

    const QByteArray &bytes() const { return m_view; }

private:
    std::unique_ptr<char[]> m_block;
    QByteArray m_view;
};
