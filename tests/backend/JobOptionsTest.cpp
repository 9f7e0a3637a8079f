#include "backend/JobOptions.h"

#include <gtest/gtest.h>

namespace {

struct OptionCase
{
    const char *options;
    int orientation;
    int duplex;
    int color;
    int paperCode;
    const char *paperName;
};

void PrintTo(const OptionCase &c, std::ostream *out)
{
    *out << '"' << c.options << '"';
}

class JobOptionsTest : public ::testing::TestWithParam<OptionCase>
{};

TEST_P(JobOptionsTest, readsThePrintDialogCodes)
{
    const OptionCase &expected = GetParam();
    const JobOptions options = JobOptions::fromCupsOptions(expected.options);
    EXPECT_EQ(options.orientation, expected.orientation);
    EXPECT_EQ(options.duplex, expected.duplex);
    EXPECT_EQ(options.color, expected.color);
    EXPECT_EQ(options.paper.code, expected.paperCode);
    EXPECT_EQ(options.paper.name, QString::fromLatin1(expected.paperName));
}

INSTANTIATE_TEST_SUITE_P(
    CupsOptionTexts, JobOptionsTest,
    ::testing::Values(
        // Nothing chosen: the queue's defaults.
        OptionCase{"", 1, 1, 1, 9, "A4"},
        OptionCase{"job-uuid=urn:uuid:0 finishings=3 number-up=1", 1, 1, 1, 9, "A4"},
        // Orientation.
        OptionCase{"orientation-requested=3", 1, 1, 1, 9, "A4"},
        OptionCase{"orientation-requested=4", 2, 1, 1, 9, "A4"},
        OptionCase{"orientation-requested=5", 2, 1, 1, 9, "A4"},
        OptionCase{"orientation-requested=6", 1, 1, 1, 9, "A4"},
        OptionCase{"landscape", 2, 1, 1, 9, "A4"}, OptionCase{"nolandscape", 1, 1, 1, 9, "A4"},
        OptionCase{"landscape orientation-requested=3", 1, 1, 1, 9, "A4"},
        OptionCase{"orientation-requested=9", 1, 1, 1, 9, "A4"},
        // Duplex, the queue's own option winning over the attribute CUPS derives it from.
        OptionCase{"sides=one-sided", 1, 1, 1, 9, "A4"},
        OptionCase{"sides=two-sided-long-edge", 1, 2, 1, 9, "A4"},
        OptionCase{"sides=two-sided-short-edge", 1, 3, 1, 9, "A4"},
        OptionCase{"Duplex=DuplexNoTumble", 1, 2, 1, 9, "A4"},
        OptionCase{"Duplex=DuplexTumble", 1, 3, 1, 9, "A4"},
        OptionCase{"Duplex=None sides=two-sided-long-edge", 1, 1, 1, 9, "A4"},
        OptionCase{"sides=sideways", 1, 1, 1, 9, "A4"},
        // Colour.
        OptionCase{"print-color-mode=color", 1, 1, 2, 9, "A4"},
        OptionCase{"print-color-mode=monochrome", 1, 1, 1, 9, "A4"},
        OptionCase{"ColorModel=RGB", 1, 1, 2, 9, "A4"},
        OptionCase{"ColorModel=Gray print-color-mode=color", 1, 1, 1, 9, "A4"},
        OptionCase{"colormodel=rgb", 1, 1, 2, 9, "A4"},
        // Paper, by the queue's name, the standard name or the older IPP name, in any case.
        OptionCase{"media=Letter", 1, 1, 1, 1, "Letter"},
        OptionCase{"media=na_legal_8.5x14in", 1, 1, 1, 5, "Legal"},
        OptionCase{"PageSize=A3", 1, 1, 1, 8, "A3"}, OptionCase{"media=iso-a5", 1, 1, 1, 11, "A5"},
        OptionCase{"media=a4", 1, 1, 1, 9, "A4"}, OptionCase{"media=B4", 1, 1, 1, 12, "B4"},
        OptionCase{"media=jis_b5_182x257mm", 1, 1, 1, 13, "B5"},
        OptionCase{"media=Executive", 1, 1, 1, 7, "Executive"},
        OptionCase{"media=na_ledger_11x17in", 1, 1, 1, 3, "Tabloid"},
        OptionCase{"media=iso_dl_110x220mm", 1, 1, 1, 27, "EnvDL"},
        OptionCase{"media=tray-1,Letter", 1, 1, 1, 1, "Letter"},
        OptionCase{"PageSize=Legal media=iso_a4_210x297mm", 1, 1, 1, 5, "Legal"},
        OptionCase{"PageSize=Bogus media=A6", 1, 1, 1, 70, "A6"},
        OptionCase{"media=Custom.100x200mm", 1, 1, 1, 9, "A4"},
        // Quoted values and everything together.
        OptionCase{"job-name='a b' media=A5", 1, 1, 1, 11, "A5"},
        OptionCase{"media=Letter sides=two-sided-short-edge print-color-mode=color "
                   "orientation-requested=4",
                   2, 3, 2, 1, "Letter"}));

} // namespace
