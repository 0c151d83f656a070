// kwz unpack PAYLOAD DIR: the entries of a payload as files in DIR, read by
// the launcher's own loader. All or nothing: the files are written into a
// staging folder inside DIR and moved into place only when every one of them
// has been written; the move never replaces a file (unless --force), even
// one that another program put there meanwhile.
#include "tools/kwz/Command.h"
#include "tools/kwz/FileIo.h"
#include "tools/kwz/FolderListing.h"
#include "tools/kwz/LoadedPayload.h"
#include "tools/kwz/PackNames.h"
#include "tools/kwz/PayloadFile.h"
#include "tools/kwz/ProgressBar.h"
#include "tools/kwz/Summary.h"

#include "base/FolderPath.h"
#include "base/KwoException.h"

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

// One file that unpack writes: the launcher writes every entry in turn, so
// of entries whose names differ at most in letter case (one file on
// Windows) the last one's bytes remain, under the first one's spelling.
struct CUnpackFile {
    std::string fileName;       // as this platform's file calls take it
    const CArchiveEntry* entry;  // the last entry of the name
};

std::vector<CUnpackFile> FilesOf(const CArchive& archive, unsigned codePage)
{
    std::vector<CUnpackFile> files;
    std::map<std::string, size_t> byFoldedName;
    std::string unspellable;
    for (uint32_t i = 0; i < archive.GetEntryCount(); ++i) {
        const CArchiveEntry& entry = archive.GetEntry(i);
        const auto seen = byFoldedName.emplace(FoldCase(entry.name), files.size());
        if (!seen.second) {
            files[seen.first->second].entry = &entry;
            continue;
        }
        std::string fileName = entry.name;
        if (codePage != 0 && !DecodeName(entry.name, codePage, fileName))
            unspellable += "\n  " + Quoted(entry.name);
        files.push_back(CUnpackFile{fileName, &entry});
    }
    if (!unspellable.empty())
        ThrowError("FileError",
                   ("code page " + std::to_string(codePage) + " cannot spell these names here:" + unspellable).c_str(), 0,
                   0);
    return files;
}

// DIR, with every missing level created; the levels it created are removed
// again (when empty) unless the unpack succeeded, and on interruption.
class CTargetFolder {
public:
    explicit CTargetFolder(const std::string& path_) : path(path_)
    {
        std::error_code error;
        const fs::file_status status = fs::status(path, error);
        if (fs::is_directory(status))
            return;
        if (fs::exists(status))
            RaiseFileProblem("unpack into", path, "it is not a folder");
        std::vector<fs::path> missing;
        for (fs::path level = fs::path(path); !level.empty() && !fs::exists(level, error);
             level = level.parent_path()) {
            missing.push_back(level);
            if (level == level.parent_path())
                break;
        }
        for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
            const std::string level = it->string();
            CInterruptGuard guard;
            if (Platform::CreateFolder(level)) {
                created.emplace_back(new CTemporaryPath);
                created.back()->Set(level, CTemporaryPath::kFolder);
                createdPaths.push_back(level);
                continue;
            }
            // The reason is the failed creation's: the checks below set errno too.
            const std::string reason = LastSystemReason();
            if (fs::is_directory(fs::path(level), error))
                continue;  // made meanwhile by someone else
            if (fs::is_symlink(fs::symlink_status(fs::path(level), error)))
                RaiseFileProblem("create folder", level, "it is a symbolic link to nothing");
            RaiseFileProblem("create folder", level, reason);
        }
    }
    ~CTargetFolder()
    {
        if (kept)
            return;
        for (auto it = createdPaths.rbegin(); it != createdPaths.rend(); ++it)
            Platform::RemoveFolderQuietly(*it);
    }
    CTargetFolder(const CTargetFolder&) = delete;
    CTargetFolder& operator=(const CTargetFolder&) = delete;

    void Keep()
    {
        kept = true;
        created.clear();
    }
    const std::string& Path() const { return path; }

