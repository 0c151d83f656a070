#include "demo/InstallerReport.h"

#include "demo/Crc32.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

struct FileLine {
    std::string name;
    unsigned long long size;
    uint32_t crc;
    bool readable;
};

std::string ProgramFolder()
{
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    const size_t slash = folder.find_last_of('\\');
    return slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);
}

std::string CurrentFolder()
{
    char path[MAX_PATH];
    const DWORD length = GetCurrentDirectoryA(MAX_PATH, path);
    return std::string(path, length < MAX_PATH ? length : 0);
}

FileLine Measure(const std::string& folder, const std::string& name)
{
    FileLine line = {name, 0, 0, false};
    HANDLE file = CreateFileA((folder + name).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return line;
    char buffer[64 * 1024];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        line.crc = UpdateCrc32(line.crc, buffer, got);
        line.size += got;
    }
    CloseHandle(file);
    line.readable = true;
    return line;
}

std::vector<FileLine> ListFiles(const std::string& folder)
{
    std::vector<FileLine> files;
    WIN32_FIND_DATAA found;
    HANDLE listing = FindFirstFileA((folder + "*").c_str(), &found);
    if (listing == INVALID_HANDLE_VALUE)
        return files;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            files.push_back(Measure(folder, found.cFileName));
    } while (FindNextFileA(listing, &found));
    FindClose(listing);
    std::sort(files.begin(), files.end(), [](const FileLine& a, const FileLine& b) { return a.name < b.name; });
    return files;
}

}  // namespace

std::string BuildInstallerReport()
{
    const std::string folder = ProgramFolder();
    const std::vector<FileLine> files = ListFiles(folder);
    std::string report = "Kwo Warden demo installer\r\n";
    report += "Command line: " + std::string(GetCommandLineA()) + "\r\n";
    report += "Current folder: " + CurrentFolder() + "\r\n";
    report += "Program folder: " + folder + "\r\n";
    report += "Files: " + std::to_string(files.size()) + "\r\n";
    for (const FileLine& file : files) {
        char crc[16];
        std::snprintf(crc, sizeof crc, "%08X", static_cast<unsigned>(file.crc));
        report += "  " + file.name;
        report += file.readable ? "\t" + std::to_string(file.size) + " bytes\tCRC-32 " + crc : "\tunreadable";
        report += "\r\n";
    }
    return report;
}
