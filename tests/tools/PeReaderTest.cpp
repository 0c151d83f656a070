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
#include <tuple>

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

CBuilder ValidBuilder(uint16_t magic)
{
    CBuilder b;
    b.magic = magic;
    b.sections.push_back({".text", std::string(0x300, '\xC3'), 0, Pe::kScnCode | Pe::kScnMemExecute | Pe::kScnMemRead});
    b.sections.push_back({".rsrc", HandTree(b.Rva(1)), 0, Pe::kScnInitializedData | Pe::kScnMemRead});
    b.SetResourceSection(1);
    b.entryPoint = b.Rva(0);
    return b;
}

// Patches the file that ValidBuilder builds.
std::string Patched(uint16_t magic, std::function<void(const CBuilder&, std::string&)> patch)
{
    const CBuilder b = ValidBuilder(magic);
    std::string file = b.Build();
    patch(b, file);
    return file;
}

std::string PatchedTree(uint16_t magic, size_t at, uint32_t value)
{
    return Patched(magic, [=](const CBuilder& b, std::string& f) { Pe::Put32(f, b.RawOffset(1) + at, value); });
}

struct HostileCase {
    const char* name;
    std::function<std::string(uint16_t magic)> make;  // PE32 or PE32+
    const char* expected;  // part of the message
};

void PrintTo(const HostileCase& c, std::ostream* os) { *os << c.name; }

const HostileCase kHostileCases[] = {
    {"Empty", [](uint16_t m) { return std::string(); }, "no MZ header"},
    {"TextFile", [](uint16_t m) { return std::string("just some text, not a program\n"); }, "no MZ header"},
    {"DosProgramOnly", [](uint16_t m) { std::string f(0x100, '\0'); f[0] = 'M'; f[1] = 'Z'; Pe::Put32(f, 0x3C, 0x1000); return f; },
     "no PE header"},
    {"PeOffsetOverflows", [](uint16_t m) { return Patched(m, [](const CBuilder&, std::string& f) { Pe::Put32(f, 0x3C, 0xFFFFFFFCu); }); },
     "no PE header"},
    {"UnknownMagic", [](uint16_t m) { return Patched(m, [](const CBuilder&, std::string& f) { Pe::Put16(f, CBuilder::kOptionalHeader, 0x107); }); },
     "optional header magic 0x0107"},
    {"Dll", [](uint16_t m) { CBuilder b = ValidBuilder(m); b.characteristics |= Pe::kFileDll; return b.Build(); }, "a DLL"},
    {"Arm64", [](uint16_t m) { CBuilder b = ValidBuilder(m); b.machine = 0xAA64; return b.Build(); }, "(ARM64)"},
    {"MachineOfTheOtherLayout",
     [](uint16_t m) { CBuilder b = ValidBuilder(m); b.machine = m == Pe::kMagicPe32 ? Pe::kMachineAmd64 : Pe::kMachineI386; return b.Build(); },
     "a launcher is x86 in PE32 or x64 in PE32+"},
    {"TruncatedInHeaders", [](uint16_t m) { return ValidBuilder(m).Build().substr(0, 0x100); }, "truncated"},
    {"TruncatedInSection", [](uint16_t m) { const CBuilder b = ValidBuilder(m); return b.Build().substr(0, b.RawOffset(1) + 40); },
     "truncated"},
    {"SectionOffsetOutOfRange",
     [](uint16_t m) { return Patched(m, [](const CBuilder& b, std::string& f) { Pe::Put32(f, b.SectionField(1, Pe::kShPointerToRawData), 0xFFFFFE00u); }); },
     "past the end of the file"},
    {"SectionsOverlapInMemory",
     [](uint16_t m) { return Patched(m, [](const CBuilder& b, std::string& f) { Pe::Put32(f, b.SectionField(1, Pe::kShVirtualAddress), b.Rva(0)); }); },
     "out of address order"},
    {"SectionsShareFileBytes",
     [](uint16_t m) { return Patched(m, [](const CBuilder& b, std::string& f) { Pe::Put32(f, b.SectionField(1, Pe::kShPointerToRawData), b.RawOffset(0)); }); },
     "shares file bytes"},
    {"NoSections", [](uint16_t m) { return Patched(m, [](const CBuilder&, std::string& f) { Pe::Put16(f, CBuilder::kPeOffset + 4 + 2, 0); }); },
     "0 sections"},
    {"DirectoryCountTooLarge",
     [](uint16_t m) { return Patched(m, [](const CBuilder& b, std::string& f) { Pe::Put32(f, CBuilder::kOptionalHeader + b.Layout().numberOfRvaAndSizes, 0x40000000u); }); },
     "data directories"},
    {"BadFileAlignment",
     [](uint16_t m) { return Patched(m, [](const CBuilder&, std::string& f) { Pe::Put32(f, CBuilder::kOptionalHeader + Pe::kOhFileAlignment, 0x300); }); },
     "alignment"},
    {"ResourceDirectoryOutsideSections",
     [](uint16_t m) { return Patched(m, [](const CBuilder& b, std::string& f) { Pe::Put32(f, b.DirectoryField(Pe::kDirResource), 0x00F00000u); }); },
     "resource directory lies outside the file"},
    {"SubdirectoryOffsetOutOfRange", [](uint16_t m) { return PatchedTree(m, kRootTarget, 0x80000000u | 0x7FFFFFF0u); },
     "lies outside the resource section"},
    {"EntryCountOverrunsSection", [](uint16_t m) { return PatchedTree(m, kTypeCounts, 0xFFFF0000u); },
     "lies outside the resource section"},
    {"NameOffsetOutOfRange",
     [](uint16_t m) {
         return Patched(m, [](const CBuilder& b, std::string& f) {
             Pe::Put32(f, b.RawOffset(1) + kRootCounts, 1);  // one named entry, no numbered one
             Pe::Put32(f, b.RawOffset(1) + kRootName, 0x80000000u | 0x7FFFFFF0u);
         });
     },
     "a resource name lies outside"},
    {"NamedAndNumberedOutOfOrder", [](uint16_t m) { return PatchedTree(m, kRootCounts, 1); }, "out of order"},
    {"TypeEntryLoopsToRoot", [](uint16_t m) { return PatchedTree(m, kRootTarget, 0x80000000u); }, "loops"},
    {"NameEntryLoopsToItsTable", [](uint16_t m) { return PatchedTree(m, kTypeTarget, 0x80000000u | 24); }, "loops"},
    {"TreeDeeperThanThreeLevels", [](uint16_t m) { return PatchedTree(m, kLanguageTarget, 0x80000000u | 72); }, "deeper"},
    {"DataOutsideFile", [](uint16_t m) { return PatchedTree(m, kLeafRva, 0x00F00000u); }, "resource data lies outside the file"},
    {"DataSizeOutOfRange", [](uint16_t m) { return PatchedTree(m, kLeafSize, 0xFFFFFFF0u); }, "resource data lies outside the file"},
    // The last page's slack past the resource section will hold resources.
    {"DirectoryPastTheImage",
     [](uint16_t m) { CBuilder b = ValidBuilder(m); b.directories[9][0] = b.Rva(1) + 0x800; b.directories[9][1] = 0x18; return b.Build(); },
     "data directory 9 points past the end of the image"},
    {"RelocationBlockOverruns",
     [](uint16_t m) {
         return Patched(m, [](const CBuilder& b, std::string& f) {
             Pe::Put32(f, b.DirectoryField(Pe::kDirBaseRelocation), b.Rva(0));
             Pe::Put32(f, b.DirectoryField(Pe::kDirBaseRelocation) + 4, 16);
             Pe::Put32(f, b.RawOffset(0) + 4, 3);  // a block shorter than its own header
         });
     },
     "damaged base relocation table"},
    // Moved with the file's growth it would wrap round to a bogus offset.
    {"SymbolTablePastTheFile",
     [](uint16_t m) { return Patched(m, [](const CBuilder&, std::string& f) { Pe::Put32(f, CBuilder::kPeOffset + 4 + Pe::kFhPointerToSymbolTable, 0xFFFFFFFFu); }); },
     "symbol table lies past the end of the file"},
    {"CertificateTableInHeaders",
     [](uint16_t m) { CBuilder b = ValidBuilder(m); b.directories[Pe::kDirCertificate][0] = 0x10; b.directories[Pe::kDirCertificate][1] = 0x20; return b.Build(); },
     "certificate table"},
};

