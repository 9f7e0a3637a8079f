#pragma once

// The end of a qpdf pipeline that writes to a file descriptor, in blocks of its own, so that
// qpdf's many small writes make few system calls. A failed write is kept: failed() tells it from
// a failure to read qpdf's input, and whatever qpdf still writes after it is dropped. write()
// throws on it, as qpdf's own pipelines do; finish() does not (qpdf calls it from destructors),
// so the writer asks failed() once qpdf is done. A cancel is checked before each block is written
// and stops the writing the same way (cancelled()). Does not own the descriptor. Used on the
// thread that runs qpdf.

#include <qpdf/Pipeline.hh>

#include <QByteArray>

#include <functional>

class DescriptorPipeline : public Pipeline
{
public:
    static constexpr qsizetype kBlockSize = 64 * 1024;

    DescriptorPipeline(int descriptor, std::function<bool()> isCancelled);

    void write(unsigned char const *data, size_t length) override;
    void finish() override;

    // The errno of the write that failed, 0 while none has.
    int failed() const { return m_errorNumber; }
    bool cancelled() const { return m_cancelled; }

private:
    // Whether the block reached the file.
    bool flush();

    int m_descriptor;
    std::function<bool()> m_isCancelled;
    QByteArray m_block;
    int m_errorNumber = 0;
    bool m_cancelled = false;
};
