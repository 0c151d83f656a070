// kwz pack DIR OUT: the files directly in DIR as one payload, an archive image
// compressed with the launcher's codec.
#include "tools/kwz/Command.h"
#include "tools/kwz/FileIo.h"
#include "tools/kwz/FolderListing.h"
#include "tools/kwz/Glob.h"
#include "tools/kwz/LauncherBudget.h"
#include "tools/kwz/LoadedPayload.h"
#include "tools/kwz/MemoryStreams.h"
#include "tools/kwz/PackFolder.h"
#include "tools/kwz/PayloadFile.h"
#include "tools/kwz/ProgressBar.h"
#include "tools/kwz/Summary.h"
#include "tools/kwz/pe/PeImage.h"

#include "archive/ArchiveFormat.h"
#include "archive/ArchiveWriter.h"
#include "archive/LzssCodec.h"
#include "base/KwoException.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <istream>
#include <memory>
#include <system_error>

namespace {

const char kInstallerName[] = "KwoWardenInstaller.exe";

[[noreturn]] void RaisePackError(const std::string& folder, const std::vector<std::string>& problems)
{
    std::string message = "cannot pack " + folder + ":";
    for (const std::string& problem : problems)
        message += "\n  " + problem;
    ThrowError("PackError", message.c_str(), 0, 0);
}

bool Excluded(const std::string& name, const CPackOptions& options)
{
    return std::any_of(options.excludes.begin(), options.excludes.end(),
                       [&](const std::string& pattern) { return GlobMatch(pattern, name); });
}

// Why item cannot be packed as it is, or an empty text.
std::string ItemProblem(const FolderItem& item)
{
    switch (item.kind) {
    case FolderItem::kFile:
        return std::string();
    case FolderItem::kFolder:
        return Quoted(item.name) + " is a folder; a payload holds only the files directly in the folder";
    case FolderItem::kLink:
        return Quoted(item.name) + " is a symbolic link (to " + item.leadsTo +
               "); links are not followed: put the file itself in the folder, or --exclude the link";
    case FolderItem::kOther:
        break;
    }
    return Quoted(item.name) + " is not a regular file";
}

bool IsInstaller(const std::string& storedName)
{
    return FoldCase(storedName) == FoldCase(kInstallerName);
}

}  // namespace

CPackOptions TakePackOptions(Arguments& args)
{
    CPackOptions options;
    options.quiet = TakeFlag(args, "-q", "--quiet");
    options.parse = TakeFlag(args, nullptr, "--smallest") ? LzssParse::kSmallest : LzssParse::kExact;
    options.codePage = TakeCodePage(args);
    options.excludes = TakeOption(args, "--exclude", "a pattern, such as '*.pdb'");
    return options;
}

