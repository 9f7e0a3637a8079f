// The lenient UTF-8 decoding of arbitrary bytes (shell output, text from outside).
//
// Properties, checked on every input:
// - no crash and no read beyond the input;
// - the repaired data is well formed: valid UTF-8 with no control byte but tab, line feed and
//   carriage return;
// - repairing is idempotent, and data that is already well formed comes back unchanged;
// - each input byte becomes at most three output bytes;
// - the lenient text is never null: it is the strict decoding when the data is valid UTF-8 and
//   the decoding of the repaired data otherwise;
// - the strict decoding agrees with Qt's own strict UTF-8 decoder on what is valid.

#include "FuzzSupport.h"

#include "foundation/TextHelpers/Utf8.h"

#include <QStringDecoder>

#include <algorithm>

namespace {

constexpr qsizetype kReplacementBytes = 3;

bool hasOnlyKeptControlBytes(const QByteArray &data)
{
    return std::all_of(data.cbegin(), data.cend(), [](char c) {
        const auto byte = quint8(c);
        return byte == '\t' || byte == '\n' || byte == '\r' || (byte >= 0x20 && byte != 0x7F);
    });
}

bool isValidForQt(const QByteArray &data)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString ignored = decoder(data);
    Q_UNUSED(ignored);
    return !decoder.hasError();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    FuzzSupport::initialize(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input = FuzzSupport::rawBytes(data, size);

    const QByteArray repaired = Utf8::UTF8Data(input);
    FuzzSupport::require(!Utf8::strictString(repaired).isNull(), "repaired data is valid UTF-8");
    FuzzSupport::require(hasOnlyKeptControlBytes(repaired), "repaired data keeps no control byte");
    FuzzSupport::require(Utf8::UTF8Data(repaired) == repaired, "repairing is idempotent");
    FuzzSupport::require(repaired.size() >= input.size() &&
                             repaired.size() <= kReplacementBytes * input.size(),
                         "each byte becomes one to three bytes");

    const QString strict = Utf8::strictString(input);
    FuzzSupport::require(strict.isNull() != isValidForQt(input),
                         "strict decoding agrees with Qt on validity");
    if (!strict.isNull() && hasOnlyKeptControlBytes(input))
        FuzzSupport::require(repaired == input, "well-formed data comes back unchanged");

    const QString lenient = Utf8::utf8String(input);
    FuzzSupport::require(!lenient.isNull(), "the lenient text is never null");
    FuzzSupport::require(lenient == (strict.isNull() ? QString::fromUtf8(repaired) : strict),
                         "the lenient text is the strict or the repaired decoding");
    return 0;
}
