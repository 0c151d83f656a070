// The window's painting on a memory device context, read back pixel by pixel.
#include "app/SetupPaint.h"
#include "app/SetupState.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// A 32-bit top-down DIB section selected into a memory context.
class CCanvas {
public:
    CCanvas(int width_, int height_) : width(width_), height(height_), dc(CreateCompatibleDC(nullptr))
    {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
        previous = SelectObject(dc, bitmap);
        std::memset(bits, 0x7F, size_t(width) * height * 4);
    }
    ~CCanvas()
    {
        SelectObject(dc, previous);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }

    HDC Dc() const { return dc; }
    COLORREF At(int x, int y) const
    {
        GdiFlush();
        const uint32_t v = bits[size_t(y) * width + x];
        return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    }

private:
    int width, height;
    HDC dc;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
    uint32_t* bits = nullptr;
};

class PaintTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        appInstance = GetModuleHandleA(nullptr);
        textFont = CreateTextFont();
    }
    void TearDown() override
    {
        DeleteObject(textFont);
        textFont = nullptr;
        progressFraction = 0.0;
    }
};

TEST_F(PaintTest, GradientOfASeventySixRowClientArea)
{
    HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 300, 76, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    RECT client;
    GetClientRect(window, &client);
    ASSERT_EQ(client.bottom - client.top, 76);
    CCanvas canvas(300, 76);
    PaintBackground(window, canvas.Dc());
    DestroyWindow(window);

    EXPECT_EQ(canvas.At(299, 0), RGB(250, 250, 240));
    EXPECT_EQ(canvas.At(0, 38), RGB(217, 217, 212));
    EXPECT_EQ(canvas.At(299, 75), RGB(185, 185, 185));

    // The two lines of text: dark pixels in their rows, from x = 8 on only.
    auto darkIn = [&](int x0, int x1, int y0, int y1) {
        int dark = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                dark += GetRValue(canvas.At(x, y)) < 100 ? 1 : 0;
        return dark;
    };
    EXPECT_GT(darkIn(8, 300, 5, 21), 50);
    EXPECT_GT(darkIn(8, 300, 21, 37), 50);
    EXPECT_EQ(darkIn(0, 8, 0, 76), 0);
    EXPECT_EQ(darkIn(0, 300, 38, 76), 0);
}

// A run of strip columns taken from one bitmap, from its column source on.
struct Piece {
    int x0, x1;  // strip columns x0 to x1 - 1
    WORD bitmap;
    int source;  // source column of x0; tiled columns (129, 134) always use 0
};

struct BarCase {
    const char* name;
    double fraction;
    const char* text;
    std::vector<Piece> pieces;  // later pieces lie over earlier ones
};

void PrintTo(const BarCase& row, std::ostream* os) { *os << row.name; }

// Copies width columns of bitmap id, from column source on, to (x, y) of target.
void CopyColumns(HDC target, WORD id, int x, int y, int source, int width)
{
    HDC from = CreateCompatibleDC(target);
    HBITMAP bitmap = LoadBitmapA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id));
    HGDIOBJ previous = SelectObject(from, bitmap);
    BitBlt(target, x, y, width, kStripHeight, from, source, 0, SRCCOPY);
    SelectObject(from, previous);
    DeleteObject(bitmap);
    DeleteDC(from);
}

// Draws the expected strip from the pieces and the text, centred as given.
void DrawExpected(HDC target, const BarCase& bar)
{
    for (const Piece& piece : bar.pieces) {
        if (piece.bitmap != IDB_TRACK_COLUMN && piece.bitmap != IDB_FILL_COLUMN)
            CopyColumns(target, piece.bitmap, kStripLeft + piece.x0, kStripTop, piece.source, piece.x1 - piece.x0);
        else
            for (int x = piece.x0; x < piece.x1; ++x)
                CopyColumns(target, piece.bitmap, kStripLeft + x, kStripTop, 0, 1);
    }
    HGDIOBJ previousFont = SelectObject(target, textFont);
    SIZE extent;
    const int length = static_cast<int>(std::strlen(bar.text));
    GetTextExtentPointA(target, bar.text, length, &extent);
    SetBkMode(target, TRANSPARENT);
    SetTextColor(target, RGB(0, 0, 0));
    HRGN clip = CreateRectRgn(kStripLeft, kStripTop, kStripLeft + kStripWidth, kStripTop + kStripHeight);
    SelectClipRgn(target, clip);
    TextOutA(target, kStripLeft + (kStripWidth - extent.cx) / 2, kStripTop + (kStripHeight - extent.cy) / 2, bar.text,
             length);
    SelectClipRgn(target, nullptr);
    DeleteObject(clip);
    SelectObject(target, previousFont);
}

// Fractions that give the fill wanted: (fill + 0.5) / 275 truncates to fill.
constexpr double Fill(int fill)
{
    return (fill + 0.5) / 275;
}

const Piece kTrack = {6, 269, IDB_TRACK_COLUMN, 0};
const Piece kTrackRight = {269, 275, IDB_TRACK_RIGHT, 0};
const Piece kTrackLeft = {0, 6, IDB_TRACK_LEFT, 0};

class ProgressBarTest : public PaintTest, public ::testing::WithParamInterface<BarCase> {};

