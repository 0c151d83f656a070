/* A small Windows program for the stamping tests: it looks up its own
 * payload resource (KWZ/137) and string 103 the way the launcher does, and
 * prints what it found as "size hash string". The FNV-1a hash lets a test
 * compare the payload without passing it around. A second line tells the
 * colour of the middle pixel of icon 108 as the launcher's LoadIconA gets it
 * ("icon RRGGBB"), or "no icon". Exit code 0 when the payload and the string
 * were found, 1 without payload, 2 without the string. */
#include <windows.h>
#include <stdio.h>

static void PrintIcon(void)
{
    HICON icon = LoadIconA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(108));
    ICONINFO info;
    BITMAPINFO format;
    HDC screen = GetDC(NULL);
    DWORD* pixels = NULL;
    if (icon == NULL || !GetIconInfo(icon, &info)) {
        printf("no icon\n");
        ReleaseDC(NULL, screen);
        return;
    }
    ZeroMemory(&format, sizeof format);
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    if (GetDIBits(screen, info.hbmColor, 0, 0, NULL, &format, DIB_RGB_COLORS) != 0) {
        LONG width = format.bmiHeader.biWidth, height = format.bmiHeader.biHeight;
        format.bmiHeader.biBitCount = 32;
        format.bmiHeader.biCompression = BI_RGB;
        format.bmiHeader.biHeight = -height; /* top-down */
        pixels = (DWORD*)HeapAlloc(GetProcessHeap(), 0, (SIZE_T)width * height * 4);
        if (pixels != NULL &&
            GetDIBits(screen, info.hbmColor, 0, (UINT)height, pixels, &format, DIB_RGB_COLORS) == height)
            printf("icon %06lx %ldx%ld\n", (unsigned long)(pixels[(height / 2) * width + width / 2] & 0xFFFFFF),
                   (long)width, (long)height);
        else
            printf("icon unreadable\n");
        HeapFree(GetProcessHeap(), 0, pixels);
    }
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    ReleaseDC(NULL, screen);
}

int main(void)
{
    char text[100] = "";
    HRSRC found = FindResourceA(NULL, MAKEINTRESOURCEA(137), "KWZ");
    int haveString = LoadStringA(GetModuleHandleA(NULL), 103, text, sizeof text) > 0;
    if (found == NULL) {
        printf("no payload\n");
        return 1;
    }
    DWORD size = SizeofResource(NULL, found);
    const unsigned char* bytes = (const unsigned char*)LockResource(LoadResource(NULL, found));
    unsigned long hash = 2166136261u;
    for (DWORD i = 0; i < size; ++i)
        hash = (hash ^ bytes[i]) * 16777619u;
    printf("%lu %08lx %s\n", (unsigned long)size, hash & 0xFFFFFFFFu, text);
    PrintIcon();
    return haveString ? 0 : 2;
}