CFolderPlan PlanFolder(const std::string& folder, const CPackOptions& options)
{
    CFolderPlan plan;
    plan.folder = folder;
    std::vector<std::string> problems;
    // In name order, so that the culprits are listed the same way every time.
    std::vector<FolderItem> items = ListFolder(folder);
    std::sort(items.begin(), items.end(), [](const FolderItem& a, const FolderItem& b) { return a.name < b.name; });
    for (const FolderItem& item : items) {
        if (Excluded(item.name, options))
            continue;
        // An earlier output in the folder is not packed into the next one.
        if (item.kind == FolderItem::kFile && !options.output.empty() && options.output != "-" &&
            IsSameFile(folder, item.name, options.output))
            continue;
        const std::string itemProblem = ItemProblem(item);
        if (!itemProblem.empty()) {
            problems.push_back(itemProblem);
            continue;
        }
        std::string problem;
        const std::string stored = StoredName(item.name, options.codePage, problem);
        if (!problem.empty())
            problems.push_back(Quoted(item.name) + ": " + problem);
        else if (item.size > kLargestImage)
            problems.push_back(Quoted(item.name) + " holds " + std::to_string(item.size) +
                               " bytes; an entry holds at most 4294967295");
        else
            plan.files.push_back(CPackedFile{CPackName{item.name, stored}, item.size});
    }
    // The launcher's order is the stored names' byte order, whatever the disk's.
    std::sort(plan.files.begin(), plan.files.end(),
              [](const CPackedFile& a, const CPackedFile& b) { return a.name.storedName < b.name.storedName; });
    std::vector<CPackName> names;
    for (const CPackedFile& file : plan.files)
        names.push_back(file.name);
    for (const std::string& twin : CaseTwinProblems(names))
        problems.push_back(twin);
    if (plan.files.empty() && problems.empty())
        problems.push_back("it holds no files");
    if (!problems.empty())
        RaisePackError(folder, problems);

    std::vector<ArchiveFileInfo> layout;
    for (const CPackedFile& file : plan.files)
        layout.push_back(ArchiveFileInfo{file.name.storedName, file.size});
    plan.imageSize = ArchiveImageSize(layout);
    if (plan.imageSize > kLargestImage)
        RaisePackError(folder, {"the image would take " + std::to_string(plan.imageSize) +
                                " bytes, more than the 4294967295 its 32-bit offsets reach"});
    if (std::none_of(plan.files.begin(), plan.files.end(), [](const CPackedFile& f) { return IsInstaller(f.name.storedName); }))
        std::fprintf(stderr, "kwz: warning: %s holds no %s; a setup program with this payload will "
                     "extract the files and then report \"Unable to start installation program.\"\n",
                     folder.c_str(), kInstallerName);
    return plan;
}

std::string BuildImage(const CFolderPlan& plan, bool quiet)
{
    std::vector<ArchiveFileInfo> layout;
    for (const CPackedFile& file : plan.files)
        layout.push_back(ArchiveFileInfo{file.name.storedName, file.size});
    std::string image = ArchiveDirectoryBytes(layout);
    image.reserve(static_cast<size_t>(plan.imageSize));
    CProgressBar bar("reading", plan.imageSize, ShowProgress(quiet));
    for (const CPackedFile& file : plan.files)
        AppendFolderFile(plan.folder, file.name.diskName, file.size, image, &bar);
    bar.Finish();
    return image;
}

uint64_t EncodePayload(const std::string& image, LzssParse parse, bool quiet, std::ostream& out)
{
    CProgressBar bar("packing", image.size(), ShowProgress(quiet));
    CMemoryInputBuffer inputBuffer(image, &bar);
    std::istream input(&inputBuffer);
    std::unique_ptr<CLzssCodec> codec = NewLzssEncoder(parse);
    const std::streampos start = out.tellp();
    codec->Encode(input, out, nullptr, nullptr, 1);
    bar.Finish();
    return static_cast<uint64_t>(out.tellp() - start);
}

namespace {

// pack was given something other than a folder: say what it is.
[[noreturn]] void RefuseNonFolder(const std::string& path)
{
    std::error_code error;
    if (path != "-" && !std::filesystem::exists(std::filesystem::path(path), error))
        RaiseFileProblem("pack", path, "there is no such folder");
    std::string what;
    try {
        std::string bytes = ReadInputFile(path);
        if (LooksLikePeFile(bytes)) {
            what = "it is a Windows program";
        } else {
            CheckStartsLikePayload(path, bytes);
            const CLoadedPayload payload(path, std::move(bytes), false);
            what = "it is a payload already (" + TotalsText(payload.Archive().GetEntryCount(), payload.ImageSize(),
                                                            payload.PayloadSize()) +
                   "), which kwz stamp takes as it is";
        }
    } catch (CKwoException* raw) {
        std::unique_ptr<CKwoException> e(raw);
        if (e->Category() == Interrupt::kCategory)
            throw e.release();
        what = e->MessageText();
    }
    ThrowError("PackError", ("cannot pack " + path + ": it is not a folder; " + what).c_str(), 0, 0);
}

// The x86 launcher's limit is the tighter one; the stub is not known yet.
void WarnWhenTooLargeForX86(uint64_t imageSize, uint64_t payloadSize)
{
    const CLauncherBudget x86 = SmallestBudget();
    if (imageSize <= x86.LargestImage(payloadSize, payloadSize))
        return;
    std::fprintf(stderr, "kwz: warning: this payload is too large for the x86 launcher (an image of %s from a "
                 "payload of %s); stamp it into the x64 stub\n",
                 ByteSize(imageSize).c_str(), ByteSize(payloadSize).c_str());
}

int Pack(const Arguments& given)
{
    const CRunClock clock;
    Arguments args = given;
    CPackOptions options = TakePackOptions(args);
    ExpectOperands(args, 2, "pack");
    if (!IsFolder(args[0]))
        RefuseNonFolder(args[0]);
    options.output = args[1];
    const CFolderPlan plan = PlanFolder(args[0], options);
    const std::string image = BuildImage(plan, options.quiet);
    COutputFile output(args[1]);
    const uint64_t payloadSize = EncodePayload(image, options.parse, options.quiet, output.Stream());
    output.Commit();
    WarnWhenTooLargeForX86(image.size(), payloadSize);
    if (!options.quiet)
        PrintSummary(OutputName(args[1]), plan.files.size(), image.size(), payloadSize, clock);
    return kExitOk;
}

}  // namespace

