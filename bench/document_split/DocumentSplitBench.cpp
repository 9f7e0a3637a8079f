// Time and peak memory of the print backend's splitter (DocumentBoundaries::find on the job's
// file descriptor) on a plain 50 MB PDF and on 50 MB of end markers and headers, a candidate
// boundary every 15 bytes, set against each other in the same run (goal: at most 20 times the
// plain PDF's time); and on the other jobs a user may send to make it slow or large: 100,000 tiny
// PDFs, and 2000 small PDFs before a broken header and 10 MB of NUL bytes (goal: each decided
// within 3 s and 400 MB). Each run is a child process of its own, so that its peak resident
// memory is its own (getrusage of the child); the full run takes the fastest of three. The short
// run uses a tenth of the sizes and runs each once.

#include "BenchReport.h"

#include "backend/DocumentBoundaries.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <limits>
#include <optional>
#include <utility>

namespace {

constexpr qint64 kMebibyte = 1024 * 1024;
constexpr double kKibibytesPerMebibyte = 1024;
constexpr double kNanosecondsPerMillisecond = 1e6;

struct Plan
{
    qint64 largeBytes;
    int tinyPdfs;
    int smallPdfs;
    qint64 nulBytes;
    int runs;
};
constexpr Plan kFullPlan{50 * kMebibyte, 100000, 2000, 10 * kMebibyte, 3};
constexpr int kShortDivisor = 10;
constexpr Plan kShortPlan{kFullPlan.largeBytes / kShortDivisor, kFullPlan.tinyPdfs / kShortDivisor,
                          kFullPlan.smallPdfs / kShortDivisor, kFullPlan.nulBytes / kShortDivisor,
                          1};

constexpr double kCandidateRatioGoal = 20;
constexpr double kHostileTimeGoalMs = 3000;
constexpr double kHostileMemoryGoalMebibytes = 400;

constexpr QByteArrayView kCandidates("%%EOF\n%PDF-1.4\n");
constexpr QByteArrayView kHeaderLine("%PDF-1.4\n");
constexpr QByteArrayView kBrokenHeader("%PDF-broken");
constexpr qint64 kWriteBlock = 4 * kMebibyte;
// The stream data of the plain PDF: bytes like compressed data, from a fixed generator.
constexpr quint32 kGeneratorMultiplier = 1664525;
constexpr quint32 kGeneratorIncrement = 1013904223;
constexpr int kGeneratorShift = 24;

// A one-page PDF whose page content is a stream of the given length, with a cross-reference table
// giving each object's offset.
QByteArray pdfWithStream(const QByteArray &streamData)
{
    const QByteArrayList bodies{
        "<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Contents 4 0 R >>",
        "<< /Length " + QByteArray::number(streamData.size()) + " >>\nstream\n" + streamData +
            "\nendstream"};
    QByteArray pdf = kHeaderLine.toByteArray();
    QList<qsizetype> offsets;
    for (qsizetype i = 0; i < bodies.size(); ++i) {
        offsets << pdf.size();
        pdf += QByteArray::number(i + 1) + " 0 obj\n" + bodies.at(i) + "\nendobj\n";
    }
    const qsizetype xref = pdf.size();
    pdf += "xref\n0 " + QByteArray::number(bodies.size() + 1) + "\n0000000000 65535 f \n";
    for (const qsizetype offset : offsets)
        pdf += QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
    pdf += "trailer\n<< /Size " + QByteArray::number(bodies.size() + 1) +
           " /Root 1 0 R >>\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
    return pdf;
}

QByteArray generatedBytes(qint64 length)
{
    QByteArray bytes(length, Qt::Uninitialized);
    quint32 state = 1;
    for (char &byte : bytes) {
        state = state * kGeneratorMultiplier + kGeneratorIncrement;
        byte = char(state >> kGeneratorShift);
    }
    return bytes;
}

// Writes the pieces, each repeated as often as given, one after the other.
struct Piece
{
    QByteArray bytes;
    qint64 times = 1;
};

bool writeJob(const QString &path, const QList<Piece> &pieces)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    for (const Piece &piece : pieces) {
        const qint64 perBlock =
            std::max<qint64>(1, kWriteBlock / std::max<qint64>(1, piece.bytes.size()));
        for (qint64 written = 0; written < piece.times;) {
            const qint64 count = std::min(perBlock, piece.times - written);
            if (file.write(piece.bytes.repeated(count)) != piece.bytes.size() * count)
                return false;
            written += count;
        }
    }
    return file.flush();
}

struct Measure
{
    double milliseconds = std::numeric_limits<double>::max();
    double peakMebibytes = 0;
    bool decided = true;
};

