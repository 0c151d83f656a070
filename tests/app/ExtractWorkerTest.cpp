// The worker run in this process over the payload of a built launcher, loaded
// as a data module: what it posts, in which order, and what it writes.
#include "app/ExtractWorker.h"
#include "app/SetupMessages.h"
#include "app/SetupState.h"
#include "tests/app/LauncherDriver.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

// A message-only window that nobody dispatches for: the test reads its queue.
class CMessageSink {
public:
    CMessageSink() : window(CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr)) {}
    ~CMessageSink() { DestroyWindow(window); }
    HWND Get() const { return window; }

private:
    HWND window;
};

struct Posted {
    UINT message;
    std::string text;  // of WM_SETUP_ERROR
};

std::vector<Posted> TakeMessages(HWND window)
{
    std::vector<Posted> posted;
    MSG message;
    while (PeekMessageA(&message, window, WM_SETUP_START, WM_SETUP_ERROR, PM_REMOVE)) {
        Posted item = {message.message, ""};
        if (message.message == WM_SETUP_ERROR) {
            const std::unique_ptr<char[]> text(reinterpret_cast<char*>(message.lParam));
            item.text = text ? text.get() : "<null>";
        }
        posted.push_back(item);
    }
    return posted;
}

// The payload size of a launcher, read independently of the worker.
uint32_t PayloadSize(HMODULE module)
{
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(137), "KWZ");
    return resource != nullptr ? SizeofResource(module, resource) : 0;
}

struct WorkerCase {
    const char* name;
    const char* launcher;
    const char* errorStart;  // "" for a run without error
    bool decodes;            // the whole payload is read, with progress
    bool small;              // the payload is under 100 bytes: progress on every byte
    const char* files;       // the folder whose files must be extracted, byte for byte; or null
};

void PrintTo(const WorkerCase& row, std::ostream* os) { *os << row.name; }

