#include "PaperSizeTable.h"

#include <array>

namespace {

struct Entry
{
    int code;
    const char *name;
    const char *pwgName;
    const char *ippName;
};

constexpr std::array kEntries{
    Entry{1, "Letter", "na_letter_8.5x11in", "na-letter"},
    Entry{5, "Legal", "na_legal_8.5x14in", "na-legal"},
    Entry{7, "Executive", "na_executive_7.25x10.5in", "executive"},
    Entry{6, "Statement", "na_invoice_5.5x8.5in", "invoice"},
    Entry{3, "Tabloid", "na_ledger_11x17in", "tabloid"},
    Entry{8, "A3", "iso_a3_297x420mm", "iso-a3"},
    Entry{9, "A4", "iso_a4_210x297mm", "iso-a4"},
    Entry{11, "A5", "iso_a5_148x210mm", "iso-a5"},
    Entry{70, "A6", "iso_a6_105x148mm", "iso-a6"},
    Entry{12, "B4", "jis_b4_257x364mm", "jis-b4"},
    Entry{13, "B5", "jis_b5_182x257mm", "jis-b5"},
    Entry{20, "Env10", "na_number-10_4.125x9.5in", "na-number-10-envelope"},
    Entry{27, "EnvDL", "iso_dl_110x220mm", "iso-designated-long-envelope"},
    Entry{28, "EnvC5", "iso_c5_162x229mm", "iso-c5-envelope"},
    Entry{37, "EnvMonarch", "na_monarch_3.875x7.5in", "monarch-envelope"},
    Entry{43, "Postcard", "jpn_hagaki_100x148mm", "jpn-hagaki"},
};

PaperSize toSize(const Entry &entry)
{
    return PaperSize{entry.code, QString::fromLatin1(entry.name)};
}

} // namespace

PaperSize PaperSizeTable::defaultSize()
{
    return *find(QStringLiteral("A4"));
}

std::optional<PaperSize> PaperSizeTable::find(const QString &mediaName)
{
    for (const Entry &entry : kEntries) {
        for (const char *known : {entry.name, entry.pwgName, entry.ippName}) {
            if (mediaName.compare(QLatin1String(known), Qt::CaseInsensitive) == 0)
                return toSize(entry);
        }
    }
    return std::nullopt;
}

QList<PaperSize> PaperSizeTable::all()
{
    QList<PaperSize> sizes;
    for (const Entry &entry : kEntries)
        sizes.append(toSize(entry));
    return sizes;
}
