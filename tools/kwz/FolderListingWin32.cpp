#include "tools/kwz/FolderListing.h"
#include "tools/kwz/FolderListingShared.h"

#include <windows.h>

#include <cstdio>
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

std::string Utf8(const std::wstring& wide)
{
    if (wide.empty())
        return std::string();
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                      nullptr);
    std::string text(static_cast<size_t>(n), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &text[0], n, nullptr, nullptr);
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

}  // namespace

std::vector<FolderItem> ListFolder(const std::string& folder)
{
    WIN32_FIND_DATAW found;
    const HANDLE first = FindFirstFileW(WideJoin(folder, "*").c_str(), &found);
    if (first == INVALID_HANDLE_VALUE)
        RaiseFileError("Unable to open folder %s", folder);
    std::unique_ptr<void, FindCloser> search(first);
    std::vector<FolderItem> items;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        FolderItem item{Utf8(name), FolderItem::kFile, 0};
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            item.kind = FolderItem::kFolder;
        else if ((found.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) != 0)
            item.kind = FolderItem::kOther;
        else
            item.size = static_cast<uint64_t>(found.nFileSizeHigh) << 32 | found.nFileSizeLow;
        items.push_back(item);
    } while (FindNextFileW(first, &found));
    if (GetLastError() != ERROR_NO_MORE_FILES)
        RaiseFileError("Unable to read folder %s", folder);
    return items;
}

void AppendFolderFile(const std::string& folder, const std::string& name, uint64_t expectedSize, std::string& out)
{
    const std::string path = Join(folder, name);
    std::unique_ptr<FILE, FileCloser> file(_wfopen(WideJoin(folder, name).c_str(), L"rb"));
    if (!file)
        RaiseFileError("Unable to open %s for reading", path);
    AppendOpenFile(file.get(), path, expectedSize, out);
}

bool EncodeName(const std::string& utf8, unsigned codePage, std::string& out)
{
    const std::wstring wide = Widen(utf8, CP_UTF8);
    if (wide.empty() || !IsValidCodePage(codePage))
        return false;
    BOOL replaced = FALSE;
    const int n = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                                      nullptr, 0, nullptr, &replaced);
    if (n <= 0 || replaced)
        return false;
    std::string text(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()), &text[0], n,
                        nullptr, &replaced);
    if (replaced)
        return false;
    out = text;
    return true;
}
