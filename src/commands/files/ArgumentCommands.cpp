#include "commands/files/ArgumentCommands.h"

#include "app/Text.h"
#include "commands/PathPolicy.h"

#include <cstring>

std::wstring Operands::wide(size_t index) const { return text::fromAnsi(narrow.at(index)); }

GetoptCommand::GetoptCommand(std::wstring name, std::wstring usageText, const char* shortOptions,
                             const option* longOptions)
    : ClassicCommand(std::move(name), std::move(usageText)), shortOptions_(shortOptions), longOptions_(longOptions) {
    wantsNarrowArguments = true;
}

int GetoptCommand::start(int, wchar_t**) {
    // argv[0] of the narrow array is the command name, standing in for the program name.
    const int argc = narrowCount();
    char** argv = narrowArguments();
    resetGetopt();
    for (;;) {
        int c = longOptions_ ? getopt_long(argc, argv, shortOptions_, longOptions_, nullptr)
                             : getopt(argc, argv, shortOptions_);
        if (c == -1) break;
        if (c == '?' || c == ':' || !takeOption(c, optarg)) return usageError();
    }
    Operands operands;
    operands.afterDoubleDash = optind > 1 && std::strcmp(argv[optind - 1], "--") == 0;
    operands.narrow.assign(argv + optind, argv + argc);
    if (!takeOperands(operands)) return usageError();
    runAsTarget();
    return 0;
}

bool GetoptCommand::takeSinglePath(const Operands& operands, std::wstring& path, size_t first) {
    if (operands.size() != first + 1) return false;
    path = operands.wide(first);
    inputs = {path};
    return true;
}

OnePathCommand::OnePathCommand(std::wstring name, std::wstring usageText)
    : PositionalCommand(std::move(name), std::move(usageText), 1, 1) {}

void OnePathCommand::takeArguments(const std::vector<std::wstring>& arguments) {
    path = paths::trimmed(arguments[0]);
    inputs = {path};
}