private:
    std::string path;
    std::vector<std::string> createdPaths;
    std::vector<std::unique_ptr<CTemporaryPath>> created;
    bool kept = false;
};

// A fresh folder inside the target, removed with whatever is left in it.
class CStagingFolder {
public:
    CStagingFolder(const std::string& parent, const std::vector<CUnpackFile>& files)
    {
        std::map<std::string, bool> names;
        for (const CUnpackFile& file : files)
            names[FoldCase(file.fileName)] = true;
        for (unsigned attempt = 0;; ++attempt) {
            const std::string name =
                ".kwz-unpack-" + std::to_string(Platform::ProcessId()) + "-" + std::to_string(attempt) + ".tmp";
            if (names.count(name) != 0)
                continue;
            const std::string candidate = NativeFolderPath(parent.c_str()) + name;
            CInterruptGuard guard;
            if (Platform::CreateFolder(candidate)) {
                path = candidate;
                listed.Set(path, CTemporaryPath::kFolder);
                return;
            }
            if (attempt >= 100)
                RaiseFileError("create a staging folder in", parent);
        }
    }
    ~CStagingFolder()
    {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
    CStagingFolder(const CStagingFolder&) = delete;
    CStagingFolder& operator=(const CStagingFolder&) = delete;

    std::string operator/(const std::string& name) const { return NativeFolderPath(path.c_str()) + name; }

private:
    std::string path;
    CTemporaryPath listed;
};

// Refuses, naming them all, targets that are in the way: any existing item
// unless overwriting is allowed, and folders always.
void CheckTargets(const std::vector<CUnpackFile>& files, const std::string& folder, bool overwrite)
{
    std::string culprits;
    bool folderInTheWay = false;
    for (const CUnpackFile& file : files) {
        std::error_code ignored;
        const fs::file_status status = fs::symlink_status(NativeFolderPath(folder.c_str()) + file.fileName, ignored);
        if (!fs::exists(status) && status.type() != fs::file_type::symlink)
            continue;
        if (fs::is_directory(status)) {
            culprits += "\n  " + Quoted(file.fileName) + " (a folder)";
            folderInTheWay = true;
        } else if (!overwrite) {
            culprits += "\n  " + Quoted(file.fileName);
        }
    }
    if (culprits.empty())
        return;
    const std::string advice = folderInTheWay ? "" : " (--force allows it)";
    ThrowError("FileError", ("unpack would replace these in " + folder + advice + ":" + culprits).c_str(), 0, 0);
}

// Writes the entry's bytes to a new file at path, named shownAs in messages.
void WriteEntry(const CArchiveEntry& entry, const std::string& path, const std::string& shownAs,
                CTemporaryPath& listed, CProgressBar& bar, uint64_t& done)
{
    constexpr uint32_t kPiece = 1u << 20;
    CFileHandle file;
    {
        CInterruptGuard guard;
        if (!CFileHandle::CreateNew(path, file, shownAs))
            RaiseFileProblem("create", shownAs, "it exists already");
        listed.Set(path, CTemporaryPath::kFile);
    }
    for (const auto& chunk : entry.chunks) {
        for (uint32_t at = 0; at < chunk->length; at += kPiece) {
            const uint32_t piece = chunk->length - at < kPiece ? chunk->length - at : kPiece;
            file.Write(reinterpret_cast<const char*>(chunk->data) + at, piece);
            done += piece;
            bar.Update(done);
        }
    }
    file.Finish();
}

// Moves the staged files into the target, never over anything unless
// overwrite; on a failure the files moved so far go back to the staging
// folder, so that nothing is left half done.
void MoveIntoPlace(const std::vector<CUnpackFile>& files, const CStagingFolder& staging, const std::string& target,
                   bool overwrite, std::vector<std::unique_ptr<CTemporaryPath>>& listed)
{
    std::vector<size_t> moved;
    for (size_t i = 0; i < files.size(); ++i) {
        const std::string from = staging / files[i].fileName;
        const std::string to = NativeFolderPath(target.c_str()) + files[i].fileName;
        CInterruptGuard guard;
        if (!Platform::Move(from, to, overwrite)) {
            const std::string reason = LastSystemReason();
            if (!overwrite)
                for (auto it = moved.rbegin(); it != moved.rend(); ++it)
                    Platform::Move(NativeFolderPath(target.c_str()) + files[*it].fileName, staging / files[*it].fileName,
                                   false);
            RaiseFileProblem("move", files[i].fileName + " into " + target,
                             reason + (overwrite ? "" : " (nothing was unpacked)"));
        }
        // Replaced files are gone for good; new ones stay kwz's until the end.
        if (overwrite)
            listed[i]->Release();
        else
            listed[i]->Set(to, CTemporaryPath::kFile);
        moved.push_back(i);
    }
}

int Unpack(const Arguments& given)
{
    const CRunClock clock;
    Arguments args = given;
    const bool quiet = TakeFlag(args, "-q", "--quiet");
    const bool overwrite = TakeFlag(args, "-f", "--force");
    const unsigned codePage = TakeCodePage(args);
    ExpectOperands(args, 2, "unpack");

    const std::string name = InputName(args[0]);
    const CLoadedPayload payload(name, ReadPayloadFile(args[0]), ShowProgress(quiet));
    const std::vector<CUnpackFile> files = FilesOf(payload.Archive(), codePage);
    CTargetFolder target(args[1]);
    CheckTargets(files, target.Path(), overwrite);

    CStagingFolder staging(target.Path(), files);
    uint64_t total = 0, done = 0;
    for (const CUnpackFile& file : files)
        total += file.entry->size;
    std::vector<std::unique_ptr<CTemporaryPath>> listed;
    {
        CProgressBar bar("writing", total, ShowProgress(quiet));
        for (const CUnpackFile& file : files) {
            listed.emplace_back(new CTemporaryPath);
            WriteEntry(*file.entry, staging / file.fileName, NativeFolderPath(target.Path().c_str()) + file.fileName,
                       *listed.back(), bar, done);
        }
        bar.Finish();
    }
    try {
        MoveIntoPlace(files, staging, target.Path(), overwrite, listed);
    } catch (...) {
        // What went back to the staging folder goes with it.
        listed.clear();
        throw;
    }
    listed.clear();
    target.Keep();
    if (!quiet)
        PrintSummary(target.Path(), payload.Archive().GetEntryCount(), payload.ImageSize(), payload.PayloadSize(), clock);
    return kExitOk;
}

}  // namespace

