// Writes a PE file with a new resource tree, keeping the meaning of every
// other byte.
//
// Layouts. The rebuilt tree goes
//   - in place, when the resource directory starts a section that holds the
//     tree and nothing else and that is the last section both in memory and
//     in the file: the section grows or shrinks, the overlay moves with it;
//   - otherwise into a new section ".rsrc" after the last one (the GNU
//     linker's default script puts .reloc and debug sections after .rsrc, so
//     such a program takes this path once and its output the in-place path;
//     our stubs are linked with the resources last and never take it). Moving a section
//     that others follow would change RVAs that code may hold, so nothing
//     existing moves in memory. An old resource section that held only the
//     tree keeps its address range, as the loader needs the sections
//     adjacent, but gives up its file bytes (it becomes zero fill); one that
//     holds other data stays untouched.
// Refused: headers without a resource directory slot, no room for one more
// section header, a certificate table outside the overlay, file offsets
// (symbol table, debug data) that point into the bytes being replaced, a
// damaged base relocation table, and data directories, the entry point or
// relocations that point past the end of the image, where the new resources
// would then lie.
//
// File offsets after the changed bytes (later sections' raw data, the symbol
// table, debug data, the overlay) are moved by the change in length. An
// Authenticode certificate table is removed, since the signature would no
// longer match. The checksum is recomputed. The output depends on nothing but
// the input, so the same input always gives the same bytes.
#pragma once

#include "tools/kwz/pe/PeImage.h"
#include "tools/kwz/pe/ResourceTree.h"

#include <string>

struct CResourceWriteNotes {
    bool signatureRemoved = false;  // the input carried a certificate table
    bool newSection = false;        // the tree went into a new last section
    bool oldSectionEmptied = false; // the old resource section gave up its file bytes
};

// The bytes of image with tree as its resources (taken by value: move a large
// tree in). Raises "PeError" naming the image when its layout cannot be
// rebuilt safely.
std::string WriteWithResources(const CPeImage& image, CResourceTree tree, CResourceWriteNotes* notes);
