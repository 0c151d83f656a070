// Write failures need a device that refuses data: /dev/full.
#include "archive/Archive.h"

#include "tests/archive/ArchiveImages.h"
#include "tests/support/Raised.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class ArchiveFullDeviceTest : public ::testing::TestWithParam<size_t> {};

// "full" in /dev takes the open but no byte. A small entry stays in the
// stream's buffer until the flush, a large one fails in the write itself;
// both must be reported, not taken for written.
TEST_P(ArchiveFullDeviceTest, WriteFailureReportsBadbit)
{
    const std::string image = ArchiveImages::Canonical({{"full", std::string(GetParam(), 'z')}});
    const std::vector<uint8_t> bytes(image.begin(), image.end());
    CArchive archive;
    archive.Load(bytes.data(), bytes.size());
    EXPECT_EQ("Error while extracting file from archive. Details: ios_base::badbit set",
              RaisedMessage([&] { archive.ExtractEntry(0, "/dev"); }));
}

INSTANTIATE_TEST_SUITE_P(Sizes, ArchiveFullDeviceTest, ::testing::Values(10, 1 << 20));

}  // namespace
