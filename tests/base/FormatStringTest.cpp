#include "base/FormatString.h"
#include "base/KwoException.h"
#include "tests/support/Raised.h"

#include <gtest/gtest.h>

#include <string>

namespace {

unsigned Passes(std::string& out, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    unsigned passes = 0;
    try {
        passes = KwoBase::FormatStringV(out, format, args);
    } catch (...) {
        va_end(args);
        throw;
    }
    va_end(args);
    return passes;
}

struct LengthCase {
    size_t length;
    unsigned passes;
};

class FormatStringLengthTest : public ::testing::TestWithParam<LengthCase> {};

TEST_P(FormatStringLengthTest, BufferDoublesUntilTheTextAndItsZeroFit)
{
    const LengthCase c = GetParam();
    // Half from the argument, half from the format text, so both are re-read
    // from their start on every pass.
    const std::string head(c.length / 2, 'f');
    const std::string tail(c.length - head.size(), 'a');
    const std::string format = head + "%s";
    std::string out = "previous";
    EXPECT_EQ(c.passes, Passes(out, format.c_str(), tail.c_str()));
    EXPECT_EQ(head + tail, out);
}

INSTANTIATE_TEST_SUITE_P(Sizes, FormatStringLengthTest,
                         ::testing::Values(LengthCase{0, 1}, LengthCase{511, 1}, LengthCase{512, 2},
                                           LengthCase{1023, 2}, LengthCase{1024, 3}, LengthCase{262143, 10}));

TEST(FormatStringTest, TooLongTextRaisesOverflowWithoutNestedPart)
{
    for (size_t length : {size_t{262144}, size_t{1000000}}) {
        const std::string arg(length, 'x');
        std::string out = "kept";
        auto e = Raised([&] { KwoBase::FormatString(out, "%s", arg.c_str()); });
        ASSERT_TRUE(e) << length;
        EXPECT_EQ("FormatStringOverflow", e->Category());
        EXPECT_EQ("KwoBase::FormatString failed (too long string)", e->MessageText());
        EXPECT_EQ("kept", out);
    }
}

TEST(FormatStringTest, ReplacesTheOutputAndFormatsConversions)
{
    std::string out = "old contents";
    KwoBase::FormatString(out, "Unable to create directory %s", "X:\\T\\a");
    EXPECT_EQ("Unable to create directory X:\\T\\a", out);
    KwoBase::FormatString(out, "no conversions");
    EXPECT_EQ("no conversions", out);
    KwoBase::FormatString(out, "%d %%", 57);
    EXPECT_EQ("57 %", out);
    KwoBase::FormatString(out, "%u|%5.2f|%lld", 4000000000u, 2.5, -1234567890123LL);
    EXPECT_EQ("4000000000| 2.50|-1234567890123", out);
}

}  // namespace