TEST_P(ProgressBarTest, ComposesThePiecesAndThePercentage)
{
    const BarCase& bar = GetParam();
    CCanvas painted(300, 100), expected(300, 100);
    progressFraction = bar.fraction;
    PaintProgressBar(painted.Dc());
    DrawExpected(expected.Dc(), bar);

    int wrong = 0;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 300; ++x)
            if (painted.At(x, y) != expected.At(x, y) && wrong++ < 5)
                ADD_FAILURE() << "pixel (" << x << ", " << y << ") of the window: " << std::hex << painted.At(x, y)
                              << " instead of " << expected.At(x, y);
    EXPECT_EQ(wrong, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Fills, ProgressBarTest,
    ::testing::Values(
        BarCase{"Empty", 0.0, "0 %", {kTrack, kTrackRight, kTrackLeft}},
        BarCase{"Fill1", Fill(1), "0 %", {kTrack, kTrackRight, kTrackLeft, {0, 1, IDB_FILL_RIGHT, 4}}},
        BarCase{"Fill7", Fill(7), "2 %",
                {{7, 269, IDB_TRACK_COLUMN, 0}, kTrackRight, {0, 3, IDB_FILL_LEFT, 0}, {3, 7, IDB_FILL_RIGHT, 1}}},
        BarCase{"Fill10", Fill(10), "3 %",
                {{10, 269, IDB_TRACK_COLUMN, 0}, kTrackRight, {0, 5, IDB_FILL_LEFT, 0}, {5, 10, IDB_FILL_RIGHT, 0}}},
        BarCase{"Fill11", Fill(11), "4 %",
                {{11, 269, IDB_TRACK_COLUMN, 0}, kTrackRight, {0, 5, IDB_FILL_LEFT, 0}, {6, 11, IDB_FILL_RIGHT, 0},
                 {5, 6, IDB_FILL_COLUMN, 0}}},
        BarCase{"LastReportOfTheCarriedPayload", 1534001.0 / 1534023, "99 %",
                {kTrackRight, {0, 5, IDB_FILL_LEFT, 0}, {269, 274, IDB_FILL_RIGHT, 0}, {5, 269, IDB_FILL_COLUMN, 0}}},
        BarCase{"Full", 1.0, "100 %",
                {kTrackRight, {0, 5, IDB_FILL_LEFT, 0}, {270, 275, IDB_FILL_RIGHT, 0}, {5, 270, IDB_FILL_COLUMN, 0}}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(PaintTest, StripBitmapsHaveTheirSizesAndColours)
{
    const struct {
        WORD id;
        int width;
    } bitmaps[] = {{IDB_TRACK_COLUMN, 1}, {IDB_TRACK_RIGHT, 6}, {IDB_TRACK_LEFT, 6},
                   {IDB_FILL_LEFT, 5},    {IDB_FILL_RIGHT, 5},  {IDB_FILL_COLUMN, 1}};
    for (const auto& expected : bitmaps) {
        HBITMAP bitmap = LoadBitmapA(appInstance, MAKEINTRESOURCEA(expected.id));
        ASSERT_NE(bitmap, nullptr) << expected.id;
        BITMAP info = {};
        GetObjectA(bitmap, sizeof info, &info);
        EXPECT_EQ(info.bmWidth, expected.width) << expected.id;
        EXPECT_EQ(info.bmHeight, 20) << expected.id;
        DeleteObject(bitmap);
    }

    CCanvas canvas(2, 20);
    CopyColumns(canvas.Dc(), IDB_TRACK_COLUMN, 0, 0, 0, 1);
    CopyColumns(canvas.Dc(), IDB_FILL_COLUMN, 1, 0, 0, 1);
    EXPECT_EQ(canvas.At(0, 0), RGB(24, 25, 28));
    EXPECT_EQ(canvas.At(0, 19), RGB(234, 235, 235));
    EXPECT_EQ(canvas.At(1, 0), RGB(44, 64, 67));
    EXPECT_EQ(canvas.At(1, 6), RGB(235, 255, 255));
    EXPECT_EQ(canvas.At(1, 19), RGB(182, 206, 207));
    for (int y = 0; y < 20; ++y)
        EXPECT_LE(GetRValue(canvas.At(1, y)), 235) << "row 6 is the brightest, row " << y;
}

TEST_F(PaintTest, IconGroupHoldsThreeSizesInTwoDepths)
{
    // The group directory: 6-byte header, then 14-byte entries (width,
    // height, colours, reserved, planes, bit count, bytes, identifier).
    HRSRC group = FindResourceA(appInstance, MAKEINTRESOURCEA(IDI_SETUP), MAKEINTRESOURCEA(14));  // RT_GROUP_ICON
    ASSERT_NE(group, nullptr);
    const BYTE* directory = static_cast<const BYTE*>(LockResource(LoadResource(appInstance, group)));
    const WORD count = *reinterpret_cast<const WORD*>(directory + 4);
    std::vector<std::pair<int, int>> images;
    for (WORD i = 0; i < count; ++i) {
        const BYTE* entry = directory + 6 + 14 * i;
        images.push_back({entry[0], *reinterpret_cast<const WORD*>(entry + 6)});
    }
    std::sort(images.begin(), images.end());
    const std::vector<std::pair<int, int>> expected = {{16, 8}, {16, 32}, {32, 8}, {32, 32}, {48, 8}, {48, 32}};
    EXPECT_EQ(images, expected);
}

}  // namespace
