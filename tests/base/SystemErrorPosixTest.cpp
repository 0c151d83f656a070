#include "base/KwoException.h"
#include "base/SystemError.h"
#include "tests/support/Raised.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

namespace {

TEST(SystemErrorPosixTest, NestedTextIsTheCLibraryDescriptionOfErrno)
{
    // Root ignores file permissions, so set the code the way a failed call would.
    const std::string expected =
        std::string("Unable to create directory /x\n\tNested error [Win32] ") + std::strerror(EACCES);
    errno = EACCES;
    EXPECT_EQ(expected, RaisedMessage([] { ThrowWin32Error("FileError", "Unable to create directory /x", 0, 0); }));
}

}  // namespace
