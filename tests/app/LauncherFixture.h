// What the cases that run the real launchers share: they run one at a time
// under the same %TEMP% folder and single-instance class, each with a clean
// extraction folder, a sentinel file beside it and one in the launcher's
// current folder that no launcher may touch.
#pragma once

#include "tests/app/LauncherDriver.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

class LauncherTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string Report() const { return folder / "report.txt"; }
    // Runs started in the test folder, beside its sentinel.
    LaunchOptions InTestFolder() const;

    CTempFolder folder;
    std::string sentinel;         // beside the extraction folder
    std::string currentSentinel;  // in the launcher's current folder
};

std::string DemoLauncher();
std::string DemoPayloadFolder();
// The extraction folder without its trailing backslash: the name a link or
// a file can take.
std::string ExtractionPlace();

// name -> "SIZE bytes\tCRC-32 X" of each file in source, as the demo
// installer reports it, and what a report lists in that form.
std::map<std::string, std::string> ExpectedFiles(const std::string& source);
std::map<std::string, std::string> ReportedFiles(const std::vector<std::string>& report);
// The rest of the report's line that begins with key.
std::string ReportValue(const std::vector<std::string>& report, const std::string& key);
