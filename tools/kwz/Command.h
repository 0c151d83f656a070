// The packer's commands: each one a function over its own arguments (the
// command name removed), returning the process exit code.
#pragma once

#include <string>
#include <vector>

typedef std::vector<std::string> Arguments;

struct CommandInfo {
    const char* name;
    const char* synopsis;  // one line, after "kwz NAME "
    const char* summary;   // one line for the command list
    const char* help;      // the full text of "kwz help NAME"
    int (*run)(const Arguments& args);
};

// Exit codes of the tool.
constexpr int kExitOk = 0;
constexpr int kExitError = 1;
constexpr int kExitUsage = 2;

// Raises a usage error (exit code 2) with the given text.
[[noreturn]] void UsageError(const std::string& text);

// Removes "-q"/"--quiet" style flags: returns true when flag was present.
bool TakeFlag(Arguments& args, const char* shortName, const char* longName);

// Removes every "NAME VALUE" and "NAME=VALUE" of the option longName and
// returns the values in order. A NAME without its value is a usage error
// whose text says that the option needs what.
std::vector<std::string> TakeOption(Arguments& args, const char* longName, const char* what);

// Removes "--codepage N" or "--codepage=N" from args; 0 when absent. Raises a
// usage error for a value that is not a code page number.
unsigned TakeCodePage(Arguments& args);

// Raises a usage error unless args holds exactly count operands and no
// unknown option (a lone "-" is an operand).
void ExpectOperands(const Arguments& args, size_t count, const char* command);

extern const CommandInfo kCompressCommand;
extern const CommandInfo kDecompressCommand;
extern const CommandInfo kPackCommand;
extern const CommandInfo kListCommand;
extern const CommandInfo kUnpackCommand;
extern const CommandInfo kStampCommand;
extern const CommandInfo kVerifyCommand;

// Entry of the tool, separate from main so that tests can run it in-process.
int KwzMain(int argc, char** argv);
