#include "base/KwoException.h"
#include "base/SystemError.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace {

TEST(SystemErrorPosixTest, NestedTextIsTheCLibraryDescriptionOfErrno)
{
    // Root ignores file permissions, so set the code the way a failed call would.
    errno = EACCES;
    try {
        ThrowWin32Error("FileError", "Unable to create directory /x", 0, 0);
    } catch (CKwoException* raw) {
        std::unique_ptr<CKwoException> e(raw);
        EXPECT_EQ(std::string("Unable to create directory /x\n\tNested error [Win32] ") + std::strerror(EACCES),
                  e->MessageText());
        return;
    }
    FAIL() << "no exception";
}

}  // namespace
