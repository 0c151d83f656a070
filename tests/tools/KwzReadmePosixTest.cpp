// The README's claims about kwz, held against the build: the name rule
// table against both sides of the rule, and the kwz list sample against
// what kwz prints for the same folder.
#include "tools/kwz/PackNames.h"

#include "archive/Archive.h"
#include "archive/ArchiveName.h"
#include "tests/support/Raised.h"
#include "tests/support/TestFiles.h"
#include "tests/tools/KwzRun.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> ReadmeLines()
{
    std::istringstream text(ReadFileBytes(std::string(KWO_SOURCE_FOLDER) + "/README.md"));
    std::vector<std::string> lines;
    for (std::string line; std::getline(text, line);)
        lines.push_back(line);
    EXPECT_GT(lines.size(), 10u) << "README.md not found";
    return lines;
}

// The index of the line after the one that holds marker.
size_t After(const std::vector<std::string>& lines, const std::string& marker)
{
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i].find(marker) != std::string::npos)
            return i + 1;
    ADD_FAILURE() << "README.md has no " << marker;
    return lines.size();
}

// A code span of the table: \xNN is that byte, \| a bar, anything else itself.
std::string Unescape(const std::string& span)
{
    std::string name;
    for (size_t i = 0; i < span.size(); ++i) {
        if (span.compare(i, 2, "\\x") == 0 && i + 3 < span.size() + 0 && isxdigit(span[i + 2]) && isxdigit(span[i + 3])) {
            name += static_cast<char>(std::stoi(span.substr(i + 2, 2), nullptr, 16));
            i += 3;
        } else if (span.compare(i, 2, "\\|") == 0) {
            name += '|';
            i += 1;
        } else {
            name += span[i];
        }
    }
    return name;
}

// The cells of a table row, split at the bars that are not escaped.
std::vector<std::string> Cells(const std::string& row)
{
    std::vector<std::string> cells(1);
    for (size_t i = 1; i + 1 < row.size(); ++i) {
        if (row[i] == '|' && row[i - 1] != '\\')
            cells.emplace_back();
        else
            cells.back() += row[i];
    }
    return cells;
}

std::vector<std::string> CodeSpans(const std::string& cell)
{
    std::vector<std::string> spans;
    for (size_t open = cell.find('`'); open != std::string::npos; open = cell.find('`', open)) {
        const size_t close = cell.find('`', open + 1);
        spans.push_back(Unescape(cell.substr(open + 1, close - open - 1)));
        open = close + 1;
    }
    return spans;
}

bool Refuses(const std::string& cell)
{
    const std::string text = cell.substr(cell.find_first_not_of(' '));
    EXPECT_TRUE(text.compare(0, 7, "refuses") == 0 || text.compare(0, 7, "accepts") == 0) << cell;
    return text.compare(0, 7, "refuses") == 0;
}

TEST(KwzReadmeTest, NameRuleTableHoldsForThePackerAndTheLoader)
{
    const std::vector<std::string> lines = ReadmeLines();
    size_t rows = 0;
    for (size_t i = After(lines, "<!-- name rules:") + 2; i < lines.size() && !lines[i].empty() && lines[i][0] == '|';
         ++i, ++rows) {
        const std::vector<std::string> cells = Cells(lines[i]);
        ASSERT_EQ(4u, cells.size()) << lines[i];
        const std::vector<std::string> names = CodeSpans(cells[0]);
        const bool packRefuses = Refuses(cells[2]);
        const bool launcherRefuses = Refuses(cells[3]);
        if (cells[0].find("` + `") != std::string::npos) {
            // Two names of one folder or one payload.
            ASSERT_EQ(2u, names.size()) << lines[i];
            std::vector<CPackName> folder;
            for (const std::string& name : names)
                folder.push_back(CPackName{name, name});
            EXPECT_EQ(packRefuses, !CaseTwinProblems(folder).empty()) << lines[i];
            CTempFolder work;
            WriteFileBytes(work / "p.kwz", PayloadOf({{names[0], "first"}, {names[1], "later"}}));
            const KwzResult unpack = RunKwz({"unpack", "-q", work / "p.kwz", work / "out"});
            EXPECT_EQ(launcherRefuses, unpack.code != 0) << lines[i] << unpack.err;
            if (!launcherRefuses) {
                EXPECT_EQ(std::vector<std::string>{names[0]}, FolderNames(work / "out")) << lines[i];
                EXPECT_EQ("later", ReadFileBytes(work / ("out/" + names[0]))) << lines[i];
            }
            continue;
        }
        ASSERT_FALSE(names.empty()) << lines[i];
        for (const std::string& name : names) {
            std::string problem;
            StoredName(name, 0, problem);
            EXPECT_EQ(packRefuses, !problem.empty()) << "kwz pack, " << PrintableName(name) << ": " << problem;
            EXPECT_EQ(launcherRefuses, FileNameProblem(name) != nullptr) << "the loader, " << PrintableName(name);
            // The loader itself, on an image holding the name.
            const std::string image = ArchiveImages::Canonical({{name, "x"}});
            const std::vector<uint8_t> bytes(image.begin(), image.end());
            CArchive archive;
            EXPECT_EQ(launcherRefuses, RaisedIfAny([&] { archive.Load(bytes.data(), bytes.size()); }) != nullptr)
                << PrintableName(name);
        }
    }
    EXPECT_GE(rows, 8u);
}

TEST(KwzReadmeTest, ListSampleIsWhatKwzPrints)
{
    const std::vector<std::string> lines = ReadmeLines();
    size_t i = After(lines, "<!-- kwz list sample");
    ASSERT_LT(i, lines.size());
    ASSERT_EQ("```", lines[i]);
    std::string sample;
    for (++i; i < lines.size() && lines[i] != "```"; ++i)
        sample += lines[i] + "\n";
    CTempFolder work;
    ASSERT_EQ(0, RunKwz({"pack", "-q", std::string(KWO_SOURCE_FOLDER) + "/demo/data", work / "data.kwz"}).code);
    const KwzResult list = RunKwz({"list", work / "data.kwz"});
    ASSERT_EQ(0, list.code) << list.err;
    EXPECT_EQ(sample, list.out);
}

}  // namespace
