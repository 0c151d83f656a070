#include "tools/kwz/Command.h"

namespace {

int Run(const Arguments&)
{
    UsageError("unpack is not available yet");
}

}  // namespace

const CommandInfo kUnpackCommand = {"unpack", "PAYLOAD DIR", "write the files of a payload into a folder", "Not available yet.\n", Run};
