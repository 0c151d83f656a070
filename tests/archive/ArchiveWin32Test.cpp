// An entry of 2 GiB and more, which the Windows C runtime cannot write in one
// call (it counts in an int): it must be written whole, and end. Only a
// 64-bit process can hold such an image.
#include "archive/Archive.h"

#include "tests/archive/ArchiveImages.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>

namespace {

TEST(ArchiveLargeEntryTest, EntryBeyond2GiBIsWrittenWhole)
{
    if (sizeof(void*) < 8)
        GTEST_SKIP() << "a 32-bit process cannot hold the image";
    const uint32_t size = 0x80000001u;
    const std::string header = ArchiveImages::Canonical({{"big.bin", ""}});
    // Committed but never touched: the data are zero pages.
    const size_t length = header.size() + size;
    char* image = static_cast<char*>(VirtualAlloc(nullptr, length, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    ASSERT_NE(nullptr, image);
    std::memcpy(image, header.data(), header.size());
    // The record's size field, just before its offset field at the end of the header.
    const std::string sizeField = ArchiveImages::U32(size);
    std::memcpy(image + header.size() - 8, sizeField.data(), 4);
    {
        CArchive archive;
        archive.Load(reinterpret_cast<const uint8_t*>(image), length);
        ASSERT_EQ(size, archive.GetEntry(0).size);
        CTempFolder folder;
        archive.ExtractEntry(0, folder.Path().c_str());
        WIN32_FILE_ATTRIBUTE_DATA data;
        ASSERT_TRUE(GetFileAttributesExA((folder / "big.bin").c_str(), GetFileExInfoStandard, &data));
        EXPECT_EQ(0u, data.nFileSizeHigh);
        EXPECT_EQ(size, data.nFileSizeLow);
    }
    VirtualFree(image, 0, MEM_RELEASE);
}

}  // namespace
