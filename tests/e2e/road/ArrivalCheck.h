#pragma once

// Whether a printed document arrived whole at the printing service. The queue's filters make a
// new PDF of what was printed (pdftopdf applies the print options), the backend publishes it in
// the spool folder and the monitor hands that file on as it is. So a document arrived whole when
// the file the service's FTP server stored is, byte for byte, the PDF the backend published for
// its job, and that PDF has the pages the print should give, each showing the texts of the printed
// pages laid out on it. The end-to-end tests and the benchmark judge arrival by it.

#include "foundation/Error.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace ArrivalCheck {

// The texts one page that reaches the service shows, in reading order (none: any text).
using PageTexts = QStringList;

// Done, or what differs.
Result<Done> verify(const QString &storedFile, const QString &publishedFile,
                    const QList<PageTexts> &expectedPages);

// The pages a printed PDF gives when each page that reaches the service shows the printed pages
// listed for it (numbered from 1): {{2}, {3}} for the range 2-3, {{1, 2}, {3}} for two pages per
// sheet of three.
Result<QList<PageTexts>> pagesOf(const QString &printedPdf, const QList<QList<int>> &layout);
// Every page of the printed PDF as it stands.
Result<QList<PageTexts>> pagesOf(const QString &printedPdf);

} // namespace ArrivalCheck
