// The reassembly of the push channel's byte stream, whatever the server sends and however TCP
// splits it into reads.
//
// The input is split into a stream and the sizes of the reads it arrives in. Properties:
// - no crash and no read beyond the input;
// - bounded memory whatever size fields arrive: after every read the assembler keeps less than a
//   header plus the largest body it accepts;
// - every packet it hands on is whole: a header and exactly the body bytes its size counts, with
//   a body size it accepts, and it decodes to a content of that size when the text is valid;
// - on a stream it does not have to drop (no size field above the limit), the packets do not
//   depend on how the stream was split: they are those of the whole stream in one read, and
//   together with the kept bytes and the last byte that each packet's body size counts (taken
//   whatever its value; only the last packet's may not have arrived yet) they account for every
//   byte.

#include "FuzzSupport.h"

#include "client/network/NetPackModel.h"
#include "client/network/PushStreamAssembler.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <vector>

namespace {

constexpr int kMaxReads = 16;
constexpr size_t kMaxReadSize = 512;
constexpr qsizetype kMaxKept = NetPackModel::kHeaderSize + PushStreamAssembler::kMaxBodySize;

quint32 bodySizeOf(const QByteArray &packet)
{
    return NetPackModel::dataToModel(packet.left(NetPackModel::kHeaderSize)).packBodySize;
}

void checkPacket(const QByteArray &packet)
{
    FuzzSupport::require(packet.size() >= NetPackModel::kHeaderSize, "a packet has its header");
    const quint32 bodySize = bodySizeOf(packet);
    FuzzSupport::require(bodySize <= PushStreamAssembler::kMaxBodySize,
                         "a packet's body size is accepted");
    FuzzSupport::require(
        packet.size() == std::max<qsizetype>(NetPackModel::kHeaderSize,
                                             NetPackModel::kHeaderSize - 1 + qsizetype(bodySize)),
        "a packet holds exactly what its body size counts");
    const NetPackModel decoded = NetPackModel::dataToModel(packet);
    if (!decoded.content.isNull())
        FuzzSupport::require(decoded.content.toUtf8().size() == qsizetype(bodySize) - 1,
                             "a whole packet's content has its full size");
}

// The packets of the reads, checking the kept bytes after each.
QList<QByteArray> assemble(PushStreamAssembler &assembler, const QList<QByteArray> &reads)
{
    QList<QByteArray> packets;
    for (const QByteArray &read : reads) {
        packets += assembler.append(read);
        FuzzSupport::require(assembler.pendingSize() < kMaxKept, "kept bytes stay bounded");
    }
    return packets;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    FuzzSupport::initialize(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const int readCount = input.ConsumeIntegralInRange(1, kMaxReads);
    std::vector<size_t> readSizes;
    for (int i = 0; i < readCount - 1; ++i)
        readSizes.push_back(input.ConsumeIntegralInRange<size_t>(0, kMaxReadSize));
    const std::string stream = input.ConsumeRemainingBytesAsString();
    const QByteArray whole(stream.data(), qsizetype(stream.size()));

    QList<QByteArray> reads;
    qsizetype at = 0;
    for (const size_t readSize : readSizes) {
        reads.append(whole.mid(at, qsizetype(readSize)));
        at = std::min(whole.size(), at + qsizetype(readSize));
    }
    reads.append(whole.mid(at));

    const quint64 statementsBefore = FuzzSupport::loggedStatements();
    PushStreamAssembler inOneRead;
    const QList<QByteArray> reference = assemble(inOneRead, {whole});
    // The assembler logs only when it drops a broken stream.
    const bool dropped = FuzzSupport::loggedStatements() != statementsBefore;

    PushStreamAssembler split;
    const QList<QByteArray> packets = assemble(split, reads);
    for (const QByteArray &packet : packets)
        checkPacket(packet);
    if (dropped)
        return 0;

    FuzzSupport::require(packets == reference && split.pendingSize() == inOneRead.pendingSize(),
                         "the packets do not depend on how the stream was split");
    qsizetype packetBytes = 0;
    qsizetype countingPackets = 0; // those whose body size counts a byte beyond them
    for (const QByteArray &packet : reference) {
        packetBytes += packet.size();
        countingPackets += bodySizeOf(packet) > 0 ? 1 : 0;
    }
    const qsizetype lastCountedBytes = whole.size() - packetBytes - inOneRead.pendingSize();
    const bool lastOneDue =
        !reference.isEmpty() && bodySizeOf(reference.last()) > 0 && inOneRead.pendingSize() == 0;
    FuzzSupport::require(lastCountedBytes == countingPackets ||
                             (lastOneDue && lastCountedBytes == countingPackets - 1),
                         "every byte is a packet's, its last counted byte or kept");
    return 0;
}
