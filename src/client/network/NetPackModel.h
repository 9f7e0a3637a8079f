#pragma once

// One packet of the push channel: a 20-byte header of little-endian unsigned integers followed by
// the body text. The property declarations below are the wire format (order and widths); declare
// nothing else here, since every property declared goes on the wire. A plain value; any thread.
//
//   offset  size  field
//   0       4     packBodySize  bytes of body the packet counts (for the text and its terminator)
//   4       4     mainCmd
//   8       4     subCmd
//   12      2     indentify     kIndentify when sent
//   14      2     packMask      kPackMask when sent
//   16      4     reserve       0
//   20      ...   content       UTF-8, zero-padded to 50 bytes when sent

#include "BaseSocketModel.h"

#include <QByteArray>
#include <QString>

class NetPackModel : public BaseSocketModel
{
    Q_GADGET
    Q_PROPERTY(quint32 packBodySize MEMBER packBodySize)
    Q_PROPERTY(quint32 mainCmd MEMBER mainCmd)
    Q_PROPERTY(quint32 subCmd MEMBER subCmd)
    Q_PROPERTY(quint16 indentify MEMBER indentify)
    Q_PROPERTY(quint16 packMask MEMBER packMask)
    Q_PROPERTY(quint32 reserve MEMBER reserve)
    Q_PROPERTY(QString content MEMBER content)

public:
    static constexpr qsizetype kHeaderSize = 20;
    static constexpr quint16 kIndentify = 32165;
    static constexpr quint16 kPackMask = 1;
    // The client's subscription of its QR-login code, and the server's QR-login result.
    static constexpr quint32 kMainCmdSubscribe = 4127;
    static constexpr quint32 kMainCmdQrLoginResult = 4525;

    quint32 packBodySize = 0;
    quint32 mainCmd = 0;
    quint32 subCmd = 0;
    quint16 indentify = 0;
    quint16 packMask = 0;
    quint32 reserve = 0;
    QString content;

    // The encoded packet for the command and content (a null content sends an empty text).
    static QByteArray modelToData(quint32 mainCmd, quint32 subCmd, const QString &context);

    // The packet that the bytes begin with. Fewer than kHeaderSize bytes give an empty packet
    // (all numbers 0, no content). The content is the UTF-8 text of the packBodySize - 1 bytes
    // after the header; there is none when those bytes are not all there, when the body size is
    // 0, or when they are not valid UTF-8. Bytes after the packet are ignored, and nothing beyond
    // the given bytes is ever read.
    static NetPackModel dataToModel(const QByteArray &data);

protected:
    const QMetaObject &recordMetaObject() const override { return staticMetaObject; }
};
