#pragma once

// When a spooled PDF counts as complete: its last 7 bytes are text that holds the end marker
// "%%EOF". The monitor hands a job off once its PDF meets the rule; the backend publishes only a
// PDF that meets it. Plain functions, any thread.

#include "foundation/Error.h"

#include <QLatin1StringView>
#include <QtGlobal>

class PdfEndRule
{
public:
    static constexpr QLatin1StringView kEndMarker{"%%EOF"};
    // The end marker must lie within this many bytes from the end of the file.
    static constexpr qint64 kTailLength = 7;

    // Whether the first `end` bytes of the file open on the descriptor meet the rule; an error
    // when the file cannot be read.
    static Result<bool> isMetBy(int descriptor, qint64 end);
};
