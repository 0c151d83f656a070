// The decoded image's stream: one block that never moves, however the image
// grows, and a limit at which the image is no archive any more.
#include "app/MemoryStreams.h"

#include "tests/support/Raised.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ImageStreamTest, GrowsInPlaceByPiecesAndBytes)
{
    CImageStream image;
    image.Stream().put('K');
    const uint8_t* first = image.Data();
    ASSERT_NE(nullptr, first);
    std::string expected = "K";
    // Pieces of every size around the commit steps, and single bytes between them.
    for (size_t piece = 1; expected.size() < (40u << 20); piece = piece * 3 + 7) {
        const std::string bytes(piece % (9u << 20), static_cast<char>('a' + piece % 26));
        image.Stream().write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        image.Stream().put(static_cast<char>(piece));
        expected += bytes;
        expected += static_cast<char>(piece);
        ASSERT_EQ(first, image.Data()) << "moved at " << expected.size() << " bytes";
        ASSERT_EQ(expected.size(), image.Size());
    }
    EXPECT_TRUE(std::string(reinterpret_cast<const char*>(image.Data()), image.Size()) == expected);
}

TEST(ImageStreamTest, ImageBeyondTheLimitIsNoArchive)
{
    CImageStream image(1000);
    const std::string bytes(1000, 'z');
    image.Stream().write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    EXPECT_EQ(1000u, image.Size());
    std::unique_ptr<CKwoException> e = Raised([&] { image.Stream().put('!'); });
    ASSERT_TRUE(e);
    EXPECT_EQ("ArchiveError", e->Category());
    EXPECT_EQ(0u, e->MessageText().find("Archive is corrupted.\n\tNested error [Win32] ")) << e->MessageText();
    CImageStream other(1000);
    const std::string more(1001, 'z');
    EXPECT_TRUE(Raised([&] { other.Stream().write(more.data(), static_cast<std::streamsize>(more.size())); }));
}

}  // namespace
