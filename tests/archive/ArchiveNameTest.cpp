#include "archive/ArchiveName.h"

#include <gtest/gtest.h>

#include <ostream>

namespace {

struct PrintableCase {
    const char* in;
    const char* out;
};

void PrintTo(const PrintableCase& c, std::ostream* os)
{
    *os << c.out;
}

class PrintableNameTest : public ::testing::TestWithParam<PrintableCase> {};

TEST_P(PrintableNameTest, EscapesWhatATerminalWouldNotShow)
{
    EXPECT_EQ(GetParam().out, PrintableName(GetParam().in));
}

INSTANTIATE_TEST_SUITE_P(Table, PrintableNameTest,
                         ::testing::Values(PrintableCase{"setup.exe", "setup.exe"},
                                           PrintableCase{"a b", "a b"},
                                           PrintableCase{"..\\x", "..\\x5Cx"},
                                           PrintableCase{"\x1B[2J", "\\x1B[2J"},
                                           PrintableCase{"caf\xE9", "caf\\xE9"}));

}  // namespace
