// The launchers of both Windows trees may use addresses above 2 GiB, so that
// a 32-bit launcher on 64-bit Windows has 4 GiB for its decode; a stub
// stamped by `kwz stamp` keeps the flag. Read with our own PE reader, so that
// the 32-bit tree is checked on a host that cannot run it.
#include "tools/kwz/pe/PeFormat.h"
#include "tools/kwz/pe/PeImage.h"

#include "tests/support/TestFiles.h"
#include "tests/tools/KwzRun.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

class LauncherLargeAddressTest : public testing::TestWithParam<const char*> {
protected:
    std::string Launcher(const char* name) const
    {
        return std::string(KWO_BUILD_FOLDER) + "/" + GetParam() + "/" + name;
    }
};

bool LargeAddressAware(const std::string& path)
{
    const CPeImage image(ReadFileBytes(path), path);
    return (image.Characteristics() & Pe::kFileLargeAddressAware) != 0;
}

TEST_P(LauncherLargeAddressTest, BuiltAndStampedLaunchersAreLargeAddressAware)
{
    const std::string stub = Launcher("KwoWardenSetup-stub.exe");
    const std::string demo = Launcher("KwoWardenSetup.exe");
    ASSERT_TRUE(FileExists(stub)) << stub << " is missing: build both Windows trees first";
    EXPECT_TRUE(LargeAddressAware(stub)) << stub;
    EXPECT_TRUE(LargeAddressAware(demo)) << demo;

    CTempFolder dir;
    const std::string product = dir / "product";
    std::filesystem::create_directory(product);
    FillPayloadFolder(product);
    const std::string stamped = dir / "setup.exe";
    ASSERT_EQ(0, RunKwz({"stamp", "-q", stub, product, stamped}).code);
    EXPECT_TRUE(LargeAddressAware(stamped));
}

INSTANTIATE_TEST_SUITE_P(BothTrees, LauncherLargeAddressTest, testing::Values("win32", "win64"));

}  // namespace
