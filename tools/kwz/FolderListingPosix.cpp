#include "tools/kwz/FolderListing.h"
#include "tools/kwz/FolderListingShared.h"

#include "tools/kwz/FileHandle.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <iconv.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string Join(const std::string& folder, const std::string& name)
{
    return folder.empty() || folder.back() == '/' ? folder + name : folder + '/' + name;
}

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

// What a link at path names, and what stands there when followed.
std::string DescribeLink(const std::string& path)
{
    std::string named(4096, '\0');
    const ssize_t length = readlink(path.c_str(), &named[0], named.size());
    named.resize(length > 0 ? static_cast<size_t>(length) : 0);
    struct stat followed;
    const char* what = "nothing";
    if (stat(path.c_str(), &followed) == 0)
        what = S_ISREG(followed.st_mode) ? "a file" : S_ISDIR(followed.st_mode) ? "a folder" : "a special file";
    return named + ", " + what;
}

// Converts with iconv; false when the conversion is unknown or inexact.
bool Convert(const std::string& from, const std::string& to, const std::string& text, std::string& out)
{
    iconv_t converter = iconv_open(to.c_str(), from.c_str());
    if (converter == reinterpret_cast<iconv_t>(-1))
        return false;
    std::string input = text;
    std::string result(text.size() * 4 + 4, '\0');
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

std::string CodePageName(unsigned codePage)
{
    return "CP" + std::to_string(codePage);
}

}  // namespace

std::vector<FolderItem> ListFolder(const std::string& folder)
{
    std::unique_ptr<DIR, DirCloser> dir(opendir(folder.c_str()));
    if (!dir)
        RaiseFileError("read folder", folder);
    std::vector<FolderItem> items;
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(dir.get());
        if (entry == nullptr) {
            if (errno != 0)
                RaiseFileError("read folder", folder);
            break;
        }
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        const std::string path = Join(folder, name);
        struct stat info;
        if (lstat(path.c_str(), &info) != 0)
            RaiseFileError("examine", path);
        FolderItem item{name, FolderItem::kOther, 0, std::string()};
        if (S_ISREG(info.st_mode)) {
            item.kind = FolderItem::kFile;
            item.size = static_cast<uint64_t>(info.st_size);
        } else if (S_ISDIR(info.st_mode)) {
            item.kind = FolderItem::kFolder;
        } else if (S_ISLNK(info.st_mode)) {
            item.kind = FolderItem::kLink;
            item.leadsTo = DescribeLink(path);
        }
        items.push_back(item);
    }
    return items;
}

void AppendFolderFile(const std::string& folder, const std::string& name, uint64_t expectedSize, std::string& out,
                      CProgressBar* bar)
{
    const std::string path = Join(folder, name);
    // Not through a link, and not blocking on a pipe that took the file's place.
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        if (errno == ELOOP)
            RaiseChangedFile(path);
        RaiseFileError("open", path);
    }
    struct CCloser {
        int fd;
        ~CCloser() { close(fd); }
    } closer{fd};
    struct stat info;
    if (fstat(fd, &info) != 0)
        RaiseFileError("examine", path);
    if (!S_ISREG(info.st_mode))
        RaiseChangedFile(path);
    AppendAll(
        [&](char* buffer, size_t size) {
            for (;;) {
                const ssize_t got = read(fd, buffer, size);
                if (got >= 0)
                    return static_cast<size_t>(got);
                if (errno != EINTR)
                    RaiseFileError("read", path);
            }
        },
        path, expectedSize, out, bar);
}

bool IsSameFile(const std::string& folder, const std::string& name, const std::string& path)
{
    struct stat a, b;
    return stat(Join(folder, name).c_str(), &a) == 0 && stat(path.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}

bool EncodeName(const std::string& utf8, unsigned codePage, std::string& out)
{
    return Convert("UTF-8", CodePageName(codePage), utf8, out);
}

bool DecodeName(const std::string& stored, unsigned codePage, std::string& utf8)
{
    return Convert(CodePageName(codePage), "UTF-8", stored, utf8);
}
