// The label that closes the extraction folder to lower integrity: what the
// launcher hands the system (read from the descriptor it passes), when it
// does so, and, where the platform keeps labels, what the folder carries.
// Wine keeps none and runs every process at one integrity level, so there
// only the first two can be shown.
#include "app/ExtractionFolder.h"
#include "app/FolderSecurity.h"
#include "app/SetupState.h"
#include "base/SystemError.h"
#include "tests/support/Raised.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <sddl.h>

#include <cstdio>

namespace {

// The one mandatory label of a descriptor's SACL, as read from it.
struct Label {
    bool present = false;
    int aces = 0;
    BYTE type = 0;
    BYTE flags = 0;
    DWORD mask = 0;
    bool high = false;  // the SID is Mandatory Label\High
};

Label LabelOf(PSECURITY_DESCRIPTOR descriptor)
{
    Label label;
    BOOL present = FALSE, defaulted = FALSE;
    PACL sacl = nullptr;
    if (!GetSecurityDescriptorSacl(descriptor, &present, &sacl, &defaulted) || !present || sacl == nullptr)
        return label;
    label.aces = sacl->AceCount;
    void* ace = nullptr;
    if (sacl->AceCount == 0 || !GetAce(sacl, 0, &ace))
        return label;
    const auto* mandatory = static_cast<const SYSTEM_MANDATORY_LABEL_ACE*>(ace);
    label.present = true;
    label.type = mandatory->Header.AceType;
    label.flags = mandatory->Header.AceFlags;
    label.mask = mandatory->Mask;
    SID_IDENTIFIER_AUTHORITY authority = SECURITY_MANDATORY_LABEL_AUTHORITY;
    PSID high = nullptr;
    if (AllocateAndInitializeSid(&authority, 1, SECURITY_MANDATORY_HIGH_RID, 0, 0, 0, 0, 0, 0, 0, &high)) {
        label.high = EqualSid(const_cast<DWORD*>(&mandatory->SidStart), high) != FALSE;
        FreeSid(high);
    }
    return label;
}

void ExpectHighNoWriteUpInherited(const Label& label)
{
    ASSERT_TRUE(label.present);
    EXPECT_EQ(label.aces, 1);
    EXPECT_EQ(label.type, SYSTEM_MANDATORY_LABEL_ACE_TYPE);
    EXPECT_EQ(label.flags, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
    EXPECT_EQ(label.mask, static_cast<DWORD>(SYSTEM_MANDATORY_LABEL_NO_WRITE_UP));
    EXPECT_TRUE(label.high);
}

// What the recording calls saw and answer.
struct Seen {
    int labelled = 0;
    SECURITY_INFORMATION parts = 0;
    Label label;
    bool leftoverThere = false;  // when the label was set
};
Seen seen;
BOOL elevated = TRUE;
DWORD labelError = 0;  // the label fails with it; 0: it is set
std::string leftover;

BOOL WINAPI TokenElevationOnly(HANDLE, TOKEN_INFORMATION_CLASS kind, LPVOID data, DWORD size, PDWORD needed)
{
    if (kind != TokenElevation || size < sizeof(TOKEN_ELEVATION)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    static_cast<TOKEN_ELEVATION*>(data)->TokenIsElevated = elevated;
    *needed = sizeof(TOKEN_ELEVATION);
    return TRUE;
}

BOOL WINAPI RecordLabel(HANDLE, SECURITY_INFORMATION parts, PSECURITY_DESCRIPTOR descriptor)
{
    ++seen.labelled;
    seen.parts = parts;
    seen.label = LabelOf(descriptor);
    seen.leftoverThere = FileExists(leftover);
    if (labelError != 0) {
        SetLastError(labelError);
        return FALSE;
    }
    return TRUE;
}

class FolderSecurityTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved = ActiveSecurityCalls();
        seen = Seen();
        elevated = TRUE;
        labelError = 0;
    }
    void TearDown() override
    {
        ActiveSecurityCalls() = saved;
        extractionFolder.clear();
    }

    SecurityCalls saved;
};

TEST_F(FolderSecurityTest, TheLabelHandedToTheSystem)
{
    ActiveSecurityCalls().setKernelObjectSecurity = RecordLabel;
    CloseToLowerIntegrity(GetCurrentProcess(), "C:\\any");
    EXPECT_EQ(seen.labelled, 1);
    EXPECT_EQ(seen.parts, static_cast<SECURITY_INFORMATION>(LABEL_SECURITY_INFORMATION));
    ExpectHighNoWriteUpInherited(seen.label);
}

struct PrepareCase {
    const char* name;
    bool elevated;
    bool tokenQuery;  // the system can tell elevation
    DWORD labelError;
    bool labelled;
};

void PrintTo(const PrepareCase& row, std::ostream* os) { *os << row.name; }

class FolderSecurityPrepareTest : public FolderSecurityTest, public ::testing::WithParamInterface<PrepareCase> {};

TEST_P(FolderSecurityPrepareTest, ClosedBeforeTheLeftoversGoOnlyWhenElevated)
{
    const PrepareCase& param = GetParam();
    CTempFolder folder;
    const std::string extraction = folder.Path() + "\\own\\";
    ASSERT_TRUE(CreateDirectoryA(extraction.c_str(), nullptr));
    leftover = extraction + "planted.dll";
    WriteFileBytes(leftover, "planted");
    SecurityCalls& calls = ActiveSecurityCalls();
    calls.getTokenInformation = param.tokenQuery ? TokenElevationOnly : nullptr;
    calls.setKernelObjectSecurity = RecordLabel;
    elevated = param.elevated;
    labelError = param.labelError;

    const std::unique_ptr<CKwoException> e = RaisedIfAny([&] { PrepareExtractionFolder(extraction); });
    EXPECT_EQ(seen.labelled, param.labelled ? 1 : 0);
    if (param.labelled) {
        EXPECT_TRUE(seen.leftoverThere) << "closed after the leftovers went";
        ExpectHighNoWriteUpInherited(seen.label);
    }
    if (param.labelError != 0) {
        ASSERT_TRUE(e);
        EXPECT_EQ(e->MessageText(), "Unable to create directory " + folder.Path() + "\\own\n\tNested error [Win32] " +
                                        SystemErrorText(param.labelError));
        EXPECT_TRUE(extractionFolder.empty());
        // Not prepared, so not removed either.
        RemoveExtractionFolder();
        EXPECT_TRUE(FileExists(leftover));
        return;
    }
    ASSERT_FALSE(e) << e->MessageText();
    EXPECT_EQ(extractionFolder, extraction);
    EXPECT_FALSE(FileExists(leftover));
    RemoveExtractionFolder();
    EXPECT_FALSE(FileExists(extraction));
}

INSTANTIATE_TEST_SUITE_P(Tokens, FolderSecurityPrepareTest,
                         ::testing::Values(PrepareCase{"Elevated", true, true, 0, true},
                                           PrepareCase{"NotElevated", false, true, 0, false},
                                           PrepareCase{"NoElevationOnThisSystem", true, false, 0, false},
                                           PrepareCase{"LabelRefused", true, true, ERROR_ACCESS_DENIED, true}),
                         [](const auto& row) { return std::string(row.param.name); });

// The label that the folder carries, read back: where the platform keeps
// labels and this process may set a high one.
TEST_F(FolderSecurityTest, TheFolderCarriesTheLabel)
{
    if (!RunsElevated())
        GTEST_SKIP() << "only an elevated process may set a high label";
    CTempFolder folder;
    HANDLE handle = CreateFileA(folder.Path().c_str(), kLabelAccess | READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    CloseToLowerIntegrity(handle, folder.Path());
    BYTE descriptor[1024];
    DWORD needed = 0;
    const BOOL read =
        GetKernelObjectSecurity(handle, LABEL_SECURITY_INFORMATION, descriptor, sizeof descriptor, &needed);
    CloseHandle(handle);
    ASSERT_TRUE(read) << GetLastError();
    const Label label = LabelOf(descriptor);
    if (!label.present)
        GTEST_SKIP() << "the label was accepted but is not kept here (Wine keeps none)";
    ExpectHighNoWriteUpInherited(label);
}

}  // namespace
