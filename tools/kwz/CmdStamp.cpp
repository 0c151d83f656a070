// kwz stamp STUB (DIR | PAYLOAD) OUT: a setup program made from a stub and a
// payload, without a compiler.
#include "tools/kwz/Command.h"
#include "tools/kwz/FileIo.h"
#include "tools/kwz/LauncherBudget.h"
#include "tools/kwz/LoadedPayload.h"
#include "tools/kwz/MemoryStreams.h"
#include "tools/kwz/PackFolder.h"
#include "tools/kwz/PayloadFile.h"
#include "tools/kwz/ProgressBar.h"
#include "tools/kwz/StubCheck.h"
#include "tools/kwz/Summary.h"
#include "tools/kwz/pe/SetupProgram.h"
#include "tools/kwz/pe/VersionInfo.h"

#include "base/KwoException.h"

#include <cstdio>
#include <filesystem>
#include <ostream>
#include <system_error>

namespace {

// The size of the regular file at path, known before it is read.
bool RegularFileSize(const std::string& path, uint64_t& size)
{
    std::error_code error;
    if (path == "-" || !std::filesystem::is_regular_file(std::filesystem::path(path), error))
        return false;
    size = std::filesystem::file_size(std::filesystem::path(path), error);
    return !error;
}

// What goes into the program: the payload and the totals of its image.
struct CStampedPayload {
    std::string bytes;
    uint64_t entries = 0;
    uint64_t imageSize = 0;
};

// The checks of a stub and what it can extract.
struct CStubFacts {
    std::string what;               // "PAYLOAD into STUB", for the refusals
    CLauncherBudget budget;
    uint64_t mappedSize = 0;        // the stub's SizeOfImage, without a payload
    size_t sizeOfImageOffset = 0;   // where a program made from it keeps its SizeOfImage
};

CStubFacts CheckStub(const std::string& stub, const std::string& stubName, const std::string& payloadName)
{
    const CPeImage image(stub, stubName);
    CheckLauncherKind(image);
    // Whatever keeps the stub from taking resources is found with an empty
    // payload, before a long packing or decoding run.
    StampSetupProgram(stub, stubName, std::string(), nullptr);
    const std::string missing = MissingLauncherResources(image);
    if (!missing.empty())
        std::fprintf(stderr,
                     "kwz: warning: %s lacks the launcher's resources (%s); a program that is not a Kwo Warden "
                     "launcher never extracts the payload\n",
                     stubName.c_str(), missing.c_str());
    return CStubFacts{payloadName + " into " + stubName, BudgetOf(image), image.SizeOfImage(),
                      image.OptionalHeaderOffset() + Pe::kOhSizeOfImage};
}

// The files of folder packed as kwz pack would pack them; the budget is
// checked on the image's size before a file is read.
CStampedPayload PackInMemory(const std::string& folder, const CPackOptions& options, const CStubFacts& stub)
{
    const CFolderPlan plan = PlanFolder(folder, options);
    const uint64_t fewest = SmallestPayloadOf(plan.imageSize);
    stub.budget.Check(stub.what, stub.mappedSize + fewest, fewest, plan.imageSize, true);
    const std::string image = BuildImage(plan, options.quiet);
    CStringOutputBuffer buffer(static_cast<size_t>(kLargestProgram));
    std::ostream out(&buffer);
    out.exceptions(std::ios::badbit);
    try {
        EncodePayload(image, options.parse, options.quiet, out);
    } catch (const std::ios_base::failure&) {
        stub.budget.Check(stub.what, kLargestProgram, kLargestProgram, image.size(), true);
        throw;
    }
    return CStampedPayload{buffer.Take(), plan.files.size(), image.size()};
}

// A payload file, refused unless the launcher would load it and could extract it.
CStampedPayload ReadCheckedPayload(const std::string& path, bool quiet, const CStubFacts& stub)
{
    uint64_t size = 0;
    if (RegularFileSize(path, size))
        stub.budget.Check(stub.what, stub.mappedSize + size, size, SmallestImageOf(size), true);
    std::string bytes = ReadPayloadForStamp(path);
    const uint64_t payloadSize = bytes.size();
    const uint64_t program = stub.mappedSize + payloadSize;
    const uint64_t limit = stub.budget.LargestImage(program, payloadSize);
    CLoadedPayload loaded(InputName(path), std::move(bytes), ShowProgress(quiet), limit,
                          [&] { stub.budget.Check(stub.what, program, payloadSize, limit + 1, true); });
    CStampedPayload payload;
    payload.entries = loaded.Archive().GetEntryCount();
    payload.imageSize = loaded.ImageSize();
    payload.bytes = loaded.TakePayload();
    return payload;
}

// The one value of option, or "" when it is absent.
std::string TakeValue(Arguments& args, const char* option, const char* what)
{
    const std::vector<std::string> values = TakeOption(args, option, what);
    if (values.size() > 1)
        UsageError(std::string(option) + " is given " + std::to_string(values.size()) + " times");
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
    options.icon = TakeValue(args, "--icon", "an .ico file");
    options.versionInfo = TakeValue(args, "--version-info", "a file of KEY=VALUE lines");
    options.settings = TakeOption(args, "--set", "KEY=VALUE");
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
    const CRunClock clock;
    Arguments args = given;
    CPackOptions options = TakePackOptions(args);
    const CIdentityOptions identityOptions = TakeIdentityOptions(args);
    ExpectOperands(args, 3, "stamp");
    const std::string& stubPath = args[0];
    const std::string& payloadPath = args[1];
    const std::string& outPath = args[2];
    if (stubPath == "-" && payloadPath == "-")
        UsageError("only one of STUB and PAYLOAD can be read from standard input");
    const bool folder = IsFolder(payloadPath);
    if ((options.codePage != 0 || !options.excludes.empty()) && !folder)
        UsageError("--codepage and --exclude apply to a folder packed on the fly, and " + payloadPath +
                   " is not a folder");
    const CSetupIdentity identity = ReadIdentity(identityOptions);
    if (options.parse == LzssParse::kSmallest && !folder)
        UsageError("--smallest applies to a folder packed on the fly, and " + payloadPath +
                   " is not a folder (pack it with kwz pack --smallest)");

    // The stub first: a wrong stub should not cost a long packing run.
    const std::string stubName = InputName(stubPath);
    std::string stub = ReadInputFile(stubPath);
    const CStubFacts facts = CheckStub(stub, stubName, InputName(payloadPath));
    options.output = outPath;
    CStampedPayload payload =
        folder ? PackInMemory(payloadPath, options, facts) : ReadCheckedPayload(payloadPath, options.quiet, facts);
    const uint64_t payloadSize = payload.bytes.size();

    CResourceWriteNotes notes;
    const std::string program =
        StampSetupProgram(std::move(stub), stubName, std::move(payload.bytes), identity, &notes);
    facts.budget.Check(facts.what, Pe::Get32(program, facts.sizeOfImageOffset), payloadSize, payload.imageSize, false);
    if (notes.signatureRemoved)
        std::fprintf(stderr,
                     "kwz: warning: %s carried an Authenticode signature, which stamping invalidates; it was "
                     "removed, sign %s again\n",
                     stubName.c_str(), outPath.c_str());
    WriteOutputFile(outPath, program);
    if (!options.quiet)
        PrintSummary(OutputName(outPath) + " (" + facts.budget.Describe() + ")",
                     payload.entries, payload.imageSize, payloadSize, clock);
    return kExitOk;
}

}  // namespace

