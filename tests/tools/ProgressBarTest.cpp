#include "tools/kwz/ProgressBar.h"

#include <gtest/gtest.h>

#include <ostream>

namespace {

struct LineCase {
    const char* what;
    uint64_t done;
    uint64_t total;
    double seconds;
    const char* line;
};

void PrintTo(const LineCase& c, std::ostream* os)
{
    *os << c.what;
}

class ProgressLineTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(ProgressLineTest, ShowsBarPercentBytesAndRate)
{
    EXPECT_EQ(GetParam().line, ProgressLine("packing", GetParam().done, GetParam().total, GetParam().seconds));
}

const LineCase kLines[] = {
    {"Start", 0, 1000, 0.0, "packing  [........................]    0%  0 B / 1000 B"},
    {"HalfBeforeAnyRate", 512, 1024, 0.1, "packing  [############............]   50%  512 B / 1.0 KiB"},
    {"WithRate", 3 << 20, 6 << 20, 2.0, "packing  [############............]   50%  3.0 MiB / 6.0 MiB  1.5 MiB/s"},
    {"DonePastTotalIsClamped", 5000, 4000, 1.0,
     "packing  [########################]  100%  3.9 KiB / 3.9 KiB  3.9 KiB/s"},
    {"EmptyTotalIsComplete", 0, 0, 0.0, "packing  [########################]  100%  0 B / 0 B"},
    {"Gibibytes", 3ull << 30, 4ull << 30, 0.0, "packing  [##################......]   75%  3.0 GiB / 4.0 GiB"},
};

INSTANTIATE_TEST_SUITE_P(Table, ProgressLineTest, ::testing::ValuesIn(kLines),
                         [](const ::testing::TestParamInfo<LineCase>& param) { return param.param.what; });

}  // namespace
