#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

std::string TestName()
{
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info != nullptr ? std::string(info->test_suite_name()) + "." + info->name() : "kwo-test";
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.')
            c = '_';
    return name;
}

}  // namespace

CTempFolder::CTempFolder()
{
    const fs::path base = fs::temp_directory_path() / ("kwo-" + TestName());
    for (int attempt = 0;; ++attempt) {
        fs::path candidate = base;
        candidate += "-" + std::to_string(attempt);
        if (fs::create_directory(candidate)) {
            path = candidate.string();
            return;
        }
        if (attempt > 1000)
            throw std::runtime_error("no temporary folder");
    }
}

CTempFolder::~CTempFolder()
{
    RemoveAll(path);
}

std::string CTempFolder::operator/(const std::string& name) const
{
    return (fs::path(path) / name).string();
}

std::string ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& path, const std::string& data)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
}

bool RemoveAll(const std::string& path)
{
    std::error_code ignored;
    // Read-only files would stop the removal on Windows.
    for (auto it = fs::recursive_directory_iterator(path, ignored); it != fs::recursive_directory_iterator();
         it.increment(ignored))
        fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, ignored);
    std::error_code failed;
    fs::remove_all(path, failed);
    return !failed;
}

bool FileExists(const std::string& path)
{
    std::error_code ignored;
    return fs::exists(path, ignored);
}

std::vector<std::string> FolderNames(const std::string& folder)
{
    std::vector<std::string> names;
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(folder, ignored))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string SeededBytes(size_t n, unsigned seed)
{
    std::string data(n, '\0');
    uint32_t state = seed * 2654435761u + 1;
    for (size_t i = 0; i < n; ++i) {
        state = state * 1103515245u + 12345u;
        data[i] = static_cast<char>(i % 7 == 0 ? (state >> 16) : 'a' + (i / 64) % 26);
    }
    return data;
}
