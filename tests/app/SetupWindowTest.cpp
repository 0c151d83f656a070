// The progress window of this process, with the launcher's class name: it
// shares the single-instance key with the launchers and runs apart from them.
#include "app/SetupMessages.h"
#include "app/SetupState.h"
#include "app/SetupWindow.h"

#include <gtest/gtest.h>

namespace {

class SetupWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        HINSTANCE instance = GetModuleHandleA(nullptr);
        LoadStringA(instance, IDS_WINDOW_TITLE, windowTitle, kTextBufferSize);
        LoadStringA(instance, IDS_WINDOW_CLASS, windowClassName, kTextBufferSize);
        RegisterSetupWindowClass(instance);
        ASSERT_TRUE(CreateSetupWindow(instance, SW_SHOWNOACTIVATE));
        window = FindWindowA(windowClassName, nullptr);
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override
    {
        if (IsWindow(window))
            DestroyWindow(window);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        }
        DeleteObject(textFont);
        textFont = nullptr;
    }

    HWND window = nullptr;
};

TEST_F(SetupWindowTest, CentredToolWindowWithCaptionOnly)
{
    RECT rect;
    GetWindowRect(window, &rect);
    EXPECT_EQ(rect.right - rect.left, 300);
    EXPECT_EQ(rect.bottom - rect.top, 100);
    EXPECT_EQ(rect.left, (GetSystemMetrics(SM_CXSCREEN) - 300) / 2);
    EXPECT_EQ(rect.top, (GetSystemMetrics(SM_CYSCREEN) - 100) / 2);

    const LONG style = GetWindowLongA(window, GWL_STYLE);
    EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
    EXPECT_EQ(style & (WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME | WS_POPUP | WS_CHILD), 0);
    EXPECT_EQ(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW, WS_EX_TOOLWINDOW);
    EXPECT_EQ(GetClassLongA(window, GCL_STYLE), static_cast<DWORD>(CS_HREDRAW | CS_VREDRAW));
    EXPECT_EQ(GetClassLongPtrA(window, GCLP_HBRBACKGROUND), 0);
    EXPECT_NE(GetClassLongPtrA(window, GCLP_HICON), 0);
    char title[100];
    GetWindowTextA(window, title, sizeof title);
    EXPECT_STREQ(title, "Kwo Warden Setup");
}

TEST_F(SetupWindowTest, PostsTheStartOnceAndRefusesASecondWindow)
{
    MSG message;
    ASSERT_TRUE(PeekMessageA(&message, window, WM_SETUP_START, WM_SETUP_START, PM_REMOVE));
    EXPECT_FALSE(PeekMessageA(&message, window, WM_SETUP_START, WM_SETUP_START, PM_REMOVE));
    EXPECT_FALSE(CreateSetupWindow(GetModuleHandleA(nullptr), SW_SHOWNOACTIVATE));
    EXPECT_FALSE(PeekMessageA(&message, nullptr, WM_SETUP_START, WM_SETUP_START, PM_REMOVE));
}

TEST_F(SetupWindowTest, OtherTimersAndCommandsChangeNothing)
{
    EXPECT_EQ(SendMessageA(window, WM_TIMER, 1, 0), 0);
    EXPECT_EQ(SendMessageA(window, WM_COMMAND, 104, 0), 0);
    EXPECT_TRUE(IsWindow(window));
    MSG message;
    EXPECT_FALSE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
}

TEST_F(SetupWindowTest, CloseCommandDestroysTheWindowAndQuitsWithZero)
{
    extractionFolder.clear();
    EXPECT_EQ(SendMessageA(window, WM_COMMAND, MAKEWPARAM(105, 0), 0), 0);
    EXPECT_FALSE(IsWindow(window));
    MSG message;
    ASSERT_TRUE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(message.wParam, 0u);
}

}  // namespace
