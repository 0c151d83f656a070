// Files and folders for tests. Every test works in a folder of its own, so
// that cases of one program can run side by side (ctest -j).
#pragma once

#include <string>
#include <vector>

// A fresh, empty folder below the system's temporary folder, named after the
// running test; removed with everything in it at destruction.
class CTempFolder {
public:
    CTempFolder();
    ~CTempFolder();
    CTempFolder(const CTempFolder&) = delete;
    CTempFolder& operator=(const CTempFolder&) = delete;

    // The folder, without a trailing separator.
    const std::string& Path() const { return path; }
    // Path() joined with name by the native separator.
    std::string operator/(const std::string& name) const;

private:
    std::string path;
};

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& data);
// Deletes path with everything below it, read-only files too; false when
// something stayed (a file that another process holds open, say).
bool RemoveAll(const std::string& path);
bool FileExists(const std::string& path);
// Names of the entries directly in folder, sorted.
std::vector<std::string> FolderNames(const std::string& folder);
// n bytes from seed, the same on every platform: runs of letters with a
// pseudo-random byte every seventh, so that they compress but not to nothing.
std::string SeededBytes(size_t n, unsigned seed);