// Every case in both layouts.
class PeHostileStubTest : public testing::TestWithParam<std::tuple<HostileCase, uint16_t>> {};

TEST_P(PeHostileStubTest, IsRefusedWithAMessageAndNothingWritten)
{
    const HostileCase& c = std::get<0>(GetParam());
    CTempFolder dir;
    WriteFileBytes(dir / "stub.exe", c.make(std::get<1>(GetParam())));
    WriteFileBytes(dir / "payload.kwz", "payload bytes");
    const KwzResult run = RunKwz({"stamp", dir / "stub.exe", dir / "payload.kwz", dir / "out.exe"});
    EXPECT_EQ(1, run.code);
    EXPECT_TRUE(Contains(run.err, "kwz: " + (dir / "stub.exe") + ": ")) << run.err;
    EXPECT_TRUE(Contains(run.err, c.expected)) << run.err;
    EXPECT_EQ((std::vector<std::string>{"payload.kwz", "stub.exe"}), FolderNames(dir.Path()));
}

INSTANTIATE_TEST_SUITE_P(Cases, PeHostileStubTest,
                         testing::Combine(testing::ValuesIn(kHostileCases),
                                          testing::Values(Pe::kMagicPe32, Pe::kMagicPe32Plus)),
                         [](const testing::TestParamInfo<PeHostileStubTest::ParamType>& param) {
                             return std::string(std::get<0>(param.param).name) +
                                    (std::get<1>(param.param) == Pe::kMagicPe32 ? "Pe32" : "Pe32Plus");
                         });

TEST(PeReaderTest, TheUnspoiltStubsOfTheHostileCasesStamp)
{
    for (uint16_t magic : {Pe::kMagicPe32, Pe::kMagicPe32Plus}) {
        CTempFolder dir;
        WriteFileBytes(dir / "stub.exe", ValidBuilder(magic).Build());
        const std::string payload = PayloadOf({{"KwoWardenInstaller.exe", "MZ"}});
        WriteFileBytes(dir / "payload.kwz", payload);
        ASSERT_EQ(0, RunKwz({"stamp", dir / "stub.exe", dir / "payload.kwz", dir / "out.exe"}).code) << magic;
        const CPeImage out(ReadFileBytes(dir / "out.exe"), "out.exe");
        EXPECT_EQ(magic == Pe::kMagicPe32Plus, out.IsPe32Plus());
        EXPECT_EQ(payload, ReadSetupPayload(out.Bytes(), "out.exe")) << magic;
    }
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
    for (const PeTest::CFixtureSet& set : PeTest::FixtureSets()) {
        const std::string stub = ReadFileBytes(set / "probe-stripped.exe");
        ASSERT_GT(stub.size(), 4096u);
        for (size_t length = 0; length < stub.size(); length += (length < 1024 ? 7 : 331))
            ExpectRefusedOrSound(stub.substr(0, length), set.label + " length " + std::to_string(length));
    }
}

}  // namespace
