#include "tools/kwz/FolderListing.h"
#include "tools/kwz/FolderListingShared.h"

#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <iconv.h>
#include <memory>
#include <sys/stat.h>

namespace {

std::string Join(const std::string& folder, const std::string& name)
{
    return folder.empty() || folder.back() == '/' ? folder + name : folder + '/' + name;
}

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

}  // namespace

std::vector<FolderItem> ListFolder(const std::string& folder)
{
    errno = 0;
    std::unique_ptr<DIR, DirCloser> dir(opendir(folder.c_str()));
    if (!dir)
        RaiseFileError("Unable to open folder %s", folder);
    std::vector<FolderItem> items;
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(dir.get());
        if (entry == nullptr) {
            if (errno != 0)
                RaiseFileError("Unable to read folder %s", folder);
            break;
        }
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat info;
        if (stat(Join(folder, name).c_str(), &info) != 0)
            RaiseFileError("Unable to examine %s", Join(folder, name));
        FolderItem item{name, FolderItem::kOther, 0};
        if (S_ISREG(info.st_mode)) {
            item.kind = FolderItem::kFile;
            item.size = static_cast<uint64_t>(info.st_size);
        } else if (S_ISDIR(info.st_mode)) {
            item.kind = FolderItem::kFolder;
        }
        items.push_back(item);
    }
    return items;
}

void AppendFolderFile(const std::string& folder, const std::string& name, uint64_t expectedSize, std::string& out)
{
    const std::string path = Join(folder, name);
    errno = 0;
    std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file)
        RaiseFileError("Unable to open %s for reading", path);
    AppendOpenFile(file.get(), path, expectedSize, out);
}

bool EncodeName(const std::string& utf8, unsigned codePage, std::string& out)
{
    iconv_t converter = iconv_open(("CP" + std::to_string(codePage)).c_str(), "UTF-8");
    if (converter == reinterpret_cast<iconv_t>(-1))
        return false;
    std::string input = utf8;
    std::string result(utf8.size() * 4 + 4, '\0');
    char* in = &input[0];
    size_t inLeft = input.size();
    char* outAt = &result[0];
    size_t outLeft = result.size();
    const size_t done = iconv(converter, &in, &inLeft, &outAt, &outLeft);
    iconv_close(converter);
    // A non-zero count means characters were replaced, not spelled exactly.
    if (done != 0 || inLeft != 0)
        return false;
    result.resize(result.size() - outLeft);
    out = result;
    return true;
}
