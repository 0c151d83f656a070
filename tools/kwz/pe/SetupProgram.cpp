#include "tools/kwz/pe/SetupProgram.h"

#include "tools/kwz/pe/VersionInfo.h"

#include <cstdio>

const char kPayloadTypeName[] = "KWZ";

namespace {

const char* MachineName(uint16_t machine)
{
    switch (machine) {
    case Pe::kMachineI386: return "x86";
    case Pe::kMachineAmd64: return "x64";
    case 0x01C0: case 0x01C2: case 0x01C4: return "ARM";
    case 0xAA64: return "ARM64";
    case 0x0200: return "Itanium";
    default: return "unknown";
    }
}

}  // namespace

void CheckLauncherKind(const CPeImage& image)
{
    if ((image.Characteristics() & Pe::kFileDll) != 0)
        image.Refuse("a DLL, not a program; the stub must be a launcher program");
    const Pe::COptionalLayout& layout = image.Layout();
    if (image.Machine() != layout.machine) {
        char text[200];
        std::snprintf(text, sizeof text,
                      "a %s image built for machine 0x%04X (%s); a launcher is x86 in PE32 or x64 in PE32+",
                      layout.magic == Pe::kMagicPe32 ? "PE32" : "PE32+", image.Machine(), MachineName(image.Machine()));
        image.Refuse(text);
    }
}

std::string StampSetupProgram(std::string stub, const std::string& stubName, std::string payload,
                              CResourceWriteNotes* notes)
{
    return StampSetupProgram(std::move(stub), stubName, std::move(payload), CSetupIdentity(), notes);
}

std::string StampSetupProgram(std::string stub, const std::string& stubName, std::string payload,
                              const CSetupIdentity& identity, CResourceWriteNotes* notes)
{
    const CPeImage image(std::move(stub), stubName);
    CResourceTree tree = ReadResourceTree(image);
    CResourceData data;
    data.language = CResourceId::Number(kPayloadLanguage);
    data.bytes = std::move(payload);
    SetResource(tree, CResourceId::Name(kPayloadTypeName), CResourceId::Number(kPayloadResourceId), std::move(data));
    if (!identity.icon.empty())
        SetIconGroup(tree, kProgramIconGroup, identity.icon);
    if (!identity.versionInfo.empty())
        SetVersionInfo(tree, identity.versionInfo);
    return WriteWithResources(image, std::move(tree), notes);
}

std::string ReadSetupPayload(const std::string& file, const std::string& fileName)
{
    const CPeImage image(file, fileName);
    const CResourceTree tree = ReadResourceTree(image);
    const CResourceData* data =
        FindResource(tree, CResourceId::Name(kPayloadTypeName), CResourceId::Number(kPayloadResourceId));
    if (data == nullptr)
        image.Refuse("a Windows program without a payload (no resource KWZ/137)");
    return data->bytes;
}
