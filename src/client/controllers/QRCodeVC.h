#pragma once

// The view of the QR-login sub-window: one QR code of the URL that a mobile device opens to
// confirm the login at the service. The URL carries a request key made here (the MD5 of a fixed
// salt and the time text), the time text of the moment the view is made, and the push channel's
// code, through which the service then pushes the login result to this client. The code is drawn
// into a kImageSize square of pure black and white, one sharp block of pixels per module.
//
// Main thread. Everything is made in the constructor; a new view makes a new code.

#include <QImage>
#include <QSize>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>

class QLabel;

namespace qrcodegen {
class QrCode;
}

class QRCodeVC : public QWidget
{
    Q_OBJECT

public:
    static constexpr auto kKeySalt = "~#!$$!#~";
    static constexpr auto kLoginUrlFormat =
        "http://%1/ferrolux/mobile/index.php?act=index&op=scanlogin&DalvemorKeys=%2&date=%3"
        "&type=1&code=%4";
    static constexpr int kImageSize = 140;
    // The view shows the image at its own size, pixel for pixel.
    static constexpr QSize kViewSize{kImageSize, kImageSize};
    // White modules around the code, which readers need to find it.
    static constexpr int kQuietZoneModules = 2;

    using TimeText = std::function<QString()>;

    // serviceIP goes into the URL as it stands; currentTimes gives the "YYYYMMddHHmmss" text.
    QRCodeVC(QString serviceIP, QString qrCodeIndentify, const TimeText &currentTimes,
             QWidget *parent = nullptr);
    QRCodeVC(QString serviceIP, QString qrCodeIndentify, QWidget *parent = nullptr);

    QLabel *QrImageV() const { return m_QrImageV; }
    QString qrCodeIndentify() const { return m_qrCodeIndentify; }
    // What the code encodes.
    QString qrLoginUrl() const { return m_qrLoginUrl; }
    // Null when the URL is too long for any QR code.
    QImage qrCodeImage() const { return m_qrCodeImage; }

    // The upper-case MD5 hex of the salt followed by the time text.
    static QString requestKey(const QString &date);
    // The template filled in order, with the values as they stand.
    static QString loginUrl(const QString &serviceIP, const QString &key, const QString &date,
                            const QString &code);
    // The code (with its quiet zone) scaled without interpolation into a size by size image of
    // black and white pixels; a null image when there is no code or the size is not positive.
    static QImage createNonInterpolatedImage(const std::optional<qrcodegen::QrCode> &code,
                                             int size);
    // The source cropped around its centre to the target's aspect ratio, then drawn into an
    // image of the target size. A null image when either has no area.
    static QImage resizeImage(const QImage &image, const QSize &size);

private:
    void createQrCodeImage(const TimeText &currentTimes);

    QLabel *m_QrImageV = nullptr;
    QString m_serviceIP;
    QString m_qrCodeIndentify;
    QString m_qrLoginUrl;
    QImage m_qrCodeImage;
};
