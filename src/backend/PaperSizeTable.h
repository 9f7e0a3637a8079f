#pragma once

// The paper sizes the queue offers, each with the print-dialog paper code that the rest of the
// system passes on unchanged (the DMPAPER numbering) and the names CUPS may give it. Constant
// data, any thread.

#include <QList>
#include <QString>

#include <optional>

struct PaperSize
{
    int code;
    QString name; // the queue's own name, recorded as the row's paper name

    bool operator==(const PaperSize &) const = default;
};

class PaperSizeTable
{
public:
    // A4 unless the job asks for another size.
    static PaperSize defaultSize();

    // The size a media or PageSize value names: the queue's name (as in its PPD), the standard
    // self-describing name (iso_a4_210x297mm) or the older IPP name (iso-a4), in any case.
    static std::optional<PaperSize> find(const QString &mediaName);

    // Every size, in the order the queue lists them.
    static QList<PaperSize> all();
};