class ExtractWorkerTest : public ::testing::TestWithParam<WorkerCase> {
protected:
    void SetUp() override
    {
        module = LoadLibraryExA(WindowsPath(GetParam().launcher).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(module, nullptr);
        appInstance = module;
        extractionFolder = folder.Path() + "\\";
        progressFraction = 0.0;
    }
    void TearDown() override
    {
        extractionFolder.clear();
        appInstance = nullptr;
        if (module != nullptr)
            FreeLibrary(module);
    }

    HMODULE module = nullptr;
    CTempFolder folder;
};

TEST_P(ExtractWorkerTest, PostsProgressAtMostOneErrorAndDoneLast)
{
    const WorkerCase& param = GetParam();
    CMessageSink sink;
    ASSERT_NE(sink.Get(), nullptr);
    EXPECT_EQ(ExtractWorker(sink.Get()), 0u);
    const std::vector<Posted> posted = TakeMessages(sink.Get());

    ASSERT_FALSE(posted.empty());
    EXPECT_EQ(posted.back().message, static_cast<UINT>(WM_SETUP_DONE));
    size_t progress = 0, errors = 0, dones = 0;
    std::string error;
    for (const Posted& item : posted) {
        progress += item.message == WM_SETUP_PROGRESS ? 1 : 0;
        dones += item.message == WM_SETUP_DONE ? 1 : 0;
        if (item.message == WM_SETUP_ERROR) {
            ++errors;
            error = item.text;
        }
    }
    EXPECT_EQ(dones, 1u);
    const std::string expected = param.errorStart;
    EXPECT_EQ(errors, expected.empty() ? 0u : 1u);
    EXPECT_EQ(error.substr(0, expected.size()), expected) << error;

    if (param.files != nullptr) {
        const std::string source = WindowsPath(param.files);
        ASSERT_EQ(FolderNames(folder.Path()), FolderNames(source));
        for (const std::string& name : FolderNames(source))
            EXPECT_EQ(ReadFileBytes(folder / name), ReadFileBytes(source + "\\" + name)) << name;
    }
    const uint32_t size = PayloadSize(module);
    if (!param.decodes) {
        EXPECT_EQ(progress, 0u);
        EXPECT_EQ(progressFraction.load(), 0.0);
        return;
    }
    // Reports come on the 1st byte and every stride bytes after it; a payload
    // under 100 bytes reports every byte.
    ASSERT_GT(size, 0u);
    EXPECT_EQ(param.small, size < 100) << size;
    const uint32_t stride = size >= 100 ? size / 100 : 1;
    const uint32_t reports = (size - 1) / stride + 1;
    EXPECT_EQ(progress, reports);
    EXPECT_DOUBLE_EQ(progressFraction.load(), static_cast<double>(1 + (reports - 1) * stride) / size);
    EXPECT_LE(progressFraction.load(), 1.0);
}

INSTANTIATE_TEST_SUITE_P(
    Payloads, ExtractWorkerTest,
    ::testing::Values(
        WorkerCase{"Demo", KWO_DEMO_LAUNCHER, "", true, false, KWO_DEMO_PAYLOAD_DIR},
        WorkerCase{"SmallerThanHundredBytes", KWO_NO_INSTALLER_LAUNCHER, "", true, true, nullptr},
        WorkerCase{"Missing", KWO_STUB_LAUNCHER, "Archive is missing.\n\tNested error [Win32] ", false, false, nullptr},
        WorkerCase{"Empty", KWO_EMPTY_LAUNCHER, "Archive is corrupted.\n\tNested error [Win32] ", false, false, nullptr},
        WorkerCase{"BadSignature", KWO_BAD_SIGNATURE_LAUNCHER, "Archive is corrupted.\n\tNested error [Win32] ", true,
                   false, nullptr},
        WorkerCase{"Truncated", KWO_TRUNCATED_LAUNCHER, "Unexpected end of file reached.", true, false, nullptr}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(ExtractWorkerStopTest, StopAskedForEndsTheDecodeWithoutAnError)
{
    const HMODULE module = LoadLibraryExA(WindowsPath(KWO_DEMO_LAUNCHER).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    CTempFolder folder;
    appInstance = module;
    extractionFolder = folder.Path() + "\\";
    progressFraction = 0.0;
    CMessageSink sink;
    // Asked before the worker runs: its decode ends at the first report.
    stopRequested = true;
    const DWORD code = ExtractWorker(sink.Get());
    stopRequested = false;
    extractionFolder.clear();
    appInstance = nullptr;
    FreeLibrary(module);

    EXPECT_EQ(code, 0u);
    const std::vector<Posted> posted = TakeMessages(sink.Get());
    ASSERT_EQ(posted.size(), 1u) << "no error and no progress, only the end";
    EXPECT_EQ(posted[0].message, static_cast<UINT>(WM_SETUP_DONE));
    EXPECT_EQ(progressFraction.load(), 0.0);
    EXPECT_TRUE(FolderNames(folder.Path()).empty());
}

struct ReportCase {
    uint32_t count;
    uint32_t total;
    double fraction;
};

void PrintTo(const ReportCase& row, std::ostream* os) { *os << row.count << " of " << row.total; }

class ReportProgressTest : public ::testing::TestWithParam<ReportCase> {};

TEST_P(ReportProgressTest, StoresTheShareAtMostOneAndPostsOnce)
{
    CMessageSink sink;
    ProgressSink context = {GetParam().total, sink.Get()};
    progressFraction = -1.0;
    ReportProgress(GetParam().count, &context);
    EXPECT_DOUBLE_EQ(progressFraction.load(), GetParam().fraction) << GetParam().count << " of " << GetParam().total;
    const std::vector<Posted> posted = TakeMessages(sink.Get());
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].message, static_cast<UINT>(WM_SETUP_PROGRESS));
    progressFraction = 0.0;
}

INSTANTIATE_TEST_SUITE_P(Counts, ReportProgressTest,
                         ::testing::Values(ReportCase{1, 1534023, 1.0 / 1534023},
                                           ReportCase{1534001, 1534023, 1534001.0 / 1534023},
                                           ReportCase{1534023, 1534023, 1.0},
                                           ReportCase{4000000000u, 1534023, 1.0},  // past the end
                                           ReportCase{0, 0, 1.0},                  // not a number
                                           ReportCase{7, 0, 1.0}));                // infinite

}  // namespace