const CommandInfo kStampCommand = {
    "stamp",
    "[-q] [--smallest] [--codepage N] [--exclude PATTERN]... [--icon ICO] [--version-info FILE] [--set KEY=VALUE]... "
    "STUB (DIR | PAYLOAD) OUT",
    "put a payload into a setup program",
    "Writes OUT, a copy of the setup program STUB whose resources also hold the\n"
    "payload: PAYLOAD as it is (a file that kwz pack wrote), or the files of DIR\n"
    "packed on the fly. A payload that STUB already carries is replaced, so any\n"
    "setup program can serve as STUB. The same STUB and payload always give the\n"
    "same bytes. STUB or PAYLOAD may be - for standard input, OUT - for standard\n"
    "output; on any error OUT is left as it was (see kwz help pack). Ends with a\n"
    "line of totals on standard error.\n"
    "\n"
    "PAYLOAD is decoded and loaded with the launcher's own checks, as kwz list\n"
    "does, and refused when the launcher would refuse it, when it is a setup\n"
    "program itself (give that as STUB, or unpack it and stamp the folder), or\n"
    "when it is neither a payload nor a setup program.\n"
    "\n"
    "Refused too, before the work: a payload that the stub's launcher could not\n"
    "extract. An x86 launcher holds the mapped program, a copy of the payload,\n"
    "the codec (26 MiB) and the decoded image at once, in 2 GiB of address\n"
    "space (4 GiB when the stub is large-address-aware, on 64-bit Windows), of\n"
    "which kwz leaves 512 MiB to Windows, and the image must fit one block of at\n"
    "most 1.5 GiB. An x64 launcher extracts any image up to 4 GiB - 1 bytes.\n"
    "The message gives the figures and suggests the x64 stub.\n"
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
    "STUB must be a launcher program: x86 (PE32) or x64 (PE32+), not a DLL; a\n"
    "program without the launcher's resources (string 109, the window class\n"
    "name, and the progress bar's bitmaps 129 to 134) gets a warning.\n"
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
    "  --smallest            for DIR, as kwz pack: encode for the smallest payload\n"
    "  --codepage N          for DIR, as kwz pack: store the names in code page N\n"
    "  --exclude PATTERN     for DIR, as kwz pack: leave out the matching items\n"
    "  -q, --quiet           no progress bar and no totals\n",
    Stamp};
