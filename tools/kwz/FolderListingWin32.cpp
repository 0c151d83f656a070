#include "tools/kwz/FolderListing.h"
#include "tools/kwz/FolderListingShared.h"

#include "tools/kwz/FileHandle.h"

#include <windows.h>

#include <memory>

namespace {

std::wstring Widen(const std::string& text, UINT codePage)
{
    if (text.empty())
        return std::wstring();
    const int n = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    if (n > 0)
        MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), &wide[0], n);
    return wide;
}

// wide in codePage; false when a character has no exact spelling there.
bool Narrow(const std::wstring& wide, UINT codePage, std::string& out)
{
    if (wide.empty())
        return false;
    const bool utf8 = codePage == CP_UTF8;
    BOOL replaced = FALSE;
    const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const int n = WideCharToMultiByte(codePage, flags, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                      nullptr, utf8 ? nullptr : &replaced);
    if (n <= 0 || replaced)
        return false;
    std::string text(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(codePage, flags, wide.data(), static_cast<int>(wide.size()), &text[0], n, nullptr,
                        utf8 ? nullptr : &replaced);
    if (replaced)
        return false;
    out = text;
    return true;
}

std::string Utf8(const std::wstring& wide)
{
    std::string text;
    Narrow(wide, CP_UTF8, text);
    return text;
}

// The folder (an argument, so in the ANSI code page) joined with a name.
std::wstring WideJoin(const std::string& folder, const std::string& utf8Name)
{
    std::wstring path = Widen(folder, CP_ACP);
    if (!path.empty() && path.back() != L'\\' && path.back() != L'/')
        path += L'\\';
    return path + Widen(utf8Name, CP_UTF8);
}

std::string Join(const std::string& folder, const std::string& name)
{
    return folder.empty() || folder.back() == '\\' || folder.back() == '/' ? folder + name : folder + '\\' + name;
}

struct FindCloser {
    void operator()(HANDLE search) const { FindClose(search); }
};

struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};

// The file itself, never what a reparse point leads to.
HANDLE OpenItem(const std::wstring& path)
{
    return CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

}  // namespace

std::vector<FolderItem> ListFolder(const std::string& folder)
{
    WIN32_FIND_DATAW found;
    const HANDLE first = FindFirstFileW(WideJoin(folder, "*").c_str(), &found);
    if (first == INVALID_HANDLE_VALUE)
        RaiseFileError("read folder", folder);
    std::unique_ptr<void, FindCloser> search(first);
    std::vector<FolderItem> items;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        FolderItem item{Utf8(name), FolderItem::kFile, 0, std::string()};
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            item.kind = FolderItem::kLink;
            item.leadsTo = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? "a folder" : "a file";
        } else if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            item.kind = FolderItem::kFolder;
        } else if ((found.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) != 0) {
            item.kind = FolderItem::kOther;
        } else {
            item.size = static_cast<uint64_t>(found.nFileSizeHigh) << 32 | found.nFileSizeLow;
        }
        items.push_back(item);
    } while (FindNextFileW(first, &found));
    if (GetLastError() != ERROR_NO_MORE_FILES)
        RaiseFileError("read folder", folder);
    return items;
}

void AppendFolderFile(const std::string& folder, const std::string& name, uint64_t expectedSize, std::string& out,
                      CProgressBar* bar)
{
    const std::string path = Join(folder, name);
    const HANDLE opened = OpenItem(WideJoin(folder, name));
    if (opened == INVALID_HANDLE_VALUE)
        RaiseFileError("open", path);
    std::unique_ptr<void, HandleCloser> file(opened);
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(opened, &info))
        RaiseFileError("examine", path);
    if ((info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0 ||
        GetFileType(opened) != FILE_TYPE_DISK)
        RaiseChangedFile(path);
    AppendAll(
        [&](char* buffer, size_t size) {
            DWORD got = 0;
            if (!ReadFile(opened, buffer, static_cast<DWORD>(size), &got, nullptr))
                RaiseFileError("read", path);
            return static_cast<size_t>(got);
        },
        path, expectedSize, out, bar);
}

bool IsSameFile(const std::string& folder, const std::string& name, const std::string& path)
{
    const HANDLE a = CreateFileW(WideJoin(folder, name).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, 0, nullptr);
    if (a == INVALID_HANDLE_VALUE)
        return false;
    std::unique_ptr<void, HandleCloser> closeA(a);
    const HANDLE b = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    if (b == INVALID_HANDLE_VALUE)
        return false;
    std::unique_ptr<void, HandleCloser> closeB(b);
    BY_HANDLE_FILE_INFORMATION ia, ib;
    return GetFileInformationByHandle(a, &ia) && GetFileInformationByHandle(b, &ib) &&
           ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber && ia.nFileIndexHigh == ib.nFileIndexHigh &&
           ia.nFileIndexLow == ib.nFileIndexLow;
}

bool EncodeName(const std::string& utf8, unsigned codePage, std::string& out)
{
    return IsValidCodePage(codePage) && Narrow(Widen(utf8, CP_UTF8), codePage, out);
}

bool DecodeName(const std::string& stored, unsigned codePage, std::string& out)
{
    return IsValidCodePage(codePage) && Narrow(Widen(stored, codePage), CP_ACP, out);
}
