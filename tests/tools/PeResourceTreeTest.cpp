// The resource tree: read, rebuilt and edited.
#include "tools/kwz/pe/PeFormat.h"
#include "tools/kwz/pe/ResourceTree.h"
#include "tools/kwz/pe/ResourceWriter.h"

#include "tests/support/TestFiles.h"
#include "tests/tools/pe/PeBuilder.h"
#include "tests/tools/pe/PeFixtures.h"

#include <gtest/gtest.h>

using PeTest::Data;

namespace {

// A tree with what real ones have: named and numbered types and names, odd
// name and data lengths, several languages, empty data, table fields set.
CResourceTree RichTree()
{
    CResourceTree tree;
    tree.table.timeDateStamp = 0x12345678;
    SetResource(tree, CResourceId::Name("TEXTDATA"), CResourceId::Name("ODD"), Data(0, "seven b"));
    SetResource(tree, CResourceId::Number(6), CResourceId::Number(7), Data(1033, std::string(1, '\0')));
    SetResource(tree, CResourceId::Number(10), CResourceId::Number(1), Data(0, ""));
    SetResource(tree, CResourceId::Name("A"), CResourceId::Number(2), Data(0, std::string(300, 'x')));
    CResourceType& named = tree.types.front();  // "A", sorted first
    named.table.majorVersion = 4;
    named.names.front().languages.push_back(Data(1031, "zwei"));
    named.names.front().languages.back().codePage = 1252;
    return tree;
}

// A PE file whose only section holds tree.
std::string ProgramWith(const CResourceTree& tree)
{
    PeTest::CBuilder b;
    b.sections.push_back({".rsrc", "", 0});
    b.sections[0].raw = BuildResourceSection(tree, b.Rva(0));
    b.SetResourceSection(0);
    return b.Build();
}

TEST(PeResourceTreeTest, RebuiltTreeReadsBackEqual)
{
    const CResourceTree tree = RichTree();
    const CPeImage image(ProgramWith(tree), "rich");
    EXPECT_TRUE(ReadResourceTree(image) == tree);

    // Every data block on an 8-byte boundary inside the section.
    const CPeDirectory dir = image.Directory(Pe::kDirResource);
    for (const CRvaRange& r : ResourceTreeExtents(image)) {
        EXPECT_GE(r.rva, dir.address);
        EXPECT_LE(r.rva + r.size, dir.address + dir.size);
    }
    EXPECT_EQ(0u, dir.size % 8);
}

TEST(PeResourceTreeTest, MinGwTreesRebuildByteForByte)
{
    for (const char* name : {"probe.exe", "probe-stripped.exe", "probe-payload.exe"}) {
        const CPeImage image(ReadFileBytes(PeTest::Fixture(name)), name);
        const CPeDirectory dir = image.Directory(Pe::kDirResource);
        const std::string rebuilt = BuildResourceSection(ReadResourceTree(image), dir.address);
        size_t at = 0;
        ASSERT_TRUE(image.MapRva(dir.address, dir.size, at)) << name;
        EXPECT_EQ(dir.size, rebuilt.size()) << name;
        EXPECT_TRUE(image.Bytes().compare(at, rebuilt.size(), rebuilt) == 0) << name;
    }
}

// Wine's programs come from another resource compiler: the rebuilt tree may
// be laid out differently but must hold the same, and rewriting the result
// must change nothing.
TEST(PeResourceTreeTest, WineProgramsKeepTheirTreesThroughARewrite)
{
    // Wine's own copies (under Wine, drive Z: reaches them by the same path).
    const std::string folder = "/usr/lib/i386-linux-gnu/wine/i386-windows/";
    int checked = 0;
    for (const char* name : {"notepad.exe", "regedit.exe", "comctl32.dll", "shell32.dll"}) {
        if (!FileExists(folder + name))
            continue;
        const CPeImage image(ReadFileBytes(folder + name), name);
        const CResourceTree tree = ReadResourceTree(image);
        const CPeImage rewritten(WriteWithResources(image, tree, nullptr), name);
        EXPECT_TRUE(ReadResourceTree(rewritten) == tree) << name;
        EXPECT_EQ(rewritten.Bytes(), WriteWithResources(rewritten, tree, nullptr)) << name;
        ++checked;
    }
    if (checked == 0)
        GTEST_SKIP() << "no Wine programs in " << folder;
}

TEST(PeResourceTreeTest, SetResourceKeepsTablesSortedAndLeavesOneLanguage)
{
    CResourceTree tree;
    SetResource(tree, CResourceId::Number(24), CResourceId::Number(1), Data(0, "manifest"));
    SetResource(tree, CResourceId::Name("ZULU"), CResourceId::Number(1), Data(0, "z"));
    SetResource(tree, CResourceId::Number(3), CResourceId::Number(1), Data(0, "icon"));
    SetResource(tree, CResourceId::Name("ALPHA"), CResourceId::Number(1), Data(0, "a"));
    SetResource(tree, CResourceId::Name("KWZ"), CResourceId::Number(140), Data(0, "other"));
    SetResource(tree, CResourceId::Name("KWZ"), CResourceId::Number(137), Data(1033, "old english"));
    tree.types[1].names[0].languages.push_back(Data(1031, "old german"));
    SetResource(tree, CResourceId::Name("kwz"), CResourceId::Name("Named"), Data(0, "lower case sorts with upper"));

    std::vector<std::string> order;
    for (const CResourceType& t : tree.types)
        order.push_back(t.type.Describe());
    EXPECT_EQ((std::vector<std::string>{"\"ALPHA\"", "\"KWZ\"", "\"kwz\"", "\"ZULU\"", "3", "24"}), order);
    const CResourceType& kwz = tree.types[1];
    ASSERT_EQ(2u, kwz.names.size());
    EXPECT_EQ("137", kwz.names[0].name.Describe());
    EXPECT_EQ("140", kwz.names[1].name.Describe());

    // FindResource takes the neutral language first, as FindResourceA does.
    EXPECT_EQ("old english", FindResource(tree, CResourceId::Name("KWZ"), CResourceId::Number(137))->bytes);
    tree.types[1].names[0].languages.push_back(Data(0, "neutral"));
    EXPECT_EQ("neutral", FindResource(tree, CResourceId::Name("KWZ"), CResourceId::Number(137))->bytes);
    EXPECT_EQ(nullptr, FindResource(tree, CResourceId::Name("KWZ"), CResourceId::Number(138)));

    SetResource(tree, CResourceId::Name("KWZ"), CResourceId::Number(137), Data(0, "new"));
    ASSERT_EQ(1u, tree.types[1].names[0].languages.size());
    EXPECT_EQ("new", tree.types[1].names[0].languages[0].bytes);
    for (const CResourceType& t : tree.types)
        for (size_t i = 1; i < t.names.size(); ++i)
            EXPECT_LT(CompareResourceIds(t.names[i - 1].name, t.names[i].name), 0);
}

TEST(PeResourceTreeTest, ChecksumMatchesTheLinkers)
{
    // The GNU linker computes the checksum of what it writes.
    for (const char* name : {"probe.exe", "probe-stripped.exe", "probe-bare.exe"}) {
        const CPeImage image(ReadFileBytes(PeTest::Fixture(name)), name);
        const uint32_t stored = Pe::Get32(image.Bytes(), image.ChecksumOffset());
        EXPECT_NE(0u, stored) << name;
        EXPECT_EQ(stored, Pe::ComputeChecksum(image.Bytes(), image.ChecksumOffset())) << name;
    }
    // The field counts as zero wherever it lies, at an odd offset too.
    const std::string odd = "\x01\x02\x03\x04\x05";
    EXPECT_EQ(Pe::ComputeChecksum(std::string("\x01\x02\x03\0\0", 5), 99), Pe::ComputeChecksum(odd, 3));
}

}  // namespace
