#include "tools/kwz/Command.h"

#include "base/KwoException.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>

namespace {

const CommandInfo* const kCommands[] = {
    &kPackCommand, &kListCommand, &kUnpackCommand, &kStampCommand, &kVerifyCommand, &kCompressCommand, &kDecompressCommand,
};

const CommandInfo* FindCommand(const std::string& name)
{
    for (const CommandInfo* command : kCommands)
        if (name == command->name)
            return command;
    return nullptr;
}

void PrintOverview(FILE* out)
{
    std::fprintf(out,
                 "kwz - the Kwo Warden Setup packer\n"
                 "\n"
                 "Turns a folder into a payload and a payload into a setup program.\n"
                 "\n"
                 "Usage: kwz COMMAND [OPTIONS] ARGUMENTS\n"
                 "\n"
                 "Commands:\n");
    for (const CommandInfo* command : kCommands)
        std::fprintf(out, "  %-11s %s\n", command->name, command->summary);
    std::fprintf(out,
                 "  %-11s %s\n"
                 "\n"
                 "A file argument of - means standard input or standard output.\n"
                 "Exit codes: 0 success, 1 error, 2 wrong usage.\n"
                 "Run 'kwz help COMMAND' for the details of one command.\n",
                 "help", "explain a command");
}

void PrintCommandHelp(const CommandInfo& command)
{
    std::printf("Usage: kwz %s %s\n\n%s", command.name, command.synopsis, command.help);
}

int Help(const Arguments& args)
{
    if (args.empty()) {
        PrintOverview(stdout);
        return kExitOk;
    }
    const CommandInfo* command = FindCommand(args[0]);
    if (command == nullptr || args.size() > 1)
        UsageError("unknown command '" + args[0] + "'");
    PrintCommandHelp(*command);
    return kExitOk;
}

int Dispatch(Arguments args)
{
    if (args.empty()) {
        PrintOverview(stderr);
        return kExitUsage;
    }
    const std::string name = args[0];
    args.erase(args.begin());
    if (name == "help" || name == "--help" || name == "-h")
        return Help(args);
    if (name == "--version") {
        std::printf("kwz 1.0\n");
        return kExitOk;
    }
    const CommandInfo* command = FindCommand(name);
    if (command == nullptr)
        UsageError("unknown command '" + name + "'");
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            PrintCommandHelp(*command);
            return kExitOk;
        }
    }
    return command->run(args);
}

}  // namespace

[[noreturn]] void UsageError(const std::string& text)
{
    ThrowError("UsageError", text.c_str(), 0, 0);
}

bool TakeFlag(Arguments& args, const char* shortName, const char* longName)
{
    bool found = false;
    for (auto it = args.begin(); it != args.end();) {
        if ((shortName != nullptr && *it == shortName) || (longName != nullptr && *it == longName)) {
            it = args.erase(it);
            found = true;
        } else {
            ++it;
        }
    }
    return found;
}

void ExpectOperands(const Arguments& args, size_t count, const char* command)
{
    for (const std::string& arg : args)
        if (arg.size() > 1 && arg[0] == '-')
            UsageError(std::string("unknown option '") + arg + "' for " + command);
    if (args.size() != count)
        UsageError(std::string(command) + " takes " + std::to_string(count) + " argument" +
                   (count == 1 ? "" : "s") + ", " + std::to_string(args.size()) + " given");
}

int KwzMain(int argc, char** argv)
{
    Arguments args(argv + (argc > 0 ? 1 : 0), argv + argc);
    const std::string commandName = args.empty() ? "" : args[0];
    try {
        return Dispatch(args);
    } catch (CKwoException* raw) {
        std::unique_ptr<CKwoException> e(raw);
        std::fflush(stdout);
        if (e->Category() == "UsageError") {
            std::fprintf(stderr, "kwz: %s\n", e->MessageText().c_str());
            const bool known = FindCommand(commandName) != nullptr;
            std::fprintf(stderr, "Try 'kwz help%s%s'.\n", known ? " " : "", known ? commandName.c_str() : "");
            return kExitUsage;
        }
        std::fprintf(stderr, "kwz: %s\n", e->MessageText().c_str());
        return kExitError;
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "kwz: out of memory\n");
        return kExitError;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kwz: %s\n", e.what());
        return kExitError;
    }
}
