#include "tools/kwz/pe/SetupProgram.h"

const char kPayloadTypeName[] = "KWZ";

std::string StampSetupProgram(std::string stub, const std::string& stubName, std::string payload,
                              CResourceWriteNotes* notes)
{
    const CPeImage image(std::move(stub), stubName);
    CResourceTree tree = ReadResourceTree(image);
    CResourceData data;
    data.language = CResourceId::Number(kPayloadLanguage);
    data.bytes = std::move(payload);
    SetResource(tree, CResourceId::Name(kPayloadTypeName), CResourceId::Number(kPayloadResourceId), std::move(data));
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
