// A read-only file at the target: Windows refuses to open it for writing.
#include "archive/Archive.h"

#include "base/KwoException.h"
#include "tests/archive/ArchiveImages.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <vector>

namespace {

TEST(ArchiveReadOnlyTest, ReadOnlyTargetReportsFailbitAndStaysUnchanged)
{
    CTempFolder folder;
    WriteFileBytes(folder / "setup.exe", "original");
    ASSERT_TRUE(SetFileAttributesA((folder / "setup.exe").c_str(), FILE_ATTRIBUTE_READONLY));
    // Wine keeps the attribute in Unix permissions, which do not stop root.
    const HANDLE probe = CreateFileA((folder / "setup.exe").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                                     nullptr);
    if (probe != INVALID_HANDLE_VALUE) {
        CloseHandle(probe);
        GTEST_SKIP() << "this system lets read-only files be opened for writing (Wine run as root)";
    }
    const std::string image = ArchiveImages::Canonical({{"setup.exe", "replacement"}});
    const std::vector<uint8_t> bytes(image.begin(), image.end());
    CArchive archive;
    archive.Load(bytes.data(), bytes.size());
    try {
        archive.ExtractEntry(0, folder.Path().c_str());
        FAIL() << "a read-only file was written";
    } catch (CKwoException* raw) {
        std::unique_ptr<CKwoException> e(raw);
        EXPECT_EQ("Error while extracting file from archive. Details: ios_base::failbit set", e->MessageText());
    }
    EXPECT_EQ("original", ReadFileBytes(folder / "setup.exe"));
}

}  // namespace
