// kwz stamp STUB (DIR | PAYLOAD) OUT: a setup program made from a stub and a
// payload, without a compiler.
#include "tools/kwz/Command.h"
#include "tools/kwz/FileIo.h"
#include "tools/kwz/MemoryStreams.h"
#include "tools/kwz/PackFolder.h"
#include "tools/kwz/pe/SetupProgram.h"
#include "tools/kwz/pe/VersionInfo.h"

#include "base/KwoException.h"

#include <cstdio>
#include <filesystem>
#include <ostream>
#include <system_error>

namespace {

// No setup program could hold a payload near 2 GiB: the rewriter keeps
// every image below that size.
constexpr size_t kPayloadLimit = 0x7FFFFFFF;

bool IsFolder(const std::string& path)
{
    std::error_code ignored;
    return path != "-" && std::filesystem::is_directory(std::filesystem::path(path), ignored);
}

// The payload of the files directly in folder, as kwz pack would write it.
std::string PackInMemory(const std::string& folder, unsigned codePage, bool quiet)
{
    const std::string image = PackFolderImage(folder, codePage);
    CStringOutputBuffer buffer(kPayloadLimit);
    std::ostream out(&buffer);
    EncodePayload(image, quiet, out);
    if (buffer.Overflowed() || !out)
        ThrowError("PackError", ("cannot pack " + folder + ": the payload would exceed 2 GiB").c_str(), 0, 0);
    return buffer.Take();
}

// Removes every "OPTION VALUE" and "OPTION=VALUE" from args; the values in
// order.
std::vector<std::string> TakeValues(Arguments& args, const std::string& option)
{
    std::vector<std::string> values;
    for (auto it = args.begin(); it != args.end();) {
        if (*it == option) {
            if (it + 1 == args.end())
                UsageError(option + " needs a value");
            values.push_back(*(it + 1));
            it = args.erase(it, it + 2);
        } else if (it->compare(0, option.size() + 1, option + "=") == 0) {
            values.push_back(it->substr(option.size() + 1));
            it = args.erase(it);
        } else {
            ++it;
        }
    }
    return values;
}

// The one value of option, or "" when it is absent.
std::string TakeValue(Arguments& args, const std::string& option)
{
    const std::vector<std::string> values = TakeValues(args, option);
    if (values.size() > 1)
        UsageError(option + " is given " + std::to_string(values.size()) + " times");
    return values.empty() ? std::string() : values[0];
}

// The vendor's identity: --icon FILE, --version-info FILE, --set KEY=VALUE.
struct CIdentityOptions {
    std::string icon;
    std::string versionInfo;
    std::vector<std::string> settings;
};

CIdentityOptions TakeIdentityOptions(Arguments& args)
{
    CIdentityOptions options;
    options.icon = TakeValue(args, "--icon");
    options.versionInfo = TakeValue(args, "--version-info");
    options.settings = TakeValues(args, "--set");
    if (!options.settings.empty() && options.versionInfo.empty())
        UsageError("--set overrides keys of --version-info FILE, and no --version-info is given");
    return options;
}

// The files read and checked, before anything is packed.
CSetupIdentity ReadIdentity(const CIdentityOptions& options)
{
    CSetupIdentity identity;
    if (!options.icon.empty())
        identity.icon = ReadIconFile(ReadInputFile(options.icon), options.icon);
    if (options.versionInfo.empty())
        return identity;
    CVersionInfo info = ParseVersionInfoFile(ReadInputFile(options.versionInfo), options.versionInfo);
    for (const std::string& setting : options.settings)
        info.SetAssignment(setting, "--set " + setting);
    identity.versionInfo = BuildVersionInfo(info);
    return identity;
}

int Stamp(const Arguments& given)
{
    Arguments args = given;
    const bool quiet = TakeFlag(args, "-q", "--quiet");
    const unsigned codePage = TakeCodePage(args);
    const CIdentityOptions identityOptions = TakeIdentityOptions(args);
    ExpectOperands(args, 3, "stamp");
    const std::string& stubPath = args[0];
    const std::string& payloadPath = args[1];
    const std::string& outPath = args[2];
    if (stubPath == "-" && payloadPath == "-")
        UsageError("only one of STUB and PAYLOAD can be read from standard input");
    const bool folder = IsFolder(payloadPath);
    if (codePage != 0 && !folder)
        UsageError("--codepage applies to a folder packed on the fly, and " + payloadPath + " is not a folder");
    const CSetupIdentity identity = ReadIdentity(identityOptions);

    // The stub first: a wrong stub should not cost a long packing run.
    const std::string stubName = stubPath == "-" ? "standard input" : stubPath;
    std::string stub = ReadInputFile(stubPath);
    {
        const CPeImage image(stub, stubName);
        CheckLauncherKind(image);
        ResourceTreeExtents(image);
    }
    std::string payload = folder ? PackInMemory(payloadPath, codePage, quiet) : ReadInputFile(payloadPath);
    if (payload.empty())
        std::fprintf(stderr, "kwz: warning: %s is empty; the setup program will report \"Archive is corrupted.\"\n",
                     payloadPath.c_str());
    CResourceWriteNotes notes;
    const std::string program = StampSetupProgram(std::move(stub), stubName, std::move(payload), identity, &notes);
    if (notes.signatureRemoved)
        std::fprintf(stderr,
                     "kwz: warning: %s carried an Authenticode signature, which stamping invalidates; it was "
                     "removed, sign %s again\n",
                     stubName.c_str(), outPath.c_str());
    WriteOutputFile(outPath, program);
    return kExitOk;
}

}  // namespace

