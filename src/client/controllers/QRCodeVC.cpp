#include "QRCodeVC.h"

#include "foundation/BaseTools.h"
#include "foundation/TextHelpers/Md5.h"
#include "foundation/logging/Log.h"

#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QVBoxLayout>

#include <qrcodegen.hpp>

#include <cmath>
#include <vector>

namespace {

constexpr uchar kBlack = 0;
constexpr uchar kWhite = 255;

// The readers' default correction level.
constexpr auto kCorrectionLevel = qrcodegen::QrCode::Ecc::MEDIUM;

std::optional<qrcodegen::QrCode> encode(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    const std::vector<std::uint8_t> data(bytes.begin(), bytes.end());
    try {
        return qrcodegen::QrCode::encodeBinary(data, kCorrectionLevel);
    } catch (const qrcodegen::data_too_long &tooLong) {
        Log::client(QStringLiteral("!!QR code not made, %1 bytes: %2")
                        .arg(bytes.size())
                        .arg(QString::fromUtf8(tooLong.what())));
        return std::nullopt;
    }
}

} // namespace

QRCodeVC::QRCodeVC(QString serviceIP, QString qrCodeIndentify, const TimeText &currentTimes,
                   QWidget *parent)
    : QWidget(parent)
    , m_serviceIP(std::move(serviceIP))
    , m_qrCodeIndentify(std::move(qrCodeIndentify))
{
    resize(kViewSize);
    m_QrImageV = new QLabel(this);
    // Stretched to the view, whatever its size.
    m_QrImageV->setScaledContents(true);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_QrImageV);
    createQrCodeImage(currentTimes);
}

QRCodeVC::QRCodeVC(QString serviceIP, QString qrCodeIndentify, QWidget *parent)
    : QRCodeVC(
          std::move(serviceIP), std::move(qrCodeIndentify),
          [] { return BaseTools::getCurrentTimes(); }, parent)
{}

QString QRCodeVC::requestKey(const QString &date)
{
    return Md5::MD5ForUpper32Bate(QString::fromLatin1(kKeySalt) + date);
}

QString QRCodeVC::loginUrl(const QString &serviceIP, const QString &key, const QString &date,
                           const QString &code)
{
    // One pass over the template: a "%" in a value is never taken for a place holder.
    return QString::fromLatin1(kLoginUrlFormat).arg(serviceIP, key, date, code);
}

void QRCodeVC::createQrCodeImage(const TimeText &currentTimes)
{
    // The same moment goes into the key and into the URL's date.
    const QString date = currentTimes();
    const QString key = requestKey(date);
    const QString url = loginUrl(m_serviceIP, key, date, m_qrCodeIndentify);
    qInfo("%s", qUtf8Printable(url));

    m_qrLoginUrl = url;
    const std::optional<qrcodegen::QrCode> code = encode(url);
    m_qrCodeImage = createNonInterpolatedImage(code, kImageSize);
    m_QrImageV->setPixmap(QPixmap::fromImage(m_qrCodeImage));
}

QImage QRCodeVC::createNonInterpolatedImage(const std::optional<qrcodegen::QrCode> &code, int size)
{
    if (!code || size <= 0)
        return QImage();
    const int modules = code->getSize() + 2 * kQuietZoneModules;
    QImage image(size, size, QImage::Format_Grayscale8);
    // Each pixel takes the module it lies in: sharp blocks, never a blend of two modules.
    for (int y = 0; y < size; ++y) {
        uchar *line = image.scanLine(y);
        const int row = y * modules / size - kQuietZoneModules;
        for (int x = 0; x < size; ++x) {
            const int column = x * modules / size - kQuietZoneModules;
            // getModule() is false outside the code, so the quiet zone comes out white.
            line[x] = code->getModule(column, row) ? kBlack : kWhite;
        }
    }
    return image;
}

QImage QRCodeVC::resizeImage(const QImage &image, const QSize &size)
{
    if (image.isNull() || size.isEmpty())
        return QImage();
    const float targetWidth = float(size.width());
    const float targetHeight = float(size.height());
    const float sourceWidth = float(image.width());
    const float sourceHeight = float(image.height());
    const float widthRatio = targetWidth / sourceWidth;
    const float heightRatio = targetHeight / sourceHeight;

    QSizeF crop;
    if (heightRatio >= widthRatio)
        crop = QSizeF(std::floor(targetWidth / heightRatio), sourceHeight);
    else
        crop = QSizeF(sourceWidth, std::floor(targetHeight / widthRatio));
    const QPointF origin(std::floor((sourceWidth - crop.width()) / 2),
                         std::floor((sourceHeight - crop.height()) / 2));

    QImage result(size, QImage::Format_ARGB32_Premultiplied);
    result.fill(Qt::transparent);
    QPainter painter(&result);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRectF(QPointF(0, 0), QSizeF(size)), image, QRectF(origin, crop));
    painter.end();
    return result;
}
