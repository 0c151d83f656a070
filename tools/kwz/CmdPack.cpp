// kwz pack DIR OUT: the files directly in DIR as one payload, an archive image
// compressed with the launcher's codec.
#include "tools/kwz/Command.h"
#include "tools/kwz/FileIo.h"
#include "tools/kwz/FolderListing.h"
#include "tools/kwz/MemoryStreams.h"
#include "tools/kwz/PackFolder.h"
#include "tools/kwz/ProgressBar.h"

#include "archive/ArchiveFormat.h"
#include "archive/ArchiveName.h"
#include "archive/ArchiveWriter.h"
#include "archive/LzssCodec.h"
#include "base/KwoException.h"

#include <algorithm>
#include <cstdio>
#include <istream>
#include <map>
#include <memory>

namespace {

const char kInstallerName[] = "KwoWardenInstaller.exe";

struct PackFile {
    std::string diskName;    // as listed
    std::string storedName;  // as the launcher will read it
    uint64_t size;
};

}  // namespace

unsigned TakeCodePage(Arguments& args)
{
    const std::string option = "--codepage";
    for (auto it = args.begin(); it != args.end(); ++it) {
        std::string value;
        if (*it == option) {
            if (it + 1 == args.end())
                UsageError("--codepage needs a code page number, such as 1252");
            value = *(it + 1);
            args.erase(it, it + 2);
        } else if (it->compare(0, option.size() + 1, option + "=") == 0) {
            value = it->substr(option.size() + 1);
            args.erase(it);
        } else {
            continue;
        }
        if (value.size() > 2 && (value[0] == 'c' || value[0] == 'C') && (value[1] == 'p' || value[1] == 'P'))
            value.erase(0, 2);
        if (value.empty() || value.size() > 5 || value.find_first_not_of("0123456789") != std::string::npos ||
            std::stoul(value) == 0 || std::stoul(value) > 65535)
            UsageError("--codepage takes a Windows code page number, such as 1252, not '" + value + "'");
        return static_cast<unsigned>(std::stoul(value));
    }
    return 0;
}