const CommandInfo kStampCommand = {
    "stamp", "[-q] [--codepage N] [--icon ICO] [--version-info FILE] [--set KEY=VALUE]... STUB (DIR | PAYLOAD) OUT",
    "put a payload into a setup program",
    "Writes OUT, a copy of the setup program STUB whose resources also hold the\n"
    "payload: PAYLOAD as it is (a file that kwz pack wrote), or the files of DIR\n"
    "packed on the fly. A payload that STUB already carries is replaced, so any\n"
    "setup program can serve as STUB. The same STUB and payload always give the\n"
    "same bytes. STUB or PAYLOAD may be - for standard input, OUT - for standard\n"
    "output; on any error OUT is not written.\n"
    "\n"
    "The payload is the resource of type \"KWZ\", name 137, language neutral (0),\n"
    "which the launcher's FindResourceA finds first in any locale.\n"
    "\n"
    "Your product's identity: --icon replaces the program icon (icon group 108,\n"
    "which Explorer and the setup window show) with every image of an .ico file;\n"
    "--version-info writes the version information that the file's properties\n"
    "show, from a text file of KEY=VALUE lines (# starts a comment), UTF-8:\n"
    "\n"
    "    CompanyName=Example Ltd\n"
    "    ProductName=Example\n"
    "    FileDescription=Example Setup\n"
    "    FileVersion=2.4.1\n"
    "    ProductVersion=2.4\n"
    "    LegalCopyright=Copyright (c) 2026 Example Ltd\n"
    "    OriginalFilename=ExampleSetup.exe\n"
    "\n"
    "Also InternalName, LegalTrademarks, Comments, PrivateBuild, SpecialBuild.\n"
    "FileVersion and ProductVersion are one to four numbers, which are also\n"
    "written as the binary version (either stands in for the other). --set\n"
    "KEY=VALUE, repeatable, overrides one key of the file (an empty VALUE removes\n"
    "it; kwz.exe on Windows takes --set values in ASCII, so put other text in\n"
    "the file). The version information replaces the stub's whole, with the\n"
    "standard translation (US English, Unicode).\n"
    "\n"
    "STUB must be a launcher program: x86 (PE32) or x64 (PE32+), not a DLL.\n"
    "Its resource section is rebuilt in place when it is the last section, as\n"
    "in our stubs; otherwise (the usual MinGW layout, with .reloc after it) the\n"
    "resources move to a new last section and the old one keeps its addresses\n"
    "but no file bytes. Everything else keeps its meaning: sections, symbols, debug data\n"
    "and data appended after the last section. The checksum is recomputed.\n"
    "Refused with a message: files that are not PE programs, DLLs, other\n"
    "machines (ARM, ARM64), truncated or inconsistent headers, resource trees\n"
    "that reach outside the file or loop, damaged relocation tables, references\n"
    "past the end of the image, and layouts that leave no room for another\n"
    "section header.\n"
    "\n"
    "Signing: an Authenticode signature of STUB cannot survive (it covers the\n"
    "resources), so it is removed with a warning. Sign OUT afterwards, for\n"
    "example with osslsigncode or signtool; the payload then lies inside the\n"
    "signed image.\n"
    "\n"
    "Options:\n"
    "  --icon ICO            the program icon, from an .ico file\n"
    "  --version-info FILE   the version information, from KEY=VALUE lines\n"
    "  --set KEY=VALUE       one key of the version information (repeatable)\n"
    "  --codepage N          for DIR, as kwz pack: names in Windows code page N\n"
    "  -q, --quiet           no progress bar\n",
    Stamp};
