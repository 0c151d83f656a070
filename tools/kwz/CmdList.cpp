#include "tools/kwz/Command.h"

namespace {

int Run(const Arguments&)
{
    UsageError("list is not available yet");
}

}  // namespace

const CommandInfo kListCommand = {"list", "PAYLOAD", "list the files of a payload", "Not available yet.\n", Run};