const CommandInfo kPackCommand = {
    "pack", "[-q] [--smallest] [--codepage N] [--exclude PATTERN]... DIR OUT", "pack a folder into a payload",
    "Packs the files directly in DIR into the payload OUT: one archive image\n"
    "(header, directory, then the files' bytes) compressed with the launcher's\n"
    "LZSS codec. Files go in byte order of their stored names, so the same\n"
    "folder always gives the same bytes. Ends with a line of totals on standard\n"
    "error: entries, image and payload size, ratio and time.\n"
    "\n"
    "OUT may be - for standard output. On any error OUT is left as it was: a\n"
    "regular file is replaced only once the payload is complete, a symbolic\n"
    "link's file likewise (the link stays), a device or pipe is written\n"
    "through; a folder or a block device is refused. OUT itself, lying in DIR\n"
    "from an earlier run, is never packed.\n"
    "\n"
    "The launcher starts KwoWardenInstaller.exe from the extracted files; a\n"
    "warning says so when DIR has none, and another when the x86 launcher could\n"
    "not extract the payload.\n"
    "\n"
    "Refused, with every culprit named: an empty DIR, a folder inside DIR, a\n"
    "symbolic link (links are not followed, wherever they lead), other special\n"
    "files, a file of 4 GiB or more or an image beyond 4 GiB - 1 bytes, and\n"
    "names the launcher would refuse or Windows would change: names with\n"
    "\\ / : < > \" | ? * or control characters, device names (CON, NUL, COM1,\n"
    "LPT1, ... with any extension), names of dots and blanks only or ending in a\n"
    "dot or blank, and names that differ only in letter case.\n"
    "\n"
    "Names must be ASCII, since the launcher reads them in the ANSI code page\n"
    "of the machine it runs on, which the packer cannot know (--codepage).\n"
    "\n"
    "Options:\n"
    "  --smallest         choose the tokens for the smallest payload instead of\n"
    "                     those of the format's own encoder: about 7 % smaller\n"
    "                     on programs and 6 % on text, encoded at about the\n"
    "                     same speed. The same launcher extracts it, just as\n"
    "                     fast. The same folder still gives the same bytes.\n"
    "  --codepage N       store the names in Windows code page N (1252 Western,\n"
    "                     1250 Central European, 1251 Cyrillic, 932 Japanese,\n"
    "                     ...); the setup then works on machines whose ANSI\n"
    "                     code page is N. Names on Linux are taken for UTF-8.\n"
    "  --exclude PATTERN  leave out the items whose names match PATTERN: * any\n"
    "                     run of characters, ? one, [a-z] one of a set, [!a-z]\n"
    "                     one not in it. Repeatable. Example: --exclude '*.pdb'\n"
    "                     --exclude Thumbs.db --exclude .DS_Store\n"
    "  -q, --quiet        no progress bar (shown only on a terminal anyway) and\n"
    "                     no totals\n",
    Pack};
