#pragma once

// The print settings of one job as the rest of the system records them: the print-dialog codes
// for orientation, duplex and colour, and the paper code and name. Read from the CUPS option text
// of the job. Where the queue's own option (Duplex, ColorModel, PageSize) and the standard job
// attribute (sides, print-color-mode, media) are both given, the queue's option wins: CUPS derives
// it from the attribute unless the user chose it. Plain value, any thread.

#include "PaperSizeTable.h"

#include <QByteArray>
#include <QString>

struct JobOptions
{
    static constexpr int kPortrait = 1;
    static constexpr int kLandscape = 2;

    static constexpr int kOneSided = 1;
    static constexpr int kLongEdge = 2;
    static constexpr int kShortEdge = 3;

    static constexpr int kMonochrome = 1;
    static constexpr int kColour = 2;

    // Unset options keep the queue's defaults, which its PPD declares too.
    int orientation = kPortrait;
    int duplex = kOneSided;
    int color = kMonochrome;
    PaperSize paper = PaperSizeTable::defaultSize();

    // Unknown values and options leave the defaults.
    static JobOptions fromCupsOptions(const QByteArray &optionText);
};