// Runs the splitter on the job in a child process; nothing when the child could not run.
std::optional<Measure> splitOnce(const QString &path)
{
    const QByteArray encoded = QFile::encodeName(path);
    QElapsedTimer timer;
    timer.start();
    const pid_t child = fork();
    if (child < 0)
        return std::nullopt;
    if (child == 0) {
        const int job = open(encoded.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        const Result<QList<DocumentRange>> found =
            job < 0 ? Result<QList<DocumentRange>>(Error{})
                    : DocumentBoundaries::find(job, 0, [] { return false; });
        // Decided: documents found, or the job refused with its reason.
        _exit(found || found.error().domain == QLatin1String("vqmprinter.document") ? 0 : 1);
    }
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child)
        return std::nullopt;
    Measure measure;
    measure.milliseconds = double(timer.nsecsElapsed()) / kNanosecondsPerMillisecond;
    measure.peakMebibytes = double(usage.ru_maxrss) / kKibibytesPerMebibyte;
    measure.decided = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return measure;
}

// The fastest of the runs, with the highest peak among them.
std::optional<Measure> split(const QString &path, int runs)
{
    Measure best;
    for (int run = 0; run < runs; ++run) {
        const std::optional<Measure> measure = splitOnce(path);
        if (!measure)
            return std::nullopt;
        best.milliseconds = std::min(best.milliseconds, measure->milliseconds);
        best.peakMebibytes = std::max(best.peakMebibytes, measure->peakMebibytes);
        best.decided = best.decided && measure->decided;
    }
    return best;
}

class SplitBench
{
public:
    SplitBench(BenchReport &report, const Plan &plan)
        : m_report(report)
        , m_plan(plan)
    {}

    bool ready() const { return m_folder.isValid(); }

    // Writes the job, then reports the splitter's time (and peak memory where asked) on it.
    std::optional<Measure> measure(const QString &name, QList<Piece> pieces, bool memory)
    {
        const QString path = m_folder.filePath(name);
        const bool written = writeJob(path, pieces);
        // The child that splits would count what this process holds among its own memory.
        pieces.clear();
        if (!written) {
            m_report.goal(false, QStringLiteral("cannot write the job ") + name);
            return std::nullopt;
        }
        const std::optional<Measure> measured = split(path, m_plan.runs);
        QFile::remove(path);
        if (!measured || !measured->decided) {
            m_report.goal(false, QStringLiteral("the splitter did not decide ") + name);
            return std::nullopt;
        }
        m_report.figure(QStringLiteral("split_%1").arg(name), measured->milliseconds, "ms", 1);
        if (memory)
            m_report.figure(QStringLiteral("split_%1_peak_rss").arg(name), measured->peakMebibytes,
                            "MiB", 1);
        return measured;
    }

    // A job a user may send to slow the backend down: decided within the time and memory goals.
    void hostile(const QString &name, QList<Piece> pieces)
    {
        const std::optional<Measure> measured = measure(name, std::move(pieces), true);
        m_report.goal(measured && measured->milliseconds <= kHostileTimeGoalMs &&
                          measured->peakMebibytes <= kHostileMemoryGoalMebibytes,
                      QStringLiteral("split_") + name);
    }

private:
    BenchReport &m_report;
    const Plan &m_plan;
    QTemporaryDir m_folder;
};

int run(const Plan &plan)
{
    BenchReport report;
    SplitBench bench(report, plan);
    if (!bench.ready())
        return BenchReport::abandon(QStringLiteral("cannot make a temporary folder"));
    const QString size = QStringLiteral("%1mb").arg(plan.largeBytes / kMebibyte);

    const std::optional<Measure> plain =
        bench.measure(QStringLiteral("plain_pdf_") + size,
                      {{pdfWithStream(generatedBytes(plan.largeBytes))}}, false);
    const QString candidatesName = QStringLiteral("end_markers_and_headers_") + size;
    const std::optional<Measure> candidates =
        bench.measure(candidatesName,
                      {{kHeaderLine.toByteArray()},
                       {kCandidates.toByteArray(), plan.largeBytes / kCandidates.size()}},
                      true);
    if (plain && candidates) {
        const double ratio = candidates->milliseconds / std::max(plain->milliseconds, 1e-3);
        report.figure(QStringLiteral("split_%1_vs_plain_pdf").arg(candidatesName), ratio, "x", 2);
        report.goal(ratio <= kCandidateRatioGoal, candidatesName + QStringLiteral("_vs_plain_pdf"));
        report.goal(candidates->milliseconds <= kHostileTimeGoalMs &&
                        candidates->peakMebibytes <= kHostileMemoryGoalMebibytes,
                    QStringLiteral("split_") + candidatesName);
    }

    const QByteArray tinyPdf = pdfWithStream({});
    bench.hostile(QStringLiteral("%1_tiny_pdfs").arg(plan.tinyPdfs), {{tinyPdf, plan.tinyPdfs}});
    bench.hostile(QStringLiteral("%1_small_pdfs_broken_header_nul_tail").arg(plan.smallPdfs),
                  {{tinyPdf, plan.smallPdfs},
                   {kBrokenHeader.toByteArray()},
                   {QByteArray(1, '\0'), plan.nulBytes}});
    return report.finish();
}

} // namespace

int main(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const std::optional<BenchReport::Length> length = BenchReport::lengthOf(arguments);
    if (!length)
        return BenchReport::kExitUsage;
    return run(*length == BenchReport::Length::Short ? kShortPlan : kFullPlan);
}
