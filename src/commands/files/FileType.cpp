#include "commands/files/FileType.h"

File::File() : GetoptCommand(L"file", L"Usage:\nfile anyfile...\n", "L") {}

bool File::takeOption(int, const char*) { return true; } // -L is accepted and ignored

bool File::takeOperands(const Operands& operands) {
    return takeSinglePath(operands, path);
}

void File::execute() { notAvailable(); }
