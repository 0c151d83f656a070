// kwz unpack PAYLOAD DIR: the entries of a payload as files in DIR, with the
// launcher's own loader and extraction. All or nothing: the files are written
// into a staging folder inside DIR and moved into place only when every one
// of them has been written.
#include "tools/kwz/Command.h"
#include "tools/kwz/FileIo.h"
#include "tools/kwz/LoadedPayload.h"
#include "tools/kwz/ProgressBar.h"

#include "archive/ArchiveName.h"
#include "base/FolderPath.h"
#include "base/KwoException.h"

#include <filesystem>
#include <set>
#include <string>
#include <system_error>

namespace fs = std::filesystem;

namespace {

[[noreturn]] void RaiseFolderError(const std::string& what, const std::error_code& error)
{
    ThrowError("FileError", (what + ": " + error.message()).c_str(), 0, 0);
}

// DIR, created with its parents if missing; removed again (when still empty)
// unless the unpack succeeded.
class CTargetFolder {
public:
    explicit CTargetFolder(const std::string& path_) : path(path_)
    {
        std::error_code error;
        if (fs::is_directory(path, error))
            return;
        if (fs::exists(path, error))
            ThrowError("FileError", ("Unable to unpack into " + path + ": it is not a folder").c_str(), 0, 0);
        created = fs::create_directories(path, error);
        if (error)
            RaiseFolderError("Unable to create folder " + path, error);
    }
    ~CTargetFolder()
    {
        std::error_code ignored;
        if (created && !kept)
            fs::remove(path, ignored);
    }
    CTargetFolder(const CTargetFolder&) = delete;
    CTargetFolder& operator=(const CTargetFolder&) = delete;

    void Keep() { kept = true; }
    const std::string& Path() const { return path; }

private:
    std::string path;
    bool created = false;
    bool kept = false;
};

// A fresh folder inside the target, removed with whatever is left in it.
class CStagingFolder {
public:
    CStagingFolder(const std::string& parent, const CArchive& archive)
    {
        std::set<std::string> names;
        for (uint32_t i = 0; i < archive.GetEntryCount(); ++i)
            names.insert(archive.GetEntry(i).name);
        for (unsigned attempt = 0;; ++attempt) {
            const std::string name =
                ".kwz-unpack-" + std::to_string(Platform::ProcessId()) + "-" + std::to_string(attempt) + ".tmp";
            if (names.count(name) != 0)
                continue;
            path = NativeFolderPath(parent.c_str()) + name;
            std::error_code error;
            if (fs::create_directory(path, error))
                return;
            if (error || attempt > 100)
                RaiseFolderError("Unable to create a staging folder in " + parent, error);
        }
    }
    ~CStagingFolder()
    {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
    CStagingFolder(const CStagingFolder&) = delete;
    CStagingFolder& operator=(const CStagingFolder&) = delete;

    const std::string& Path() const { return path; }

private:
    std::string path;
};

// Refuses, naming them all, targets that are in the way: any existing item
// unless overwriting is allowed, and folders always.
void CheckTargets(const CArchive& archive, const std::string& folder, bool overwrite)
{
    std::string culprits;
    std::set<std::string> seen;
    bool folderInTheWay = false;
    for (uint32_t i = 0; i < archive.GetEntryCount(); ++i) {
        const std::string& name = archive.GetEntry(i).name;
        if (!seen.insert(name).second)
            continue;
        std::error_code ignored;
        const fs::file_status status = fs::symlink_status(NativeFolderPath(folder.c_str()) + name, ignored);
        if (!fs::exists(status))
            continue;
        if (fs::is_directory(status)) {
            culprits += "\n  \"" + PrintableName(name) + "\" (a folder)";
            folderInTheWay = true;
        } else if (!overwrite) {
            culprits += "\n  \"" + PrintableName(name) + "\"";
        }
    }
    if (culprits.empty())
        return;
    const std::string advice = folderInTheWay ? "" : " (--force allows it)";
    ThrowError("FileError", ("unpack would replace these in " + folder + advice + ":" + culprits).c_str(), 0, 0);
}

int Unpack(const Arguments& given)
{
    Arguments args = given;
    const bool quiet = TakeFlag(args, "-q", "--quiet");
    const bool overwrite = TakeFlag(args, "-f", "--force");
    ExpectOperands(args, 2, "unpack");

    CLoadedPayload payload(args[0], ShowProgress(quiet));
    const CArchive& archive = payload.Archive();
    CTargetFolder target(args[1]);
    CheckTargets(archive, target.Path(), overwrite);

    CStagingFolder staging(target.Path(), archive);
    for (uint32_t i = 0; i < archive.GetEntryCount(); ++i)
        payload.Archive().ExtractEntry(i, staging.Path().c_str());

    // Two entries of one name left the later one in the staging folder.
    std::set<std::string> moved;
    for (uint32_t i = 0; i < archive.GetEntryCount(); ++i) {
        const std::string& name = archive.GetEntry(i).name;
        if (!moved.insert(name).second)
            continue;
        const std::string from = NativeFolderPath(staging.Path().c_str()) + name;
        const std::string to = NativeFolderPath(target.Path().c_str()) + name;
        if (!Platform::MoveOver(from, to))
            ThrowWin32Error("FileError", ("Unable to move " + name + " into " + target.Path()).c_str(), 0, 0);
    }
    target.Keep();
    return kExitOk;
}

}  // namespace

const CommandInfo kUnpackCommand = {
    "unpack", "[-f] [-q] PAYLOAD DIR", "write the files of a payload into a folder",
    "Decodes PAYLOAD (- for standard input), checks it as the launcher's loader\n"
    "does and writes every entry as a file into DIR, which is created if missing.\n"
    "When two entries share a name, the later one is written, as the launcher\n"
    "does. PAYLOAD may also be a setup program: its payload resource is used.\n"
    "\n"
    "Nothing is written unless everything can be: the files go to a staging\n"
    "folder inside DIR first and are moved into place at the end. Files of DIR\n"
    "that an entry would replace are named and left alone, unless --force.\n"
    "\n"
    "Options:\n"
    "  -f, --force  replace existing files of the entries' names\n"
    "  -q, --quiet  no progress bar while decoding (shown only on a terminal)\n",
    Unpack};
