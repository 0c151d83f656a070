#include "tools/kwz/Command.h"
#include "tools/kwz/FileIo.h"
#include "tools/kwz/Interrupt.h"

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

const char kVersionText[] = "kwz 1.0\n";

const char kHelpSynopsis[] = "[COMMAND]";
const char kHelpText[] =
    "Without COMMAND, lists the commands; with one, explains it: what it does,\n"
    "its arguments and its options.\n";

std::string Overview()
{
    std::string text =
        "kwz - the Kwo Warden Setup packer\n"
        "\n"
        "Turns a folder into a payload and a payload into a setup program.\n"
        "\n"
        "Usage: kwz COMMAND [OPTIONS] ARGUMENTS\n"
        "\n"
        "Commands:\n";
    char line[160];
    for (const CommandInfo* command : kCommands) {
        std::snprintf(line, sizeof line, "  %-13s %s\n", command->name, command->summary);
        text += line;
    }
    std::snprintf(line, sizeof line, "  %-13s %s\n  %-13s %s\n", "help", "explain a command",
                  "-V, --version", "print the version");
    text += line;
    text +=
        "\n"
        "A file argument of - means standard input or standard output.\n"
        "Exit codes: 0 success, 1 error (a message on standard error says which),\n"
        "2 wrong usage; an interrupted run removes its temporary files and ends\n"
        "as the interruption ends it.\n"
        "Run 'kwz help COMMAND' for the details of one command.\n";
    return text;
}

std::string CommandHelp(const char* name, const char* synopsis, const char* help)
{
    return std::string("Usage: kwz ") + name + " " + synopsis + "\n\n" + help;
}

int Help(const Arguments& args)
{
    if (args.empty()) {
        WriteStandardOutput(Overview());
        return kExitOk;
    }
    if (args.size() > 1)
        UsageError("help takes one command, " + std::to_string(args.size()) + " given");
    if (args[0] == "help") {
        WriteStandardOutput(CommandHelp("help", kHelpSynopsis, kHelpText));
        return kExitOk;
    }
    const CommandInfo* command = FindCommand(args[0]);
    if (command == nullptr)
        UsageError("unknown command '" + args[0] + "'");
    WriteStandardOutput(CommandHelp(command->name, command->synopsis, command->help));
    return kExitOk;
}

int Dispatch(Arguments args)
{
    if (args.empty()) {
        std::fputs(Overview().c_str(), stderr);
        return kExitUsage;
    }
    const std::string name = args[0];
    args.erase(args.begin());
    if (name == "help" || name == "--help" || name == "-h")
        return Help(args);
    if (name == "--version" || name == "-V") {
        WriteStandardOutput(kVersionText);
        return kExitOk;
    }
    const CommandInfo* command = FindCommand(name);
    if (command == nullptr)
        UsageError("unknown command '" + name + "'");
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            WriteStandardOutput(CommandHelp(command->name, command->synopsis, command->help));
            return kExitOk;
        }
    }
    const int code = command->run(args);
    // Anything a command left in stdio's buffer must reach its reader too.
    if (std::fflush(stdout) != 0)
        RaiseFileError("write", "standard output");
    return code;
}

}  // namespace

[[noreturn]] void UsageError(const std::string& text)
{
    ThrowError("UsageError", text.c_str(), 0, 0);
}

int KwzMain(int argc, char** argv)
{
    Interrupt::InstallHandlers();
    Arguments args(argv + (argc > 0 ? 1 : 0), argv + argc);
    const std::string commandName = args.empty() ? "" : args[0];
    try {
        return Dispatch(args);
    } catch (CKwoException* raw) {
        std::unique_ptr<CKwoException> e(raw);
        std::fflush(stdout);
        if (e->Category() == Interrupt::kCategory) {
            // Every owner removed its temporary on the way here.
            Interrupt::Finished();
            Interrupt::Clear();
            std::fprintf(stderr, "kwz: interrupted\n");
            return Interrupt::kExitInterrupted;
        }
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
