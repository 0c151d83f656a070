#include "tools/kwz/Command.h"

namespace {

int Run(const Arguments&)
{
    UsageError("pack is not available yet");
}

}  // namespace

const CommandInfo kPackCommand = {"pack", "DIR OUT", "pack a folder into a payload", "Not available yet.\n", Run};
