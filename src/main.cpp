#include "CommandTable.h"
#include "commands/Quarn.h"

int wmain(int argc, wchar_t** argv) {
    Quarn quarn(createCommands);
    return quarn.run(argc, argv, false);
}
