#include "tools/kwz/Command.h"

namespace {

int Run(const Arguments&)
{
    UsageError("stamp is not available yet");
}

}  // namespace

const CommandInfo kStampCommand = {"stamp", "STUB (DIR | PAYLOAD) OUT", "put a payload into a setup program", "Not available yet.\n", Run};
