// The stubs and packers that ship, read from both Windows trees with our own
// PE reader (so that the x86 ones are checked on a host that cannot run
// them): linked reproducibly, resources last, and stamped in place.
#include "tools/kwz/pe/IconGroup.h"
#include "tools/kwz/pe/PeFormat.h"
#include "tools/kwz/pe/SetupProgram.h"
#include "tools/kwz/pe/VersionInfo.h"

#include "tests/support/TestFiles.h"
#include "tests/tools/KwzRun.h"
#include "tests/tools/pe/IconFiles.h"

#include <gtest/gtest.h>

namespace {

constexpr size_t kFhTimeDateStamp = 4;

// The default version information of res/KwoWardenSetup.rc.
const std::string kStubVersionValues = std::string() +
    "CompanyName=The Kwo Warden Setup authors\n"
    "FileDescription=Kwo Warden Setup\n"
    "FileVersion=" + KWO_VERSION + "\n"
    "LegalCopyright=Copyright (c) 2026 The Kwo Warden Setup authors\n"
    "OriginalFilename=KwoWardenSetup.exe\n"
    "ProductName=Kwo Warden Setup\n"
    "ProductVersion=" + KWO_VERSION + "\n";

class PeStubTest : public testing::TestWithParam<const char*> {
protected:
    std::string Tree() const { return std::string(KWO_BUILD_FOLDER) + "/" + GetParam(); }
    CPeImage Read(const std::string& name) const
    {
        const std::string path = Tree() + "/" + name;
        if (!FileExists(path))
            ADD_FAILURE() << path << " is missing: build both Windows trees first";
        return CPeImage(ReadFileBytes(path), path);
    }
};

std::vector<std::string> SectionNames(const CPeImage& image)
{
    std::vector<std::string> names;
    for (const CPeSection& s : image.Sections())
        names.push_back(s.name);
    return names;
}

// The resources are the last section in memory and in the file, and the
// file ends with them.
void ExpectResourcesLast(const CPeImage& image)
{
    const std::vector<std::string> names = SectionNames(image);
    EXPECT_EQ(1, std::count(names.begin(), names.end(), ".rsrc")) << image.DisplayName();
    const CPeSection& last = image.Sections().back();
    EXPECT_EQ(".rsrc", last.name) << image.DisplayName();
    EXPECT_EQ(image.Directory(Pe::kDirResource).address, last.virtualAddress) << image.DisplayName();
    EXPECT_EQ(image.Bytes().size(), last.RawEnd()) << image.DisplayName();
}

TEST_P(PeStubTest, ShippedProgramsCarryNoTimeAndLinkAgainToTheSameBytes)
{
    for (const char* name : {"KwoWardenSetup-stub.exe", "kwz.exe", "KwoWardenSetup.exe"}) {
        const CPeImage image = Read(name);
        EXPECT_EQ(0u, Pe::Get32(image.Bytes(), image.FileHeaderOffset() + kFhTimeDateStamp)) << name;
        EXPECT_TRUE(image.Directory(Pe::kDirDebug).Empty()) << name << " carries debug data";
    }
    for (const char* name : {"KwoWardenSetup-stub.exe", "kwz.exe"})
        EXPECT_TRUE(Read(name).Bytes() == Read(std::string("relinked/") + name).Bytes()) << name;
}

TEST_P(PeStubTest, StampingRewritesTheLastSectionInPlace)
{
    const CPeImage stub = Read("KwoWardenSetup-stub.exe");
    ExpectResourcesLast(stub);
    ExpectResourcesLast(Read("KwoWardenSetup.exe"));

    CResourceWriteNotes notes;
    const CPeImage stamped(StampSetupProgram(stub.Bytes(), "stub", SeededBytes(300000, 7), &notes), "stamped");
    EXPECT_FALSE(notes.newSection);
    EXPECT_FALSE(notes.oldSectionEmptied);
    ExpectResourcesLast(stamped);
    // The section table as it was, but the resources' two sizes.
    ASSERT_EQ(stub.Sections().size(), stamped.Sections().size());
    for (size_t i = 0; i < stub.Sections().size(); ++i) {
        const CPeSection& a = stub.Sections()[i];
        const CPeSection& b = stamped.Sections()[i];
        EXPECT_EQ(a.name, b.name);
        EXPECT_EQ(a.virtualAddress, b.virtualAddress) << a.name;
        EXPECT_EQ(a.pointerToRawData, b.pointerToRawData) << a.name;
        EXPECT_EQ(a.characteristics, b.characteristics) << a.name;
        if (i + 1 < stub.Sections().size()) {
            EXPECT_EQ(a.virtualSize, b.virtualSize) << a.name;
            EXPECT_EQ(a.sizeOfRawData, b.sizeOfRawData) << a.name;
        }
    }
    EXPECT_GT(stamped.Sections().back().sizeOfRawData, 300000u);
}

// The stub's icon and version information are windres's; kwz makes the same
// resources from the same icon file and values, so stamping them changes
// nothing.
TEST_P(PeStubTest, OwnIconAndVersionInformationStampBackToTheSameBytes)
{
    const CPeImage stub = Read("KwoWardenSetup-stub.exe");
    const std::string icon = Tree() + "/res/art/KwoWardenSetup.ico";
    ASSERT_TRUE(FileExists(icon)) << icon;
    CSetupIdentity identity;
    identity.icon = ReadIconFile(ReadFileBytes(icon), icon);
    identity.versionInfo = BuildVersionInfo(ParseVersionInfoFile(kStubVersionValues, "defaults"));
    const std::string plain = StampSetupProgram(stub.Bytes(), "stub", "PAYLOAD", nullptr);
    EXPECT_TRUE(plain == StampSetupProgram(stub.Bytes(), "stub", "PAYLOAD", identity, nullptr));

    // And the version the stub names is kwz's.
    const KwzResult version = RunKwz({"--version"});
    EXPECT_EQ(std::string("kwz ") + KWO_VERSION + "\n", version.out);
}

TEST_P(PeStubTest, VendorIconAndVersionReplaceTheStubsAndRestampingKeepsOneOfEach)
{
    const CPeImage stub = Read("KwoWardenSetup-stub.exe");
    const CResourceTree before = ReadResourceTree(stub);
    CSetupIdentity identity;
    identity.icon = ReadIconFile(PeTest::SolidIconFile({{32, 0x00FF00}, {16, 0xFF0000}}), "vendor.ico");
    identity.versionInfo = BuildVersionInfo(ParseVersionInfoFile("ProductName=Example\nFileVersion=2.4\n", "v.txt"));
    const std::string once = StampSetupProgram(stub.Bytes(), "stub", "PAYLOAD", identity, nullptr);
    const std::string twice = StampSetupProgram(once, "once", "PAYLOAD", identity, nullptr);
    EXPECT_TRUE(once == twice);

    // Six images of the stub's own icon became the vendor's two, in the
    // stub's language; every other resource but the payload is as it was.
    const CResourceTree after = ReadResourceTree(CPeImage(once, "once"));
    const CResourceData* group = FindResource(after, CResourceId::Number(kIconGroupType), CResourceId::Number(108));
    ASSERT_NE(nullptr, group);
    EXPECT_EQ((std::vector<uint32_t>{1, 2}), IconGroupMembers(group->bytes));
    EXPECT_EQ(6u, FindResourceType(before, CResourceId::Number(kIconType))->names.size());
    ASSERT_EQ(2u, FindResourceType(after, CResourceId::Number(kIconType))->names.size());
    for (uint32_t id : {1u, 2u}) {
        const CResourceData* image = FindResource(after, CResourceId::Number(kIconType), CResourceId::Number(id));
        EXPECT_EQ(PeTest::SolidDib(id == 1 ? PeTest::CSolidImage{32, 0x00FF00} : PeTest::CSolidImage{16, 0xFF0000}),
                  image->bytes);
        EXPECT_EQ(group->language, image->language);
    }
    const CResourceData* version = FindResource(after, CResourceId::Number(kVersionType), CResourceId::Number(1));
    ASSERT_NE(nullptr, version);
    EXPECT_EQ(identity.versionInfo, version->bytes);
    EXPECT_EQ(FindResource(before, CResourceId::Number(kVersionType), CResourceId::Number(1))->language,
              version->language);
    size_t kept = 0;
    for (const CResourceType& t : before.types) {
        if (t.type.named || t.type.number == kIconType || t.type.number == kIconGroupType || t.type.number == kVersionType)
            continue;
        const CResourceType* same = FindResourceType(after, t.type);
        ASSERT_NE(nullptr, same) << t.type.Describe();
        EXPECT_TRUE(*same == t) << t.type.Describe();
        ++kept;
    }
    EXPECT_EQ(2u, kept);  // strings and bitmaps
}

INSTANTIATE_TEST_SUITE_P(BothTrees, PeStubTest, testing::Values("win32", "win64"));

}  // namespace
