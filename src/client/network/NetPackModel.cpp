#include "NetPackModel.h"

#include "YMSocketUtils.h"

#include <QStringDecoder>

#include <algorithm>

namespace {

constexpr qsizetype kWordSize = 4;
constexpr qsizetype kBodySizeOffset = 0;
constexpr qsizetype kMainCmdOffset = 4;
constexpr qsizetype kSubCmdOffset = 8;

quint32 wordAt(const QByteArray &data, qsizetype offset)
{
    return YMSocketUtils::uint32FromBytes(data.mid(offset, kWordSize));
}

// Null unless the bytes are valid UTF-8.
QString strictUtf8(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder(bytes);
    if (decoder.hasError())
        return {};
    // An empty run still gives a text, if an empty one.
    return text.isNull() ? QStringLiteral("") : text;
}

} // namespace

QByteArray NetPackModel::modelToData(quint32 mainCmd, quint32 subCmd, const QString &context)
{
    NetPackModel packet;
    packet.mainCmd = mainCmd;
    packet.subCmd = subCmd;
    packet.content = context;
    packet.indentify = kIndentify;
    packet.packMask = kPackMask;
    packet.reserve = 0;
    // The body as it is written: the padded block, or the whole text when that is longer.
    packet.packBodySize = quint32(std::max(kTextBlockSize, context.toUtf8().size()));
    return packet.requestSpliceAttribute();
}

NetPackModel NetPackModel::dataToModel(const QByteArray &data)
{
    NetPackModel packet;
    if (data.size() < kHeaderSize)
        return packet;
    packet.packBodySize = wordAt(data, kBodySizeOffset);
    packet.mainCmd = wordAt(data, kMainCmdOffset);
    packet.subCmd = wordAt(data, kSubCmdOffset);
    // The last byte the body size counts is the text's terminator.
    const qsizetype available = data.size() - kHeaderSize;
    if (available > 0 && packet.packBodySize >= 1 && packet.packBodySize - 1 <= quint64(available))
        packet.content =
            strictUtf8(QByteArrayView(data).sliced(kHeaderSize, packet.packBodySize - 1));
    return packet;
}
