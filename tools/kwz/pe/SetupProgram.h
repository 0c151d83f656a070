// The payload's place in a setup program: resource type "KWZ", name 137.
//
// The launcher asks FindResourceA for it, which takes the thread's language
// fallbacks and tries the neutral language first; so the payload is stored
// with language 0 (LANG_NEUTRAL, SUBLANG_NEUTRAL), and stamping removes every
// other language of KWZ/137 so that exactly one payload remains.
#pragma once

#include "tools/kwz/pe/IconGroup.h"
#include "tools/kwz/pe/ResourceTree.h"
#include "tools/kwz/pe/ResourceWriter.h"

#include <string>
#include <vector>

extern const char kPayloadTypeName[];  // "KWZ"
constexpr uint32_t kPayloadResourceId = 137;
constexpr uint32_t kPayloadLanguage = 0;

// Raises "PeError" unless image can be a launcher: a program (not a DLL) for
// x86 in PE32 or for x64 in PE32+.
void CheckLauncherKind(const CPeImage& image);

// The vendor's identity in a setup program: its icon and version
// information. What is empty stays as the stub has it.
struct CSetupIdentity {
    std::vector<CIconImage> icon;  // the images of icon group 108
    std::string versionInfo;       // the RT_VERSION data (BuildVersionInfo)
};

// A copy of the setup program stub (named stubName in messages) carrying
// payload as its only KWZ/137 resource, and the identity's icon and version
// information. Raises "PeError" when the stub is not a PE file whose layout
// can be rebuilt safely. Both buffers are taken by value: move large ones in.
std::string StampSetupProgram(std::string stub, const std::string& stubName, std::string payload,
                              const CSetupIdentity& identity, CResourceWriteNotes* notes);
std::string StampSetupProgram(std::string stub, const std::string& stubName, std::string payload,
                              CResourceWriteNotes* notes);

// The KWZ/137 payload of the setup program file (named fileName in messages).
// Raises "PeError" when it is not a readable PE file or has no payload.
std::string ReadSetupPayload(const std::string& file, const std::string& fileName);
