// A stub as kwz stamp reads it: headers, sections and the resource tree, then
// the stamp and a read-back of the result. Property: any input ends in a
// CKwoException or in a program whose payload reads back as stamped and whose
// rebuilt tree, stamped again with the same payload, gives the same bytes;
// never a read outside the input.
#include "tools/kwz/pe/PeImage.h"
#include "tools/kwz/pe/ResourceTree.h"
#include "tools/kwz/pe/SetupProgram.h"

#include "fuzz/FuzzSupport.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string stub(reinterpret_cast<const char*>(data), size);
    const std::string payload = "fuzz payload";
    std::string program;
    if (Raises([&] { program = StampSetupProgram(stub, "stub", payload, nullptr); }))
        return 0;
    // What kwz stamp wrote, it must read again: a raise here is not caught
    // and ends the run.
    Require(ReadSetupPayload(program, "program") == payload);
    Require(StampSetupProgram(program, "program", payload, nullptr) == program);
    return 0;
}
