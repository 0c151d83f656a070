// kwz verify: a damaged payload that still decodes is caught against the
// product folder, layouts kwz pack never writes are caught without it.
#include "tools/kwz/LoadedPayload.h"
#include "tools/kwz/PayloadCheck.h"
#include "tools/kwz/pe/PeFormat.h"

#include "archive/ArchiveFormat.h"
#include "archive/ArchiveWriter.h"

#include "tests/support/Raised.h"
#include "tests/support/TestFiles.h"
#include "tests/tools/KwzRun.h"
#include "tests/tools/pe/PeFixtures.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

namespace {

// The payload with one bit flipped, the first flip from the middle on that
// still loads as a sound image with other bytes: what a bad copy or a bad
// sector does unnoticed.
std::string FlipUnnoticed(const std::string& payload, const std::string& work, const std::string& image)
{
    for (size_t at = payload.size() / 2; at < payload.size(); ++at) {
        for (int bit = 0; bit < 8; ++bit) {
            std::string bad = payload;
            bad[at] = static_cast<char>(bad[at] ^ (1 << bit));
            WriteFileBytes(work, bad);
            std::unique_ptr<CLoadedPayload> loaded;
            if (RaisedIfAny([&] { loaded.reset(new CLoadedPayload(work, false)); }))
                continue;
            const std::string decoded(reinterpret_cast<const char*>(loaded->ImageData()), loaded->ImageSize());
            if (decoded != image && CheckImageLayout(loaded->ImageData(), loaded->ImageSize()).empty())
                return bad;
        }
    }
    ADD_FAILURE() << "no flipped bit went unnoticed";
    return payload;
}

TEST(KwzVerifyCommandTest, FlippedByteIsCaughtAgainstTheProductFolder)
{
    CTempFolder product;
    FillPayloadFolder(product.Path());
    CTempFolder dir;
    ASSERT_EQ(0, RunKwz({"pack", "-q", product.Path(), dir / "good.kwz"}).code);
    ASSERT_EQ(0, RunKwz({"stamp", "-q", PeTest::Fixture("probe-stripped.exe"), dir / "good.kwz", dir / "setup.exe"}).code);
    const KwzResult good = RunKwz({"verify", "-q", dir / "setup.exe", product.Path()});
    EXPECT_EQ(0, good.code) << good.out;
    EXPECT_TRUE(Contains(good.out, "OK: the payload is sound and matches " + product.Path())) << good.out;

    ASSERT_EQ(0, RunKwz({"decompress", dir / "good.kwz", dir / "good.image"}).code);
    const std::string bad = FlipUnnoticed(ReadFileBytes(dir / "good.kwz"), dir / "bad.kwz", ReadFileBytes(dir / "good.image"));
    ASSERT_EQ(0, RunKwz({"stamp", "-q", PeTest::Fixture("probe-stripped.exe"), dir / "bad.kwz", dir / "bad.exe"}).code);

    // list and a check without the folder see nothing wrong...
    EXPECT_EQ(0, RunKwz({"list", "-q", dir / "bad.exe"}).code);
    const KwzResult alone = RunKwz({"verify", "-q", dir / "bad.exe"});
    EXPECT_EQ(0, alone.code) << alone.out;
    // ...the folder shows which files came out different (later matches may
    // copy the flipped byte into other files too), and nothing else.
    const KwzResult against = RunKwz({"verify", "-q", dir / "bad.exe", product.Path()});
    EXPECT_EQ(1, against.code);
    EXPECT_TRUE(Contains(against.out, "different: ")) << against.out;
    EXPECT_TRUE(Contains(against.out, "the bytes differ from offset")) << against.out;
    EXPECT_FALSE(Contains(against.out, "missing: ") || Contains(against.out, "extra: ")) << against.out;
    EXPECT_TRUE(Contains(against.out, "\nFAILED: ")) << against.out;
}

TEST(KwzVerifyCommandTest, EveryDifferenceWithTheFolderIsNamed)
{
    CTempFolder product;
    FillPayloadFolder(product.Path());
    CTempFolder dir;
    ASSERT_EQ(0, RunKwz({"pack", "-q", product.Path(), dir / "p.kwz"}).code);
    std::filesystem::remove(product / "setup.ini");
    WriteFileBytes(product / "new.txt", "added later");
    WriteFileBytes(product / "alpha.bin", SeededBytes(5001, 3));
    std::filesystem::create_directory(product / "docs");

    const KwzResult text = RunKwz({"verify", dir / "p.kwz", product.Path()});
    EXPECT_EQ(1, text.code);
    for (const char* line : {"missing: setup.ini: in the payload, not in the folder\n",
                             "extra: new.txt: in the folder, not in the payload\n",
                             "extra: docs: a folder or other item, which no payload holds\n",
                             "different: alpha.bin: 5000 bytes in the payload, 5001 in the folder\n",
                             "FAILED: 4 problems\n"})
        EXPECT_TRUE(Contains(text.out, line)) << line << " not in:\n" << text.out;

    const KwzResult json = RunKwz({"verify", "--json", dir / "p.kwz", product.Path()});
    EXPECT_EQ(1, json.code);
    EXPECT_TRUE(Contains(json.out, "\"ok\": false")) << json.out;
    EXPECT_TRUE(Contains(json.out, "{\"kind\": \"missing\", \"name\": \"setup.ini\"")) << json.out;
    EXPECT_TRUE(Contains(json.out, "{\"kind\": \"extra\", \"name\": \"new.txt\"")) << json.out;
    EXPECT_TRUE(Contains(json.out, "{\"kind\": \"different\", \"name\": \"alpha.bin\"")) << json.out;
}

struct CBrokenImage {
    const char* what;
    std::function<void(std::string&)> spoil;  // on a sound image of two files
    const char* problem;
};

// A sound image of "a.txt" (5 bytes) and "b.txt" (3 bytes), as kwz pack
// writes it: header 37, records of 18 bytes each, data from 73.
std::string SoundImage()
{
    return ArchiveDirectoryBytes({{"a.txt", 5}, {"b.txt", 3}}) + "AAAAABBB";
}

constexpr size_t kSecondOffset = kHeaderSize + 18 + 14;

TEST(KwzVerifyCommandTest, LayoutsKwzPackNeverWritesAreCaughtWithoutTheFolder)
{
    const std::vector<CBrokenImage> cases = {
        {"sound", [](std::string&) {}, nullptr},
        {"directory end", [](std::string& i) { Pe::Put32(i, kDirectoryEndOffset, 60); },
         "structure: the directory-end field says 60, but the directory ends at 73"},
        {"gap", [](std::string& i) { Pe::Put32(i, kSecondOffset, 79); i += "x"; },
         "entry 1 \"b.txt\": its data start at 79, not at 78 (a gap of 1 byte)"},
        {"overlap", [](std::string& i) { Pe::Put32(i, kSecondOffset, 73); },
         "entry 1 \"b.txt\": its data start at 73, not at 78 (5 bytes overlap earlier data or the directory)"},
        {"trailing bytes", [](std::string& i) { i += "extra"; }, "structure: 5 bytes after the last data belong to no entry"},
        {"letter case", [](std::string& i) { i[kHeaderSize + 18 + 4] = 'A'; },
         "entry 1 \"A.txt\" and entry 0 \"a.txt\" are one file on Windows"},
        {"signature", [](std::string& i) { i[0] = 'k'; }, "unreadable: "},
    };
    CTempFolder dir;
    for (const CBrokenImage& c : cases) {
        std::string image = SoundImage();
        c.spoil(image);
        WriteFileBytes(dir / "image", image);
        ASSERT_EQ(0, RunKwz({"compress", dir / "image", dir / "p.kwz"}).code) << c.what;
        const KwzResult run = RunKwz({"verify", dir / "p.kwz"});
        if (c.problem == nullptr) {
            EXPECT_EQ(0, run.code) << c.what << ": " << run.out;
            EXPECT_TRUE(Contains(run.out, "OK: the payload is sound\n")) << run.out;
            continue;
        }
        EXPECT_EQ(1, run.code) << c.what;
        EXPECT_TRUE(Contains(run.out, c.problem)) << c.what << ": " << run.out;
        EXPECT_TRUE(Contains(run.out, "FAILED")) << c.what << ": " << run.out;
        const KwzResult json = RunKwz({"verify", "--json", dir / "p.kwz"});
        EXPECT_EQ(1, json.code) << c.what;
        EXPECT_TRUE(Contains(json.out, "\"ok\": false")) << c.what << ": " << json.out;
    }
}

TEST(KwzVerifyCommandTest, WrongUsage)
{
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"verify"}, {"verify", "a", "b", "c"}, {"verify", "--codepage", "1252", "a"},
          {"verify", "--strict", "a"}})
        EXPECT_EQ(2, RunKwz(args).code) << args.size();
}

}  // namespace