namespace {

bool IsPrintableAscii(const std::string& name)
{
    return std::all_of(name.begin(), name.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
}

std::string FoldCase(std::string name)
{
    for (char& c : name)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return name;
}

// What the launcher would read for diskName, or a reason why it cannot be packed.
std::string StoredName(const std::string& diskName, unsigned codePage, std::string& problem)
{
    std::string stored = diskName;
    if (codePage != 0 && !EncodeName(diskName, codePage, stored)) {
        problem = "code page " + std::to_string(codePage) + " cannot spell the name (or is not known here)";
        return stored;
    }
    if (const char* why = FileNameProblem(stored))
        problem = std::string(why) + ", so the launcher would refuse the payload";
    else if (codePage == 0 && !IsPrintableAscii(stored))
        problem = "the name is not printable ASCII, and the launcher reads names in the ANSI code page of the "
                  "machine it runs on (--codepage converts names to a given one)";
    else if (stored.back() == '.' || stored.back() == ' ')
        problem = "Windows drops a trailing dot or blank, so the file would get another name";
    return stored;
}

std::string Quoted(const std::string& name)
{
    return "\"" + PrintableName(name) + "\"";
}

// The files of folder in the order they are packed, or a raise listing every
// item that cannot be packed.
std::vector<PackFile> CollectFiles(const std::string& folder, unsigned codePage)
{
    std::vector<std::string> problems;
    std::vector<PackFile> files;
    // In name order, so that the culprits are listed the same way every time.
    std::vector<FolderItem> items = ListFolder(folder);
    std::sort(items.begin(), items.end(),
              [](const FolderItem& a, const FolderItem& b) { return a.name < b.name; });
    for (const FolderItem& item : items) {
        if (item.kind == FolderItem::kFolder) {
            problems.push_back(Quoted(item.name) + " is a folder; a payload holds only the files directly in the folder");
            continue;
        }
        if (item.kind == FolderItem::kOther) {
            problems.push_back(Quoted(item.name) + " is not a regular file");
            continue;
        }
        std::string problem;
        const std::string stored = StoredName(item.name, codePage, problem);
        if (!problem.empty())
            problems.push_back(Quoted(item.name) + ": " + problem);
        else if (item.size > kLargestImage)
            problems.push_back(Quoted(item.name) + " holds " + std::to_string(item.size) +
                               " bytes; an entry holds at most 4294967295");
        else
            files.push_back(PackFile{item.name, stored, item.size});
    }
    std::sort(files.begin(), files.end(),
              [](const PackFile& a, const PackFile& b) { return a.storedName < b.storedName; });

    // Windows would write two names that differ only in letter case to one file.
    std::map<std::string, const PackFile*> folded;
    for (const PackFile& file : files) {
        const auto seen = folded.emplace(FoldCase(file.storedName), &file);
        if (!seen.second)
            problems.push_back(Quoted(seen.first->second->diskName) + " and " + Quoted(file.diskName) +
                               " would be one file on Windows, which ignores letter case");
    }
    if (files.empty() && problems.empty())
        problems.push_back("it holds no files");
    if (!problems.empty()) {
        std::string message = "cannot pack " + folder + ":";
        for (const std::string& problem : problems)
            message += "\n  " + problem;
        ThrowError("PackError", message.c_str(), 0, 0);
    }
    return files;
}

// The archive image of files: header, directory, then each file's bytes.
std::string BuildImage(const std::string& folder, const std::vector<PackFile>& files)
{
    std::vector<ArchiveFileInfo> layout;
    for (const PackFile& file : files)
        layout.push_back(ArchiveFileInfo{file.storedName, file.size});
    const uint64_t imageSize = ArchiveImageSize(layout);
    if (imageSize > kLargestImage)
        ThrowError("PackError",
                   ("cannot pack " + folder + ": the image would take " + std::to_string(imageSize) +
                    " bytes, more than the 4294967295 its 32-bit offsets reach")
                       .c_str(),
                   0, 0);
    std::string image = ArchiveDirectoryBytes(layout);
    image.reserve(static_cast<size_t>(imageSize));
    for (const PackFile& file : files)
        AppendFolderFile(folder, file.diskName, file.size, image);
    return image;
}

bool HasInstaller(const std::vector<PackFile>& files)
{
    const std::string wanted = FoldCase(kInstallerName);
    return std::any_of(files.begin(), files.end(),
                       [&](const PackFile& file) { return FoldCase(file.storedName) == wanted; });
}

}  // namespace

std::string PackFolderImage(const std::string& folder, unsigned codePage)
{
    const std::vector<PackFile> files = CollectFiles(folder, codePage);
    if (!HasInstaller(files))
        std::fprintf(stderr, "kwz: warning: %s holds no %s; a setup program with this payload will "
                     "extract the files and then report \"Unable to start installation program.\"\n",
                     folder.c_str(), kInstallerName);
    return BuildImage(folder, files);
}

LzssParse TakeParse(Arguments& args)
{
    return TakeFlag(args, nullptr, "--smallest") ? LzssParse::kSmallest : LzssParse::kExact;
}

void EncodePayload(const std::string& image, LzssParse parse, bool quiet, std::ostream& out)
{
    CProgressBar bar("packing", image.size(), ShowProgress(quiet));
    CMemoryInputBuffer inputBuffer(image, &bar);
    std::istream input(&inputBuffer);
    std::unique_ptr<CLzssCodec> codec = NewLzssEncoder(parse);
    codec->Encode(input, out, nullptr, nullptr, 1);
    bar.Finish();
}

namespace {

int Pack(const Arguments& given)
{
    Arguments args = given;
    const bool quiet = TakeFlag(args, "-q", "--quiet");
    const LzssParse parse = TakeParse(args);
    const unsigned codePage = TakeCodePage(args);
    ExpectOperands(args, 2, "pack");
    const std::string image = PackFolderImage(args[0], codePage);
    COutputFile output(args[1]);
    EncodePayload(image, parse, quiet, output.Stream());
    output.Commit();
    return kExitOk;
}

}  // namespace

const CommandInfo kPackCommand = {
    "pack", "[-q] [--smallest] [--codepage N] DIR OUT", "pack a folder into a payload",
    "Packs the files directly in DIR into the payload OUT: one archive image\n"
    "(header, directory, then the files' bytes) compressed with the launcher's\n"
    "LZSS codec. Files go in byte order of their names, so the same folder always\n"
    "gives the same bytes. OUT may be - for standard output; on any error it is\n"
    "not written.\n"
    "\n"
    "The launcher starts KwoWardenInstaller.exe from the extracted files; a\n"
    "warning says so when DIR has none.\n"
    "\n"
    "Refused, with every culprit named: an empty DIR, a folder inside DIR, a file\n"
    "of 4 GiB or more or an image beyond 4 GiB - 1 bytes, and names the launcher\n"
    "would refuse or Windows would change: names with \\ / : < > \" | ? * or control\n"
    "characters, device names (CON, NUL, COM1, LPT1, ... with any extension),\n"
    "names of dots only or ending in a dot or blank, and names that differ only\n"
    "in letter case.\n"
    "\n"
    "Names must be printable ASCII, since the launcher reads them in the ANSI\n"
    "code page of the machine it runs on, which the packer cannot know.\n"
    "\n"
    "Options:\n"
    "  --smallest    choose the tokens for the smallest payload instead of those\n"
    "                of the format's own encoder: about 7 % smaller on programs\n"
    "                and 6 % on text, encoded at about the same speed. The same\n"
    "                launcher extracts it, just as fast. The same folder still\n"
    "                gives the same bytes.\n"
    "  --codepage N  store the names in Windows code page N (1252 Western, 1250\n"
    "                Central European, 1251 Cyrillic, 932 Japanese, ...); the\n"
    "                setup then works on machines whose ANSI code page is N.\n"
    "                Names on Linux are taken for UTF-8.\n"
    "  -q, --quiet   no progress bar (it is shown only on a terminal anyway)\n",
    Pack};
