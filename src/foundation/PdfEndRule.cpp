#include "PdfEndRule.h"

#include "SharedFolderFiles.h"

#include <QByteArray>
#include <QStringDecoder>

#include <unistd.h>

#include <cerrno>

Result<bool> PdfEndRule::isMetBy(int descriptor, qint64 end)
{
    if (end <= kTailLength)
        return false;
    QByteArray tail(kTailLength, Qt::Uninitialized);
    ssize_t count = 0;
    do {
        count = ::pread(descriptor, tail.data(), size_t(kTailLength), off_t(end - kTailLength));
    } while (count < 0 && errno == EINTR);
    if (count < 0)
        return SharedFolderFiles::systemError(QStringLiteral("cannot read the PDF's end"), errno);
    if (count != kTailLength)
        return false;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(tail);
    return !decoder.hasError() && text.contains(kEndMarker);
}
