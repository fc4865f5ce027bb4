#include "commands/xml/ExtendedFileInfo.h"

#include "commands/Params.h"
#include "commands/PathPolicy.h"

ExtendedFileInfo::ExtendedFileInfo()
    : RecordingCommand(L"--ex-info", L"Usage:\n--ex-info --path='path' [--permissions] [--short-path] "
                                     L"[--long-path][--delete-access][--sharing-access]\n") {}

int ExtendedFileInfo::start(int argc, wchar_t** argv) {
    Params params(argc, argv);
    params.check({L"--path"},
                 {L"--permissions", L"--short-path", L"--long-path", L"--delete-access", L"--sharing-access"});
    path = pathpolicy::normalizePath(L"", params.value(L"--path"));
    withPermissions = params.has(L"--permissions");
    withShortPath = params.has(L"--short-path");
    withLongPath = params.has(L"--long-path");
    withDeleteAccess = params.has(L"--delete-access");
    withSharingAccess = params.has(L"--sharing-access");
    // The permission listing reads security in the program's own context.
    if (withPermissions) setRunAsFlag(false);
    inputs = {&path};
    runAsTarget();
    return 0;
}

void ExtendedFileInfo::execute() { notAvailable(); }