const CommandInfo kUnpackCommand = {
    "unpack", "[-f] [-q] [--codepage N] PAYLOAD DIR", "write the files of a payload into a folder",
    "Decodes PAYLOAD (- for standard input), checks it as the launcher's loader\n"
    "does and writes every entry as a file into DIR, which is created if missing.\n"
    "Entries whose names differ at most in letter case are one file on Windows:\n"
    "as the launcher does, the later entry's bytes are written, under the first\n"
    "one's name. PAYLOAD may also be a setup program: its payload resource is\n"
    "used. Ends with a line of totals on standard error.\n"
    "\n"
    "Nothing is written unless everything can be: the files go to a staging\n"
    "folder inside DIR first and are moved into place at the end, each with a\n"
    "rename that never replaces anything, so files of DIR, even ones that appear\n"
    "while unpack runs, are named and left alone unless --force. A failed or\n"
    "interrupted unpack removes its staging folder and the folders it created.\n"
    "\n"
    "Options:\n"
    "  -f, --force     replace existing files of the entries' names\n"
    "  --codepage N    the names are stored in Windows code page N (as kwz pack\n"
    "                  --codepage N stores them): write them as UTF-8 on Linux,\n"
    "                  in the ANSI code page on Windows. Without it the stored\n"
    "                  bytes are the names, as the launcher takes them.\n"
    "  -q, --quiet     no progress bar (shown only on a terminal) and no totals\n",
    Unpack};
