// The decoder of one push-channel packet, fed whatever the push server (or anyone on the path)
// sends, and the encoder of the client's own packets.
//
// Properties, checked on every input:
// - no crash and no read beyond the input (the input is libFuzzer's own buffer, not a copy);
// - fewer than 20 bytes give the empty packet: every number 0 and no content;
// - the header fields are the little-endian words at offsets 0, 4 and 8;
// - a content is only ever the strict UTF-8 text of the body-size - 1 bytes after the header,
//   and there is one whenever those bytes are there and valid;
// - a packet the client encodes (content below the 50-byte block) decodes to its command,
//   sub-command and content, and is cut from a stream as exactly one packet.

#include "FuzzSupport.h"

#include "client/network/NetPackModel.h"
#include "client/network/PushStreamAssembler.h"

#include <QStringDecoder>

#include <cstring>
#include <fuzzer/FuzzedDataProvider.h>

namespace {

constexpr qsizetype kBodySizeOffset = 0;
constexpr qsizetype kMainCmdOffset = 4;
constexpr qsizetype kSubCmdOffset = 8;
constexpr qsizetype kWordSize = 4;

quint32 littleEndianWord(const uint8_t *bytes)
{
    quint32 value = 0;
    for (qsizetype i = kWordSize - 1; i >= 0; --i)
        value = (value << 8) | bytes[i];
    return value;
}

bool isValidUtf8(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString ignored = decoder(bytes);
    Q_UNUSED(ignored);
    return !decoder.hasError();
}

void checkDecoding(const uint8_t *data, size_t size)
{
    const NetPackModel packet = NetPackModel::dataToModel(FuzzSupport::rawBytes(data, size));
    const auto header = qsizetype(NetPackModel::kHeaderSize);
    if (qsizetype(size) < header) {
        FuzzSupport::require(packet.packBodySize == 0 && packet.mainCmd == 0 &&
                                 packet.subCmd == 0 && packet.content.isNull(),
                             "a short chunk gives the empty packet");
        return;
    }
    FuzzSupport::require(packet.packBodySize == littleEndianWord(data + kBodySizeOffset) &&
                             packet.mainCmd == littleEndianWord(data + kMainCmdOffset) &&
                             packet.subCmd == littleEndianWord(data + kSubCmdOffset),
                         "header fields are the little-endian words");
    FuzzSupport::require(packet.indentify == 0 && packet.packMask == 0 && packet.reserve == 0,
                         "fields the decoder does not read stay 0");

    const qsizetype available = qsizetype(size) - header;
    const bool bodyThere = available > 0 && packet.packBodySize >= 1 &&
                           qint64(packet.packBodySize) - 1 <= qint64(available);
    if (!bodyThere) {
        FuzzSupport::require(packet.content.isNull(), "no content without the whole body");
        return;
    }
    const QByteArrayView text(reinterpret_cast<const char *>(data) + header,
                              qsizetype(packet.packBodySize) - 1);
    if (isValidUtf8(text))
        FuzzSupport::require(!packet.content.isNull() && packet.content.toUtf8() == text,
                             "the content is the body text");
    else
        FuzzSupport::require(packet.content.isNull(), "invalid UTF-8 gives no content");
}

void checkEncoding(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const auto mainCmd = input.ConsumeIntegral<quint32>();
    const auto subCmd = input.ConsumeIntegral<quint32>();
    QString content = QString::fromUtf8(input.ConsumeRemainingBytesAsString());
    content.remove(QChar(0));
    const qsizetype textSize = content.toUtf8().size();
    if (textSize >= BaseSocketModel::kTextBlockSize)
        return; // the client never sends more than its 32-character code

    const QByteArray encoded = NetPackModel::modelToData(mainCmd, subCmd, content);
    FuzzSupport::require(encoded.size() ==
                             NetPackModel::kHeaderSize + BaseSocketModel::kTextBlockSize,
                         "a short content is sent in the padded block");
    const NetPackModel decoded = NetPackModel::dataToModel(encoded);
    FuzzSupport::require(decoded.mainCmd == mainCmd && decoded.subCmd == subCmd &&
                             decoded.packBodySize == BaseSocketModel::kTextBlockSize,
                         "an encoded packet decodes to its header");
    FuzzSupport::require(decoded.content.section(QChar(0), 0, 0) == content,
                         "an encoded packet decodes to its content");

    PushStreamAssembler assembler;
    const QList<QByteArray> packets = assembler.append(encoded);
    FuzzSupport::require(packets.size() == 1 && assembler.pendingSize() == 0,
                         "an encoded packet is cut as one packet");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    FuzzSupport::initialize(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    checkDecoding(data, size);
    checkEncoding(data, size);
    return 0;
}
