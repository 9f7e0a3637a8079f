#include "DescriptorPipeline.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>
#include <system_error>

DescriptorPipeline::DescriptorPipeline(int descriptor, std::function<bool()> isCancelled)
    : Pipeline("job PDF", nullptr)
    , m_descriptor(descriptor)
    , m_isCancelled(std::move(isCancelled))
{
    m_block.reserve(kBlockSize);
}

void DescriptorPipeline::write(unsigned char const *data, size_t length)
{
    // qpdf may still write and finish while it unwinds from the failure, where a second throw
    // would end the program.
    if (m_errorNumber != 0 || m_cancelled)
        return;
    const char *bytes = reinterpret_cast<const char *>(data);
    while (length > 0) {
        const size_t part = std::min(length, size_t(kBlockSize - m_block.size()));
        m_block.append(bytes, qsizetype(part));
        bytes += part;
        length -= part;
        if (m_block.size() < kBlockSize)
            continue;
        if (m_isCancelled()) {
            m_cancelled = true;
            m_block.resize(0);
            throw std::runtime_error(getIdentifier() + ": the job was cancelled");
        }
        if (!flush())
            throw std::system_error(m_errorNumber, std::generic_category(), getIdentifier());
    }
}

void DescriptorPipeline::finish()
{
    // qpdf finishes its pipelines from destructors, where a throw would end the program; the
    // writer asks failed() once qpdf is done.
    flush();
}

bool DescriptorPipeline::flush()
{
    if (m_errorNumber != 0 || m_cancelled)
        return false;
    qsizetype done = 0;
    while (done < m_block.size()) {
        const ssize_t count =
            ::write(m_descriptor, m_block.constData() + done, size_t(m_block.size() - done));
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0) {
            m_errorNumber = errno;
            m_block.resize(0);
            return false;
        }
        done += count;
    }
    m_block.resize(0);
    return true;
}
