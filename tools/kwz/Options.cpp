// The option takers that every command's argument parsing shares.
#include "tools/kwz/Command.h"

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

std::vector<std::string> TakeOption(Arguments& args, const char* longName, const char* what)
{
    const std::string option = longName;
    std::vector<std::string> values;
    for (auto it = args.begin(); it != args.end();) {
        if (*it == option) {
            if (it + 1 == args.end())
                UsageError(option + " needs " + what);
            values.push_back(*(it + 1));
            it = args.erase(it, it + 2);
        } else if (it->compare(0, option.size() + 1, option + "=") == 0) {
            values.push_back(it->substr(option.size() + 1));
            it = args.erase(it);
        } else {
            ++it;
        }
    }
    return values;
}

unsigned TakeCodePage(Arguments& args)
{
    const std::vector<std::string> values = TakeOption(args, "--codepage", "a code page number, such as 1252");
    if (values.empty())
        return 0;
    if (values.size() > 1)
        UsageError("--codepage is given more than once");
    std::string value = values[0];
    if (value.size() > 2 && (value[0] == 'c' || value[0] == 'C') && (value[1] == 'p' || value[1] == 'P'))
        value.erase(0, 2);
    if (value.empty() || value.size() > 5 || value.find_first_not_of("0123456789") != std::string::npos ||
        std::stoul(value) == 0 || std::stoul(value) > 65535)
        UsageError("--codepage takes a Windows code page number, such as 1252, not '" + values[0] + "'");
    return static_cast<unsigned>(std::stoul(value));
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
