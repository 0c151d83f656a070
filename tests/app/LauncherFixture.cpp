#include "tests/app/LauncherFixture.h"

#include "demo/Crc32.h"
#include "tests/support/FolderLinks.h"

#include <cstdio>

void LauncherTest::SetUp()
{
    // A link left by a failed case goes first: nothing below may follow it.
    RemoveFolderLink(ExtractionPlace());
    ASSERT_TRUE(RemoveTree(ExtractionFolderPath(), 10000)) << "left from an earlier run";
    sentinel = LongTemporaryFolder() + "kwo-sentinel.txt";
    WriteFileBytes(sentinel, "stays");
    currentSentinel = folder / "kwo-current-sentinel.txt";
    WriteFileBytes(currentSentinel, "stays");
}

void LauncherTest::TearDown()
{
    EXPECT_EQ(ReadFileBytes(sentinel), "stays") << "the temporary folder was touched";
    EXPECT_EQ(ReadFileBytes(currentSentinel), "stays") << "the current folder was touched";
    DeleteFileA(sentinel.c_str());
    RemoveFolderLink(ExtractionPlace());
    RemoveTree(ExtractionFolderPath(), 15000);
}

LaunchOptions LauncherTest::InTestFolder() const
{
    LaunchOptions options;
    options.currentFolder = folder.Path();
    return options;
}

std::string DemoLauncher()
{
    return WindowsPath(KWO_DEMO_LAUNCHER);
}

std::string DemoPayloadFolder()
{
    return WindowsPath(KWO_DEMO_PAYLOAD_DIR);
}

std::string ExtractionPlace()
{
    const std::string folder = ExtractionFolderPath();
    return folder.substr(0, folder.size() - 1);
}

namespace {

std::string Crc32Text(const std::string& bytes)
{
    char text[16];
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(UpdateCrc32(0, bytes.data(), bytes.size())));
    return text;
}

}  // namespace

std::map<std::string, std::string> ExpectedFiles(const std::string& source)
{
    std::map<std::string, std::string> files;
    for (const std::string& name : FolderNames(source)) {
        const std::string bytes = ReadFileBytes(source + "\\" + name);
        files[name] = std::to_string(bytes.size()) + " bytes\tCRC-32 " + Crc32Text(bytes);
    }
    return files;
}

std::map<std::string, std::string> ReportedFiles(const std::vector<std::string>& report)
{
    std::map<std::string, std::string> files;
    for (const std::string& line : report) {
        if (line.compare(0, 2, "  ") != 0)
            continue;
        const size_t tab = line.find('\t');
        files[line.substr(2, tab - 2)] = tab == std::string::npos ? "" : line.substr(tab + 1);
    }
    return files;
}

std::string ReportValue(const std::vector<std::string>& report, const std::string& key)
{
    for (const std::string& line : report)
        if (line.compare(0, key.size(), key) == 0)
            return line.substr(key.size());
    return "<missing " + key + ">";
}
