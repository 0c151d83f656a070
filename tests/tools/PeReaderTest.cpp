// Hostile and broken stubs: each is refused with a message that says what is
// wrong, and no output appears.
#include "tools/kwz/pe/PeImage.h"
#include "tools/kwz/pe/SetupProgram.h"

#include "tests/support/Raised.h"
#include "tests/support/TestFiles.h"
#include "tests/tools/KwzRun.h"
#include "tests/tools/pe/PeBuilder.h"
#include "tests/tools/pe/PeFixtures.h"

#include <gtest/gtest.h>

#include <functional>

using PeTest::CBuilder;

namespace {

// Offsets inside the hand-assembled tree of ValidBuilder's resource section:
// root table at 0, the type's table at 24, the name's table at 48, the data
// entry at 72, the data at 88.
constexpr size_t kRootCounts = 12;
constexpr size_t kRootName = 16;
constexpr size_t kRootTarget = 20;
constexpr size_t kTypeCounts = 24 + 12;
constexpr size_t kTypeTarget = 44;
constexpr size_t kLanguageTarget = 68;
constexpr size_t kLeafRva = 72;
constexpr size_t kLeafSize = 76;

// RCDATA 1, language 0, "abc", assembled by hand so that the tests do not
// depend on the section builder they check.
std::string HandTree(uint32_t rva)
{
    std::string t(96, '\0');
    auto table = [&](size_t at, uint32_t id, uint32_t target) {
        Pe::Put16(t, at + 14, 1);
        Pe::Put32(t, at + 16, id);
        Pe::Put32(t, at + 20, target);
    };
    table(0, 10, 0x80000000u | 24);
    table(24, 1, 0x80000000u | 48);
    table(48, 0, 72);
    Pe::Put32(t, kLeafRva, rva + 88);
    Pe::Put32(t, kLeafSize, 3);
    t.replace(88, 3, "abc");
    return t;
}

CBuilder ValidBuilder()
{
    CBuilder b;
    b.sections.push_back({".text", std::string(0x300, '\xC3'), 0, Pe::kScnCode | Pe::kScnMemExecute | Pe::kScnMemRead});
    b.sections.push_back({".rsrc", HandTree(b.Rva(1)), 0, Pe::kScnInitializedData | Pe::kScnMemRead});
    b.SetResourceSection(1);
    b.entryPoint = b.Rva(0);
    return b;
}

// Patches the file that ValidBuilder builds.
std::string Patched(std::function<void(const CBuilder&, std::string&)> patch)
{
    const CBuilder b = ValidBuilder();
    std::string file = b.Build();
    patch(b, file);
    return file;
}

std::string PatchedTree(size_t at, uint32_t value)
{
    return Patched([=](const CBuilder& b, std::string& f) { Pe::Put32(f, b.RawOffset(1) + at, value); });
}

struct HostileCase {
    const char* name;
    std::function<std::string()> make;
    const char* expected;  // part of the message
};

void PrintTo(const HostileCase& c, std::ostream* os) { *os << c.name; }

const HostileCase kHostileCases[] = {
    {"Empty", [] { return std::string(); }, "no MZ header"},
    {"TextFile", [] { return std::string("just some text, not a program\n"); }, "no MZ header"},
    {"DosProgramOnly", [] { std::string f(0x100, '\0'); f[0] = 'M'; f[1] = 'Z'; Pe::Put32(f, 0x3C, 0x1000); return f; },
     "no PE header"},
    {"PeOffsetOverflows", [] { return Patched([](const CBuilder&, std::string& f) { Pe::Put32(f, 0x3C, 0xFFFFFFFCu); }); },
     "no PE header"},
    {"SixtyFourBit", [] { CBuilder b = ValidBuilder(); b.magic = Pe::kMagicPe32Plus; return b.Build(); }, "64-bit"},
    {"TruncatedInHeaders", [] { return ValidBuilder().Build().substr(0, 0x100); }, "truncated"},
    {"TruncatedInSection", [] { const CBuilder b = ValidBuilder(); return b.Build().substr(0, b.RawOffset(1) + 40); },
     "truncated"},
    {"SectionOffsetOutOfRange",
     [] { return Patched([](const CBuilder&, std::string& f) { Pe::Put32(f, CBuilder::SectionField(1, Pe::kShPointerToRawData), 0xFFFFFE00u); }); },
     "past the end of the file"},
    {"SectionsOverlapInMemory",
     [] { return Patched([](const CBuilder& b, std::string& f) { Pe::Put32(f, CBuilder::SectionField(1, Pe::kShVirtualAddress), b.Rva(0)); }); },
     "out of address order"},
    {"SectionsShareFileBytes",
     [] { return Patched([](const CBuilder& b, std::string& f) { Pe::Put32(f, CBuilder::SectionField(1, Pe::kShPointerToRawData), b.RawOffset(0)); }); },
     "shares file bytes"},
    {"NoSections", [] { return Patched([](const CBuilder&, std::string& f) { Pe::Put16(f, CBuilder::kPeOffset + 4 + 2, 0); }); },
     "0 sections"},
    {"DirectoryCountTooLarge",
     [] { return Patched([](const CBuilder&, std::string& f) { Pe::Put32(f, CBuilder::kOptionalHeader + Pe::kOhNumberOfRvaAndSizes, 0x40000000u); }); },
     "data directories"},
    {"BadFileAlignment",
     [] { return Patched([](const CBuilder&, std::string& f) { Pe::Put32(f, CBuilder::kOptionalHeader + Pe::kOhFileAlignment, 0x300); }); },
     "alignment"},
    {"ResourceDirectoryOutsideSections",
     [] { return Patched([](const CBuilder&, std::string& f) { Pe::Put32(f, CBuilder::DirectoryField(Pe::kDirResource), 0x00F00000u); }); },
     "resource directory lies outside the file"},
    {"SubdirectoryOffsetOutOfRange", [] { return PatchedTree(kRootTarget, 0x80000000u | 0x7FFFFFF0u); },
     "lies outside the resource section"},
    {"EntryCountOverrunsSection", [] { return PatchedTree(kTypeCounts, 0xFFFF0000u); },
     "lies outside the resource section"},
    {"NameOffsetOutOfRange",
     [] {
         return Patched([](const CBuilder& b, std::string& f) {
             Pe::Put32(f, b.RawOffset(1) + kRootCounts, 1);  // one named entry, no numbered one
             Pe::Put32(f, b.RawOffset(1) + kRootName, 0x80000000u | 0x7FFFFFF0u);
         });
     },
     "a resource name lies outside"},
    {"NamedAndNumberedOutOfOrder", [] { return PatchedTree(kRootCounts, 1); }, "out of order"},
    {"TypeEntryLoopsToRoot", [] { return PatchedTree(kRootTarget, 0x80000000u); }, "loops"},
    {"NameEntryLoopsToItsTable", [] { return PatchedTree(kTypeTarget, 0x80000000u | 24); }, "loops"},
    {"TreeDeeperThanThreeLevels", [] { return PatchedTree(kLanguageTarget, 0x80000000u | 72); }, "deeper"},
    {"DataOutsideFile", [] { return PatchedTree(kLeafRva, 0x00F00000u); }, "resource data lies outside the file"},
    {"DataSizeOutOfRange", [] { return PatchedTree(kLeafSize, 0xFFFFFFF0u); }, "resource data lies outside the file"},
    // The last page's slack past the resource section will hold resources.
    {"DirectoryPastTheImage",
     [] { CBuilder b = ValidBuilder(); b.directories[9][0] = b.Rva(1) + 0x800; b.directories[9][1] = 0x18; return b.Build(); },
     "data directory 9 points past the end of the image"},
    {"RelocationBlockOverruns",
     [] {
         return Patched([](const CBuilder& b, std::string& f) {
             Pe::Put32(f, CBuilder::DirectoryField(Pe::kDirBaseRelocation), b.Rva(0));
             Pe::Put32(f, CBuilder::DirectoryField(Pe::kDirBaseRelocation) + 4, 16);
             Pe::Put32(f, b.RawOffset(0) + 4, 3);  // a block shorter than its own header
         });
     },
     "damaged base relocation table"},
    // Moved with the file's growth it would wrap round to a bogus offset.
    {"SymbolTablePastTheFile",
     [] { return Patched([](const CBuilder&, std::string& f) { Pe::Put32(f, CBuilder::kPeOffset + 4 + Pe::kFhPointerToSymbolTable, 0xFFFFFFFFu); }); },
     "symbol table lies past the end of the file"},
    {"CertificateTableInHeaders",
     [] { CBuilder b = ValidBuilder(); b.directories[Pe::kDirCertificate][0] = 0x10; b.directories[Pe::kDirCertificate][1] = 0x20; return b.Build(); },
     "certificate table"},
};

class PeHostileStubTest : public testing::TestWithParam<HostileCase> {};

TEST_P(PeHostileStubTest, IsRefusedWithAMessageAndNothingWritten)
{
    CTempFolder dir;
    WriteFileBytes(dir / "stub.exe", GetParam().make());
    WriteFileBytes(dir / "payload.kwz", "payload bytes");
    const KwzResult run = RunKwz({"stamp", dir / "stub.exe", dir / "payload.kwz", dir / "out.exe"});
    EXPECT_EQ(1, run.code);
    EXPECT_TRUE(Contains(run.err, "kwz: " + (dir / "stub.exe") + ": ")) << run.err;
    EXPECT_TRUE(Contains(run.err, GetParam().expected)) << run.err;
    EXPECT_EQ((std::vector<std::string>{"payload.kwz", "stub.exe"}), FolderNames(dir.Path()));
}

INSTANTIATE_TEST_SUITE_P(Cases, PeHostileStubTest, testing::ValuesIn(kHostileCases),
                         [](const testing::TestParamInfo<HostileCase>& param) { return std::string(param.param.name); });

TEST(PeReaderTest, TheUnspoiltStubOfTheHostileCasesStamps)
{
    CTempFolder dir;
    WriteFileBytes(dir / "stub.exe", ValidBuilder().Build());
    WriteFileBytes(dir / "payload.kwz", "payload bytes");
    ASSERT_EQ(0, RunKwz({"stamp", dir / "stub.exe", dir / "payload.kwz", dir / "out.exe"}).code);
    EXPECT_EQ("payload bytes", ReadSetupPayload(ReadFileBytes(dir / "out.exe"), "out.exe"));
}

// Every outcome of a damaged stub is a clean refusal or a program that reads
// back with the payload; run under the sanitizers this also finds bad reads.
void ExpectRefusedOrSound(const std::string& stub, const std::string& what)
{
    std::string program;
    if (const auto e = RaisedIfAny([&] { program = StampSetupProgram(stub, "stub", "PAYLOAD", nullptr); }))
        EXPECT_EQ(0u, e->MessageText().find("stub: ")) << what << ": " << e->MessageText();
    else
        EXPECT_EQ("PAYLOAD", ReadSetupPayload(program, "out")) << what;
}

TEST(PeReaderTest, TruncationsAnywhereAreRefusedOrSound)
{
    const std::string stub = ReadFileBytes(PeTest::Fixture("probe-stripped.exe"));
    ASSERT_GT(stub.size(), 4096u);
    for (size_t length = 0; length < stub.size(); length += (length < 1024 ? 7 : 331))
        ExpectRefusedOrSound(stub.substr(0, length), "length " + std::to_string(length));
}

}  // namespace
