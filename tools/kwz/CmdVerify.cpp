// kwz verify SETUP_OR_PAYLOAD [DIR]: proof that a setup program or payload
// is sound and, given DIR, carries exactly the files of DIR. The format has
// no checksum, so a damaged payload can decode to other bytes; only the
// comparison with the product folder catches that.
#include "tools/kwz/Command.h"
#include "tools/kwz/FileIo.h"
#include "tools/kwz/JsonText.h"
#include "tools/kwz/LoadedPayload.h"
#include "tools/kwz/PayloadFile.h"
#include "tools/kwz/PackFolder.h"
#include "tools/kwz/PayloadCheck.h"
#include "tools/kwz/ProgressBar.h"

#include "archive/ArchiveName.h"
#include "base/FormatString.h"
#include "base/KwoException.h"

#include <cstdarg>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

const char kInstallerName[] = "KwoWardenInstaller.exe";

struct CVerifyReport {
    std::string path;
    std::string folder;           // empty without DIR
    std::string unreadable;       // why the payload does not load, or empty
    size_t entries = 0;
    size_t imageSize = 0;
    size_t payloadSize = 0;
    std::vector<CPayloadFinding> findings;
    std::vector<std::string> warnings;

    bool Ok() const { return unreadable.empty() && findings.empty(); }
    size_t ProblemCount() const { return findings.size() + (unreadable.empty() ? 0 : 1); }
};

// Windows finds the installer whatever the letter case of its name.
bool HasInstaller(const CArchive& archive)
{
    for (uint32_t i = 0; i < archive.GetEntryCount(); ++i)
        if (FoldNameCase(archive.GetEntry(i).name) == FoldNameCase(kInstallerName))
            return true;
    return false;
}

CVerifyReport Verify(const std::string& path, const std::string& folder, unsigned codePage, bool quiet)
{
    CVerifyReport report;
    report.path = path;
    report.folder = folder;
    std::unique_ptr<CLoadedPayload> payload;
    try {
        payload.reset(new CLoadedPayload(path, ReadPayloadFile(path), ShowProgress(quiet)));
    } catch (CKwoException* raw) {
        std::unique_ptr<CKwoException> e(raw);
        if (e->Category() != "ArchiveError" && e->Category() != "PeError" && e->Category() != "PayloadError")
            throw e.release();  // the file could not be read at all
        report.unreadable = e->MessageText();
        return report;
    }
    report.entries = payload->Archive().GetEntryCount();
    report.imageSize = payload->ImageSize();
    report.payloadSize = payload->PayloadSize();
    report.findings = CheckImageLayout(payload->ImageData(), payload->ImageSize());
    if (!folder.empty()) {
        const std::vector<CPayloadFinding> differences =
            CompareWithFolder(payload->ImageData(), payload->ImageSize(), folder, codePage);
        report.findings.insert(report.findings.end(), differences.begin(), differences.end());
    }
    if (!HasInstaller(payload->Archive()))
        report.warnings.push_back(std::string("no entry is named ") + kInstallerName +
                                  "; the setup program will report \"Unable to start installation program.\"");
    return report;
}

// Appends the formatted text to out.
void Add(std::string& out, const char* format, ...) KWO_PRINTF_FORMAT(2, 3);
void Add(std::string& out, const char* format, ...)
{
    std::string text;
    va_list args;
    va_start(args, format);
    KwoBase::FormatStringV(text, format, args);
    va_end(args);
    out += text;
}

std::string Text(const CVerifyReport& report)
{
    std::string out;
    if (!report.unreadable.empty()) {
        Add(out, "unreadable: %s\nFAILED: %s does not load as the launcher loads it\n", report.unreadable.c_str(),
            report.path.c_str());
        return out;
    }
    Add(out, "%s: %lu %s, image %lu bytes, payload %lu bytes\n", report.path.c_str(),
        static_cast<unsigned long>(report.entries), report.entries == 1 ? "entry" : "entries",
        static_cast<unsigned long>(report.imageSize), static_cast<unsigned long>(report.payloadSize));
    for (const CPayloadFinding& f : report.findings) {
        if (f.kind == CPayloadFinding::kStructure)
            Add(out, "structure: %s\n", f.detail.c_str());
        else
            Add(out, "%s: %s: %s\n", FindingKindName(f.kind), PrintableName(f.name).c_str(), f.detail.c_str());
    }
    for (const std::string& warning : report.warnings)
        Add(out, "warning: %s\n", warning.c_str());
    const std::string against = report.folder.empty() ? "" : " and matches " + report.folder;
    if (report.Ok())
        Add(out, "OK: the payload is sound%s\n", against.c_str());
    else
        Add(out, "FAILED: %lu %s\n", static_cast<unsigned long>(report.ProblemCount()),
            report.ProblemCount() == 1 ? "problem" : "problems");
    return out;
}

