#include "app/SetupPaint.h"

#include "app/HandleOwners.h"
#include "app/SetupState.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr int kEndWidth = 6;       // the track's rounded ends
constexpr int kFillEndWidth = 5;   // the fill's rounded ends
constexpr int kDefaultRows = 20;   // used when the track bitmap is missing

// One bitmap of the strip, loaded from the resources into a memory context of
// its own and released with it.
class CStripPiece {
public:
    CStripPiece(HDC strip, WORD id)
        : dc(strip), bitmap(LoadBitmapA(appInstance, MAKEINTRESOURCEA(id))), selection(dc.Get(), bitmap.Get())
    {
    }

    // Width and height of the bitmap; 0 when it could not be loaded.
    SIZE Size() const
    {
        BITMAP info = {};
        if (bitmap.Get() == nullptr || GetObjectA(bitmap.Get(), sizeof info, &info) == 0)
            return SIZE{0, 0};
        return SIZE{info.bmWidth, info.bmHeight};
    }

    void CopyTo(HDC strip, int x, int sourceX, int width, int height) const
    {
        BitBlt(strip, x, 0, width, height, dc.Get(), sourceX, 0, SRCCOPY);
    }

private:
    CMemoryDC dc;
    CGdiObject bitmap;
    CSelection selection;
};

void PaintPercentage(HDC strip)
{
    const int percent = static_cast<int>(progressFraction.load(std::memory_order_relaxed) * 100);
    char text[16];
    std::snprintf(text, sizeof text, "%d %%", percent);
    const int length = static_cast<int>(std::strlen(text));

    CSelection font(strip, textFont);
    SIZE extent = {};
    GetTextExtentPointA(strip, text, length, &extent);
    SetTextColor(strip, RGB(0, 0, 0));
    SetBkMode(strip, TRANSPARENT);
    TextOutA(strip, (kStripWidth - extent.cx) / 2, (kStripHeight - extent.cy) / 2, text, length);
}

}  // namespace

void PaintBackground(HWND window, HDC dc)
{
    RECT client = {};
    GetClientRect(window, &client);
    const int height = client.bottom - client.top;
    for (int y = client.top; y < client.bottom; ++y) {
        const double t = static_cast<double>(y - client.top) / height;
        const BYTE grey = static_cast<BYTE>(static_cast<int>(250 * (1 - t) + 185 * t));
        const BYTE blue = static_cast<BYTE>(static_cast<int>(240 * (1 - t) + 185 * t));
        SetBkColor(dc, RGB(grey, grey, blue));
        const RECT row = {client.left, y, client.right, y + 1};
        ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &row, nullptr, 0, nullptr);
    }

    static const char kFirstLine[] = "Please wait while the setup extracts the";
    static const char kSecondLine[] = "files needed for the installation.";
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkMode(dc, TRANSPARENT);
    CSelection font(dc, textFont);
    TextOutA(dc, 8, 5, kFirstLine, sizeof kFirstLine - 1);
    TextOutA(dc, 8, 21, kSecondLine, sizeof kSecondLine - 1);
}

void PaintProgressBar(HDC dc)
{
    CMemoryDC strip(dc);
    CGdiObject stripBitmap(CreateCompatibleBitmap(dc, kStripWidth, kStripHeight));
    CSelection stripSelection(strip.Get(), stripBitmap.Get());
    {
        const CStripPiece track(strip.Get(), IDB_TRACK_COLUMN);
        SIZE tile = track.Size();
        // The tiling loops advance by the track column's width; a missing
        // bitmap must not stop them from ending.
        if (tile.cx < 1 || tile.cy < 1)
            tile = SIZE{1, kDefaultRows};
        const int w = tile.cx;
        const int h = tile.cy;

        const int fill = static_cast<int>(progressFraction.load(std::memory_order_relaxed) * kStripWidth);

        for (int x = fill > kEndWidth ? fill : kEndWidth; x < kStripWidth - kEndWidth; x += w)
            track.CopyTo(strip.Get(), x, 0, w, h);
        CStripPiece(strip.Get(), IDB_TRACK_RIGHT).CopyTo(strip.Get(), kStripWidth - kEndWidth, 0, kEndWidth, h);
        if (fill < kEndWidth)
            CStripPiece(strip.Get(), IDB_TRACK_LEFT).CopyTo(strip.Get(), 0, 0, kEndWidth, h);

        if (fill > 0) {
            const int left = fill >= 2 * kFillEndWidth ? kFillEndWidth : fill / 2;
            const int right = left + (left < kFillEndWidth && fill % 2 == 1 ? 1 : 0);
            CStripPiece(strip.Get(), IDB_FILL_LEFT).CopyTo(strip.Get(), 0, 0, left, h);
            CStripPiece(strip.Get(), IDB_FILL_RIGHT)
                .CopyTo(strip.Get(), fill - right, kFillEndWidth - right, right, h);
            const CStripPiece column(strip.Get(), IDB_FILL_COLUMN);
            for (int x = right; x < fill - right; x += w)
                column.CopyTo(strip.Get(), x, 0, w, h);
        }
        PaintPercentage(strip.Get());
    }
    BitBlt(dc, kStripLeft, kStripTop, kStripWidth, kStripHeight, strip.Get(), 0, 0, SRCCOPY);
}

HFONT CreateTextFont()
{
    return CreateFontA(16, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "Verdana");
}
