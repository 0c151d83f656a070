// Stamping a payload into stubs of each supported layout.
#include "tools/kwz/pe/PeFormat.h"
#include "tools/kwz/pe/SetupProgram.h"

#include "tests/support/Raised.h"
#include "tests/support/TestFiles.h"
#include "tests/tools/KwzRun.h"
#include "tests/tools/pe/PeBuilder.h"
#include "tests/tools/pe/PeFixtures.h"

#include <gtest/gtest.h>

using PeTest::CBuilder;

namespace {

std::string Stamp(const std::string& stub, const std::string& payload, CResourceWriteNotes* notes = nullptr)
{
    return StampSetupProgram(stub, "stub", payload, notes);
}

std::string SectionBytes(const CPeImage& image, const CPeSection& s)
{
    return image.Bytes().substr(s.pointerToRawData, s.sizeOfRawData);
}

// What stamping must keep: the image's sections but the resource ones with
// their bytes, the checksum right, the image size covering the last section.
void ExpectSoundAndKept(const CPeImage& before, const CPeImage& after)
{
    const uint32_t oldResources = before.Directory(Pe::kDirResource).address;
    const uint32_t newResources = after.Directory(Pe::kDirResource).address;
    for (const CPeSection& s : before.Sections()) {
        const int index = after.SectionAt(s.virtualAddress);
        ASSERT_GE(index, 0) << s.name;
        const CPeSection& t = after.Sections()[static_cast<size_t>(index)];
        EXPECT_EQ(s.virtualAddress, t.virtualAddress) << s.name;
        if (s.virtualAddress == newResources)
            continue;  // rebuilt in place
        EXPECT_EQ(s.MappedSize(), t.MappedSize()) << s.name;
        if (s.virtualAddress != oldResources) {
            EXPECT_EQ(SectionBytes(before, s), SectionBytes(after, t)) << s.name;
        }
    }
    const CPeSection& last = after.Sections().back();
    EXPECT_EQ(Pe::AlignUp(last.virtualAddress + uint64_t{last.MappedSize()}, after.SectionAlignment()),
              after.SizeOfImage());
    EXPECT_EQ(Pe::Get32(after.Bytes(), after.ChecksumOffset()),
              Pe::ComputeChecksum(after.Bytes(), after.ChecksumOffset()));
}

// The stub's tree with payload as the one KWZ/137.
CResourceTree Expected(const CPeImage& stub, const std::string& payload)
{
    CResourceTree tree = ReadResourceTree(stub);
    SetResource(tree, CResourceId::Name("KWZ"), CResourceId::Number(137), PeTest::Data(0, payload));
    return tree;
}

// The MinGW stubs of each architecture that this tree built.
class PeStampMinGwTest : public testing::TestWithParam<PeTest::CFixtureSet> {
protected:
    std::string Fixture(const char* name) const { return GetParam() / name; }
};

TEST_P(PeStampMinGwTest, StubGetsANewLastResourceSection)
{
    // probe.exe: .rsrc, then .reloc, debug sections and a symbol table.
    const CPeImage stub(ReadFileBytes(Fixture("probe.exe")), "probe.exe");
    ASSERT_NE(0u, stub.PointerToSymbolTable());
    const std::string payload = SeededBytes(70001, 1);
    CResourceWriteNotes notes;
    const CPeImage out(Stamp(stub.Bytes(), payload, &notes), "out");

    EXPECT_TRUE(notes.newSection);
    EXPECT_TRUE(notes.oldSectionEmptied);
    ASSERT_EQ(stub.Sections().size() + 1, out.Sections().size());
    const CPeSection& added = out.Sections().back();
    EXPECT_EQ(".rsrc", added.name);
    EXPECT_EQ(added.virtualAddress, out.Directory(Pe::kDirResource).address);
    const int old = out.SectionAt(stub.Directory(Pe::kDirResource).address);
    EXPECT_EQ(0u, out.Sections()[static_cast<size_t>(old)].sizeOfRawData);
    ExpectSoundAndKept(stub, out);
    EXPECT_TRUE(ReadResourceTree(out) == Expected(stub, payload));
    EXPECT_EQ(stub.IsPe32Plus(), out.IsPe32Plus());
    EXPECT_EQ(stub.Characteristics(), out.Characteristics());
    // The symbol table and its string table follow the sections unchanged.
    EXPECT_EQ(stub.Bytes().substr(stub.PointerToSymbolTable()), out.Bytes().substr(out.PointerToSymbolTable()));
}

TEST_P(PeStampMinGwTest, RestampingReplacesThePayloadAndComesBackByteForByte)
{
    // probe-payload.exe carries an older payload in language 0x407.
    const std::string stub = ReadFileBytes(Fixture("probe-payload.exe"));
    const std::string first = SeededBytes(5000, 2);
    const std::string second = SeededBytes(123457, 3);

    const std::string once = Stamp(stub, first);
    CResourceWriteNotes notes;
    const std::string replaced = Stamp(once, second, &notes);
    const std::string back = Stamp(replaced, first, &notes);
    EXPECT_FALSE(notes.newSection);  // the stamped layout is rebuilt in place
    EXPECT_TRUE(back == once);
    EXPECT_TRUE(Stamp(stub, first) == once);

    // One payload, in the neutral language: the older one is gone.
    const CPeImage stubImage(stub, "stub");
    EXPECT_TRUE(ReadResourceTree(CPeImage(once, "once")) == Expected(stubImage, first));
    EXPECT_TRUE(ReadResourceTree(CPeImage(replaced, "replaced")) == Expected(stubImage, second));
    ExpectSoundAndKept(CPeImage(once, "once"), CPeImage(replaced, "replaced"));
}

INSTANTIATE_TEST_SUITE_P(Architectures, PeStampMinGwTest, testing::ValuesIn(PeTest::FixtureSets()),
                         [](const testing::TestParamInfo<PeTest::CFixtureSet>& param) { return param.param.label; });

TEST(PeStampTest, StubWithoutResourcesGetsAResourceSection)
{
    const CPeImage stub(ReadFileBytes(PeTest::Fixture("probe-bare.exe")), "probe-bare.exe");
    ASSERT_EQ(0u, stub.Directory(Pe::kDirResource).address);
    CResourceWriteNotes notes;
    const CPeImage out(Stamp(stub.Bytes(), "tiny", &notes), "out");
    EXPECT_TRUE(notes.newSection);
    EXPECT_FALSE(notes.oldSectionEmptied);
    ExpectSoundAndKept(stub, out);
    EXPECT_EQ("tiny", ReadSetupPayload(out.Bytes(), "out"));
}

// .text, then the resources as the last section, then an overlay that the
// symbol table pointer points into.
CBuilder ResourcesLast(const CResourceTree& tree)
{
    CBuilder b;
    b.sections.push_back({".text", std::string(0x280, '\x90'), 0, Pe::kScnCode | Pe::kScnMemExecute});
    b.sections.push_back({".rsrc", BuildResourceSection(tree, b.Rva(1)), 0});
    b.SetResourceSection(1);
    b.overlay = "SYMBOLS AND MORE APPENDED DATA";
    b.pointerToSymbolTable = b.OverlayOffset();
    return b;
}

TEST(PeStampTest, LastResourceSectionGrowsAndShrinksInPlace)
{
    const CBuilder b = ResourcesLast(PeTest::TreeOf(3, "an icon"));
    const CPeImage stub(b.Build(), "stub");

    for (size_t size : {size_t{100000}, size_t{1}}) {
        CResourceWriteNotes notes;
        const CPeImage out(Stamp(stub.Bytes(), SeededBytes(size, 4), &notes), "out");
        EXPECT_FALSE(notes.newSection);
        ASSERT_EQ(stub.Sections().size(), out.Sections().size());
        ExpectSoundAndKept(stub, out);
        EXPECT_TRUE(ReadResourceTree(out) == Expected(stub, SeededBytes(size, 4)));
        const std::string overlay = out.Bytes().substr(static_cast<size_t>(out.RawDataEnd()));
        EXPECT_EQ(b.overlay, overlay);
        EXPECT_EQ(out.RawDataEnd(), out.PointerToSymbolTable());
    }
}

TEST(PeStampTest, SignatureIsRemovedAndTheResultEqualsStampingTheUnsignedStub)
{
    const std::string unsigned_ = ReadFileBytes(PeTest::Fixture("probe-stripped.exe"));
    ASSERT_EQ(0u, unsigned_.size() % 8);
    // A signature as signing tools append it: a WIN_CERTIFICATE after
    // everything else, located by data directory 4 (a file offset).
    std::string signed_ = unsigned_;
    const CPeImage plain(unsigned_, "plain");
    std::string certificate(0x238, '\xA5');
    Pe::Put32(certificate, 0, static_cast<uint32_t>(certificate.size()));
    Pe::Put32(signed_, plain.DirectoryOffset(Pe::kDirCertificate), static_cast<uint32_t>(signed_.size()));
    Pe::Put32(signed_, plain.DirectoryOffset(Pe::kDirCertificate) + 4, static_cast<uint32_t>(certificate.size()));
    signed_ += certificate;

    CTempFolder dir;
    WriteFileBytes(dir / "signed.exe", signed_);
    const std::string payload = PayloadOf({{"KwoWardenInstaller.exe", "MZ"}});
    WriteFileBytes(dir / "payload.kwz", payload);
    const KwzResult run = RunKwz({"stamp", dir / "signed.exe", dir / "payload.kwz", dir / "out.exe"});
    ASSERT_EQ(0, run.code);
    EXPECT_TRUE(Contains(run.err, "warning: " + (dir / "signed.exe") + " carried an Authenticode signature")) << run.err;
    const std::string out = ReadFileBytes(dir / "out.exe");
    EXPECT_TRUE(out == Stamp(unsigned_, payload));
    EXPECT_EQ(std::string::npos, out.find(certificate));
    const CPeImage image(out, "out");
    EXPECT_TRUE(image.Directory(Pe::kDirCertificate).Empty());
}

TEST(PeStampTest, ResourceSectionHoldingOtherDataIsLeftAsItIs)
{
    // The tree at the start of a section that holds more than the tree (as
    // when a linker merges .rsrc into another section): its bytes stay put.
    CBuilder b;
    b.sections.push_back({".rdata", "", 0});
    b.sections[0].raw = BuildResourceSection(PeTest::TreeOf(10, "kept"), b.Rva(0)) + "OTHER READ-ONLY DATA";
    b.SetResourceSection(0);
    b.sections.push_back({".reloc", std::string(0x20, '\x01'), 0});
    const CPeImage stub(b.Build(), "stub");

    CResourceWriteNotes notes;
    const CPeImage out(Stamp(stub.Bytes(), "PAYLOAD", &notes), "out");
    EXPECT_TRUE(notes.newSection);
    EXPECT_FALSE(notes.oldSectionEmptied);
    EXPECT_EQ(SectionBytes(stub, stub.Sections()[0]), SectionBytes(out, out.Sections()[0]));
    ExpectSoundAndKept(stub, out);
    EXPECT_TRUE(ReadResourceTree(out) == Expected(stub, "PAYLOAD"));
}

TEST(PeStampTest, DebugDataOffsetsFollowTheirBytes)
{
    // .rsrc, then .rdata with a debug directory whose data lies in the
    // overlay: the new section pushes the overlay back.
    CBuilder b;
    b.sections.push_back({".rsrc", BuildResourceSection(CResourceTree(), b.Rva(0)), 0});
    b.SetResourceSection(0);
    std::string debugDirectory(Pe::kDebugEntrySize, '\0');
    b.sections.push_back({".rdata", "", 0});
    b.overlay = "CODEVIEW DATA";
    Pe::Put32(debugDirectory, 16, static_cast<uint32_t>(b.overlay.size()));
    b.sections[1].raw = debugDirectory;
    Pe::Put32(b.sections[1].raw, Pe::kDebugPointerToRawData, b.OverlayOffset());
    b.directories[Pe::kDirDebug][0] = b.Rva(1);
    b.directories[Pe::kDirDebug][1] = Pe::kDebugEntrySize;
    const CPeImage stub(b.Build(), "stub");

    const CPeImage out(Stamp(stub.Bytes(), SeededBytes(3000, 5)), "out");
    size_t entry = 0;
    ASSERT_TRUE(out.MapRva(out.Directory(Pe::kDirDebug).address, Pe::kDebugEntrySize, entry));
    const uint32_t pointer = Pe::Get32(out.Bytes(), entry + Pe::kDebugPointerToRawData);
    EXPECT_GT(pointer, b.OverlayOffset());
    EXPECT_EQ("CODEVIEW DATA", out.Bytes().substr(pointer, 13));
}

TEST(PeStampTest, NoRoomForAnotherSectionHeaderIsRefused)
{
    CBuilder b;
    b.sections.push_back({".rsrc", BuildResourceSection(CResourceTree(), b.Rva(0)), 0});
    b.SetResourceSection(0);
    b.sections.push_back({".reloc", std::string(0x10, '\x02'), 0});
    std::string stub = b.Build();
    stub[b.SectionField(2, 0)] = 'X';  // something lives right after the section table
    EXPECT_NE(std::string::npos, RaisedMessage([&] { Stamp(stub, "P"); }).find("no room for another section header"));
    // The same with the resources last needs no new header.
    b.sections.pop_back();
    stub = b.Build();
    stub[b.SectionField(1, 0)] = 'X';
    EXPECT_EQ("P", ReadSetupPayload(Stamp(stub, "P"), "out"));
}

}  // namespace
