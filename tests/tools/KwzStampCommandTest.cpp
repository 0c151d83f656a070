// kwz stamp as a command: arguments, files, messages.
#include "tools/kwz/pe/SetupProgram.h"

#include "tests/support/TestFiles.h"
#include "tests/tools/pe/PeFixtures.h"

#include <gtest/gtest.h>

using PeTest::Fixture;
using PeTest::Kwz;

namespace {

TEST(KwzStampCommandTest, WritesTheStubWithThePayload)
{
    CTempFolder dir;
    WriteFileBytes(dir / "payload.kwz", "some payload");
    std::string err;
    ASSERT_EQ(0, Kwz({"stamp", Fixture("probe-stripped.exe"), dir / "payload.kwz", dir / "setup.exe"}, &err));
    EXPECT_EQ("", err);
    EXPECT_EQ("some payload", ReadSetupPayload(ReadFileBytes(dir / "setup.exe"), "setup.exe"));
    EXPECT_EQ((std::vector<std::string>{"payload.kwz", "setup.exe"}), FolderNames(dir.Path()));

    // The output may replace the stub itself.
    WriteFileBytes(dir / "again.kwz", "another payload");
    ASSERT_EQ(0, Kwz({"stamp", dir / "setup.exe", dir / "again.kwz", dir / "setup.exe"}));
    EXPECT_EQ("another payload", ReadSetupPayload(ReadFileBytes(dir / "setup.exe"), "setup.exe"));
}

TEST(KwzStampCommandTest, EmptyPayloadIsStampedWithAWarning)
{
    CTempFolder dir;
    WriteFileBytes(dir / "empty.kwz", "");
    std::string err;
    ASSERT_EQ(0, Kwz({"stamp", Fixture("probe-stripped.exe"), dir / "empty.kwz", dir / "setup.exe"}, &err));
    EXPECT_NE(std::string::npos, err.find("warning: " + (dir / "empty.kwz") + " is empty")) << err;
    EXPECT_EQ("", ReadSetupPayload(ReadFileBytes(dir / "setup.exe"), "setup.exe"));
}

TEST(KwzStampCommandTest, MissingInputsAndWrongUsageWriteNothing)
{
    CTempFolder dir;
    WriteFileBytes(dir / "payload.kwz", "p");
    std::string err;
    EXPECT_EQ(1, Kwz({"stamp", dir / "no-such.exe", dir / "payload.kwz", dir / "out.exe"}, &err));
    EXPECT_NE(std::string::npos, err.find("Unable to open " + (dir / "no-such.exe"))) << err;
    EXPECT_EQ(1, Kwz({"stamp", Fixture("probe-stripped.exe"), dir / "none.kwz", dir / "out.exe"}, &err));
    EXPECT_NE(std::string::npos, err.find("Unable to open " + (dir / "none.kwz"))) << err;
    EXPECT_EQ(2, Kwz({"stamp", Fixture("probe-stripped.exe"), dir / "payload.kwz"}, &err));
    EXPECT_NE(std::string::npos, err.find("stamp takes 3 arguments")) << err;
    EXPECT_EQ(2, Kwz({"stamp", "-", "-", dir / "out.exe"}, &err));
    EXPECT_EQ(2, Kwz({"stamp", "--frobnicate", "a", "b", "c"}, &err));
    EXPECT_EQ((std::vector<std::string>{"payload.kwz"}), FolderNames(dir.Path()));
}

TEST(KwzStampCommandTest, HelpExplainsLayoutsAndSigning)
{
    testing::internal::CaptureStdout();
    ASSERT_EQ(0, Kwz({"help", "stamp"}));
    const std::string help = testing::internal::GetCapturedStdout();
    for (const char* topic : {"Usage: kwz stamp", "\"KWZ\", name 137", "language neutral", "64-bit", "Authenticode",
                              "Sign OUT afterwards"})
        EXPECT_NE(std::string::npos, help.find(topic)) << topic;
}

}  // namespace
