// Stamped programs under Windows (Wine): they run, and the system's own
// resource functions find the payload and every resource the stub had.
#include "tools/kwz/pe/SetupProgram.h"

#include "tests/support/TestFiles.h"
#include "tests/tools/pe/PeFixtures.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>

using PeTest::Fixture;

namespace {

// Runs program through the command interpreter and collects what it writes
// to standard output (text mode: lines end in CR LF); its exit code, or -1.
int RunCaptured(const std::string& program, std::string& output)
{
    FILE* pipe = _popen(("\"" + program + "\"").c_str(), "rb");
    if (pipe == nullptr)
        return -1;
    char buffer[4096];
    for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.append(buffer, got);
    return _pclose(pipe);
}

std::string ProbeReport(const std::string& payload, const char* text)
{
    char line[200];
    std::snprintf(line, sizeof line, "%lu %08lx %s\r\n", static_cast<unsigned long>(payload.size()),
                  PeTest::ProbeHash(payload), text);
    return line + std::string("no icon\r\n");  // the probes have none
}

TEST(PeStampWin32Test, StampedProbesRunAndFindTheirPayload)
{
    struct Case {
        const char* fixture;
        int exitCode;
        const char* text;
    };
    for (const Case& c : {Case{"probe.exe", 0, "Kwo Warden Setup"}, Case{"probe-stripped.exe", 0, "Kwo Warden Setup"},
                          Case{"probe-payload.exe", 0, "Kwo Warden Setup"}, Case{"probe-bare.exe", 2, ""}}) {
        CTempFolder dir;
        const std::string first = SeededBytes(200000, 1);
        const std::string second = SeededBytes(777, 2);
        WriteFileBytes(dir / "first.exe", StampSetupProgram(ReadFileBytes(Fixture(c.fixture)), c.fixture, first, nullptr));
        // Restamped: the in-place layout.
        WriteFileBytes(dir / "second.exe", StampSetupProgram(ReadFileBytes(dir / "first.exe"), "first", second, nullptr));
        for (const auto& run : {std::make_pair("first.exe", &first), std::make_pair("second.exe", &second)}) {
            std::string output;
            EXPECT_EQ(c.exitCode, RunCaptured(dir / run.first, output)) << c.fixture << " " << run.first;
            EXPECT_EQ(ProbeReport(*run.second, c.text), output) << c.fixture << " " << run.first;
        }
    }
}

// FindResourceExA with an id of the tree; names are ASCII in our fixtures.
HRSRC Find(HMODULE module, const CResourceId& type, const CResourceId& name, const CResourceId& language)
{
    std::string typeText(type.name.begin(), type.name.end());
    std::string nameText(name.name.begin(), name.name.end());
    return FindResourceExA(module, type.named ? typeText.c_str() : MAKEINTRESOURCEA(type.number),
                           name.named ? nameText.c_str() : MAKEINTRESOURCEA(name.number),
                           static_cast<WORD>(language.number));
}

std::string Bytes(HMODULE module, HRSRC found)
{
    const char* data = static_cast<const char*>(LockResource(LoadResource(module, found)));
    return data != nullptr ? std::string(data, SizeofResource(module, found)) : std::string();
}

TEST(PeStampWin32Test, SystemFindsEveryResourceOfAStampedProgram)
{
    int checked = 0;
    for (const std::string& path : {Fixture("probe.exe"), std::string("C:\\windows\\system32\\notepad.exe"),
                                    std::string("C:\\windows\\system32\\comctl32.dll")}) {
        if (!FileExists(path))
            continue;
        CTempFolder dir;
        const std::string stub = ReadFileBytes(path);
        const std::string payload = SeededBytes(65536 + 3, 3);
        WriteFileBytes(dir / "stamped.dll", StampSetupProgram(stub, path, payload, nullptr));
        HMODULE module = LoadLibraryExA((dir / "stamped.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(nullptr, module) << path;

        HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(137), "KWZ");
        ASSERT_NE(nullptr, found) << path;
        EXPECT_TRUE(Bytes(module, found) == payload) << path;
        const CResourceTree tree = ReadResourceTree(CPeImage(stub, path));
        for (const CResourceType& t : tree.types)
            for (const CResourceName& n : t.names)
                for (const CResourceData& d : n.languages) {
                    HRSRC old = Find(module, t.type, n.name, d.language);
                    ASSERT_NE(nullptr, old) << path << " " << t.type.Describe() << "/" << n.name.Describe();
                    EXPECT_TRUE(Bytes(module, old) == d.bytes) << path << " " << t.type.Describe();
                }
        FreeLibrary(module);
        ++checked;
    }
    EXPECT_GE(checked, 1);
}

}  // namespace
