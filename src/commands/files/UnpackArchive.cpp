#include "commands/files/UnpackArchive.h"

#include "commands/PathPolicy.h"

UnpackArchive::UnpackArchive()
    : PositionalCommand(L"unpack-archive", L"Usage:\nunpack-archive [type] 'archive path' 'unpack to'\n", 2, 3) {}

void UnpackArchive::takeArguments(const std::vector<std::wstring>& arguments) {
    size_t at = arguments.size() == 3 ? 1 : 0;
    if (at) type = arguments[0];
    archive = pathpolicy::trimmed(arguments[at]);
    destination = pathpolicy::trimmed(arguments[at + 1]);
    inputs = {&archive, &destination};
}

// The unpacking is not part of this build: say so plainly rather than as an error document.
void UnpackArchive::execute() { notAvailable(); }
void UnpackArchive::operate() { notAvailable(); }
