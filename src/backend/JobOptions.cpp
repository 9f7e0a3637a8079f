#include "JobOptions.h"

#include <cups/cups.h>

#include <QStringList>

#include <initializer_list>
#include <optional>

namespace {

struct Keyword
{
    const char *value;
    int code;
};

using KeywordTable = std::initializer_list<Keyword>;

// orientation-requested values
constexpr auto kOrientationPortrait = "3";
constexpr auto kOrientationLandscape = "4";
constexpr auto kOrientationReverseLandscape = "5";
constexpr auto kOrientationReversePortrait = "6";

class ParsedOptions
{
public:
    explicit ParsedOptions(const QByteArray &text)
    {
        m_count = cupsParseOptions(text.constData(), 0, &m_options);
    }
    ~ParsedOptions() { cupsFreeOptions(m_count, m_options); }
    ParsedOptions(const ParsedOptions &) = delete;
    ParsedOptions &operator=(const ParsedOptions &) = delete;

    // The option's value, null when the option is absent.
    QString value(const char *name) const
    {
        const char *found = cupsGetOption(name, m_count, m_options);
        return found ? QString::fromUtf8(found) : QString();
    }

    // The code of the first of the options whose value the table knows.
    std::optional<int>
    code(std::initializer_list<std::pair<const char *, KeywordTable>> lookups) const
    {
        for (const auto &[name, table] : lookups) {
            const QString given = value(name);
            if (given.isNull())
                continue;
            for (const Keyword &keyword : table) {
                if (given.compare(QLatin1String(keyword.value), Qt::CaseInsensitive) == 0)
                    return keyword.code;
            }
        }
        return std::nullopt;
    }

private:
    int m_count = 0;
    cups_option_t *m_options = nullptr;
};

const KeywordTable kOrientationRequested{
    {kOrientationPortrait, JobOptions::kPortrait},
    {kOrientationLandscape, JobOptions::kLandscape},
    {kOrientationReverseLandscape, JobOptions::kLandscape},
    {kOrientationReversePortrait, JobOptions::kPortrait},
};
// "landscape" alone reads as true, "nolandscape" as false.
const KeywordTable kLandscapeFlag{
    {"true", JobOptions::kLandscape}, {"yes", JobOptions::kLandscape},
    {"on", JobOptions::kLandscape},   {"false", JobOptions::kPortrait},
    {"no", JobOptions::kPortrait},    {"off", JobOptions::kPortrait},
};
const KeywordTable kDuplexChoice{
    {"None", JobOptions::kOneSided},
    {"DuplexNoTumble", JobOptions::kLongEdge},
    {"DuplexTumble", JobOptions::kShortEdge},
};
const KeywordTable kSides{
    {"one-sided", JobOptions::kOneSided},
    {"two-sided-long-edge", JobOptions::kLongEdge},
    {"two-sided-short-edge", JobOptions::kShortEdge},
};
const KeywordTable kColorModel{
    {"Gray", JobOptions::kMonochrome},  {"Grayscale", JobOptions::kMonochrome},
    {"Mono", JobOptions::kMonochrome},  {"Monochrome", JobOptions::kMonochrome},
    {"Black", JobOptions::kMonochrome}, {"RGB", JobOptions::kColour},
    {"CMYK", JobOptions::kColour},      {"Color", JobOptions::kColour},
};
const KeywordTable kPrintColorMode{
    {"monochrome", JobOptions::kMonochrome},
    {"auto-monochrome", JobOptions::kMonochrome},
    {"process-monochrome", JobOptions::kMonochrome},
    {"bi-level", JobOptions::kMonochrome},
    {"color", JobOptions::kColour},
};

// A media value may list a size together with a source or type ("A4,tray1").
std::optional<PaperSize> findPaper(const ParsedOptions &options)
{
    for (const char *name : {"PageSize", "media"}) {
        const QStringList parts = options.value(name).split(QLatin1Char(','), Qt::SkipEmptyParts);
        for (const QString &part : parts) {
            if (const auto paper = PaperSizeTable::find(part.trimmed()))
                return paper;
        }
    }
    return std::nullopt;
}

} // namespace

JobOptions JobOptions::fromCupsOptions(const QByteArray &optionText)
{
    const ParsedOptions options(optionText);
    JobOptions result;
    result.orientation =
        options
            .code({{"orientation-requested", kOrientationRequested}, {"landscape", kLandscapeFlag}})
            .value_or(result.orientation);
    result.duplex =
        options.code({{"Duplex", kDuplexChoice}, {"sides", kSides}}).value_or(result.duplex);
    result.color =
        options.code({{"ColorModel", kColorModel}, {"print-color-mode", kPrintColorMode}})
            .value_or(result.color);
    result.paper = findPaper(options).value_or(result.paper);
    return result;
}