std::string Json(const CVerifyReport& report)
{
    std::string out;
    Add(out, "{\n  \"file\": %s,\n  \"folder\": %s,\n  \"ok\": %s,\n", JsonString(report.path).c_str(),
        report.folder.empty() ? "null" : JsonString(report.folder).c_str(), report.Ok() ? "true" : "false");
    if (report.unreadable.empty())
        Add(out, "  \"count\": %lu,\n  \"imageSize\": %lu,\n  \"payloadSize\": %lu,\n",
            static_cast<unsigned long>(report.entries), static_cast<unsigned long>(report.imageSize),
            static_cast<unsigned long>(report.payloadSize));
    Add(out, "  \"problems\": [");
    const char* separator = "\n";
    if (!report.unreadable.empty()) {
        Add(out, "%s    {\"kind\": \"unreadable\", \"name\": null, \"detail\": %s}", separator,
            JsonString(report.unreadable).c_str());
        separator = ",\n";
    }
    for (const CPayloadFinding& f : report.findings) {
        Add(out, "%s    {\"kind\": \"%s\", \"name\": %s, \"detail\": %s}", separator, FindingKindName(f.kind),
            f.name.empty() ? "null" : JsonString(f.name).c_str(), JsonString(f.detail).c_str());
        separator = ",\n";
    }
    Add(out, "%s],\n  \"warnings\": [", report.ProblemCount() == 0 ? "" : "\n  ");
    for (size_t i = 0; i < report.warnings.size(); ++i)
        Add(out, "%s%s", i == 0 ? "" : ", ", JsonString(report.warnings[i]).c_str());
    Add(out, "]\n}\n");
    return out;
}

int VerifyCommand(const Arguments& given)
{
    Arguments args = given;
    const bool json = TakeFlag(args, nullptr, "--json");
    const bool quiet = TakeFlag(args, "-q", "--quiet");
    const unsigned codePage = TakeCodePage(args);
    if (args.size() == 1 && codePage != 0)
        UsageError("--codepage applies to the names of DIR, and no DIR is given");
    ExpectOperands(args, args.size(), "verify");  // unknown options
    if (args.empty() || args.size() > 2)
        UsageError("verify takes SETUP_OR_PAYLOAD and an optional DIR, " + std::to_string(args.size()) +
                   " arguments given");
    const CVerifyReport report = Verify(args[0], args.size() == 2 ? args[1] : std::string(), codePage, quiet);
    WriteStandardOutput(json ? Json(report) : Text(report));
    return report.Ok() ? kExitOk : kExitError;
}

}  // namespace

const CommandInfo kVerifyCommand = {
    "verify", "[--json] [-q] [--codepage N] (SETUP | PAYLOAD) [DIR]", "check a setup program or payload",
    "Checks that a setup program (or a payload) is sound, and with DIR that it\n"
    "carries exactly the files of DIR. The payload format has no checksum: a\n"
    "damaged payload may still decode, to other bytes, so comparing with the\n"
    "product folder is the one proof that the setup program installs your files.\n"
    "\n"
    "Without DIR: the payload decodes and the launcher's loader accepts it; the\n"
    "image is laid out as kwz pack lays it out: the directory-end field marks the\n"
    "end of the directory, the files' data follow it in directory order without\n"
    "gaps or overlaps up to the end of the image, and no two names are one file\n"
    "on Windows.\n"
    "With DIR: also every entry against the file of the same name in DIR, byte\n"
    "for byte. Each difference is named: missing (an entry without a file),\n"
    "extra (a file or folder without an entry), different (sizes or bytes).\n"
    "Names of DIR are compared as kwz pack would store them (see --codepage).\n"
    "\n"
    "Prints one line per problem, then OK or FAILED. Exit code 0 when all is\n"
    "well, 1 when a problem is found or the input cannot be read, 2 for wrong\n"
    "usage. A missing KwoWardenInstaller.exe is a warning, not a failure.\n"
    "\n"
    "Options:\n"
    "  --json         one JSON object instead: \"file\", \"folder\" (or null), \"ok\",\n"
    "                 \"count\", \"imageSize\", \"payloadSize\", \"problems\" (each with\n"
    "                 \"kind\": structure, missing, extra, different or unreadable,\n"
    "                 \"name\" and \"detail\") and \"warnings\"\n"
    "  --codepage N   DIR's names as packed with --codepage N\n"
    "  -q, --quiet    no progress bar while decoding\n",
    VerifyCommand};
