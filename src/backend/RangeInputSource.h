#pragma once

// qpdf's input for one document of a job's file: the bytes of a DocumentRange read through the
// file's descriptor, which qpdf sees as a file of their own (offset 0 is the document's first
// byte, where its cross-reference offsets count from). Reads with pread, so documents of the same
// file share the descriptor and nothing is read before qpdf asks for it. Does not own the
// descriptor. Used on the thread that runs qpdf.

#include "DocumentRange.h"

#include <qpdf/InputSource.hh>

#include <string>

class RangeInputSource : public InputSource
{
public:
    RangeInputSource(int descriptor, DocumentRange range, std::string name);

    qpdf_offset_t findAndSkipNextEOL() override;
    std::string const &getName() const override;
    qpdf_offset_t tell() override;
    void seek(qpdf_offset_t offset, int whence) override;
    void rewind() override;
    size_t read(char *buffer, size_t length) override;
    void unreadCh(char ch) override;

private:
    int m_descriptor;
    DocumentRange m_range;
    std::string m_name;
    qpdf_offset_t m_position = 0;
};
