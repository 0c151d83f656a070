#include "base/KwoException.h"
#include "base/SystemError.h"
#include "tests/support/Raised.h"

#include <gtest/gtest.h>

namespace {

TEST(KwoExceptionTest, ThrowErrorCarriesCategoryAndMessageUnchanged)
{
    auto e = Raised([] { ThrowError("BitFileError", "Unexpected end of file reached.", 0, 0); });
    ASSERT_TRUE(e);
    EXPECT_EQ("BitFileError", e->Category());
    EXPECT_EQ("Unexpected end of file reached.", e->MessageText());
}

TEST(KwoExceptionTest, ThrowWin32ErrorAppendsTheNestedTextOfTheLastError)
{
    // Whatever the code, the nested part is the separator and the one-line text.
    const std::string expected = "Archive is corrupted.\n\tNested error [Win32] " + LastErrorText();
    auto e = Raised([] { ThrowWin32Error("ArchiveError", "Archive is corrupted.", 0, 0); });
    ASSERT_TRUE(e);
    EXPECT_EQ("ArchiveError", e->Category());
    EXPECT_EQ(expected, e->MessageText());
}

TEST(OneLineTextTest, JoinsLinesWithABlankAndDropsCarriageReturns)
{
    EXPECT_EQ("First line. second line. ", OneLineText("First line.\r\nsecond line.\r\n"));
    EXPECT_EQ("a  b", OneLineText("a\n\nb"));
    EXPECT_EQ("", OneLineText("\r\r"));
    EXPECT_EQ("tab\tkept", OneLineText("tab\tkept"));
}

}  // namespace
