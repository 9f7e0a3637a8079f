#include "RangeInputSource.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <system_error>

namespace {

// As much as qpdf's own file input reads at a time when it looks for a line end.
constexpr size_t kLineEndSearchBlock = 10240;

bool isLineEnd(char byte)
{
    return byte == '\r' || byte == '\n';
}

} // namespace

RangeInputSource::RangeInputSource(int descriptor, DocumentRange range, std::string name)
    : m_descriptor(descriptor)
    , m_range(range)
    , m_name(std::move(name))
{}

qpdf_offset_t RangeInputSource::findAndSkipNextEOL()
{
    char block[kLineEndSearchBlock];
    for (;;) {
        const qpdf_offset_t blockStart = tell();
        const size_t length = read(block, sizeof block);
        if (length == 0)
            return tell();
        const char *lineEnd = std::find_if(block, block + length, isLineEnd);
        if (lineEnd == block + length)
            continue;
        const qpdf_offset_t found = blockStart + (lineEnd - block);
        // Past every line-end byte that follows, as qpdf's own inputs do.
        seek(found, SEEK_SET);
        char byte = 0;
        while (read(&byte, 1) == 1) {
            if (!isLineEnd(byte)) {
                unreadCh(byte);
                break;
            }
        }
        return found;
    }
}

std::string const &RangeInputSource::getName() const
{
    return m_name;
}

qpdf_offset_t RangeInputSource::tell()
{
    return m_position;
}

void RangeInputSource::seek(qpdf_offset_t offset, int whence)
{
    const qpdf_offset_t base = whence == SEEK_CUR   ? m_position
                               : whence == SEEK_END ? m_range.length()
                                                    : 0;
    // Offsets come from the document (a stream's /Length); a position past the end reads nothing,
    // however far past it lies.
    qpdf_offset_t target = 0;
    if (__builtin_add_overflow(base, offset, &target))
        target = std::numeric_limits<qpdf_offset_t>::max();
    if (target < 0)
        throw std::logic_error(m_name + ": seek before the start of the document");
    m_position = target;
}

void RangeInputSource::rewind()
{
    m_position = 0;
}

size_t RangeInputSource::read(char *buffer, size_t length)
{
    last_offset = m_position;
    const qpdf_offset_t left = std::max<qpdf_offset_t>(0, m_range.length() - m_position);
    const size_t wanted = std::min<size_t>(length, size_t(left));
    size_t done = 0;
    while (done < wanted) {
        const ssize_t count = ::pread(m_descriptor, buffer + done, wanted - done,
                                      off_t(m_range.start + m_position + qpdf_offset_t(done)));
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            throw std::system_error(errno, std::generic_category(), m_name);
        if (count == 0)
            break;
        done += size_t(count);
    }
    m_position += qpdf_offset_t(done);
    return done;
}

void RangeInputSource::unreadCh(char)
{
    if (m_position > 0)
        --m_position;
}
