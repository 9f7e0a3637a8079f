#pragma once

// Reads the backend's own job files through their descriptors, a block at a time, and knows the
// PDF white space that may lie around a PDF's markers. The job file may be large, so nothing here
// reads a file as a whole. Plain functions, any thread.

#include "foundation/Error.h"

#include <QByteArray>
#include <QtGlobal>

#include <functional>

class DescriptorBytes
{
public:
    static constexpr qint64 kBlockSize = 64 * 1024;

    // Exactly the bytes asked for; a file that ends before them gives an error, as the job's file
    // is the backend's own and does not shrink on its own.
    static Result<QByteArray> readAt(int descriptor, qint64 offset, qint64 length);

    // The file's size, as fstat gives it.
    static Result<qint64> sizeOf(int descriptor);

    // The offset just after the last byte in [from, end) that is not blank; `from` when all are.
    // Ends with cancelled() once isCancelled says so, checked before each block.
    static Result<qint64> endOfContent(int descriptor, qint64 from, qint64 end,
                                       const std::function<bool()> &isCancelled);

    // The error of a step that stopped because the job was cancelled.
    static Error cancelled();

    // PDF white space, NUL among it (some producers pad with NUL bytes).
    static bool isBlank(char byte);
};
