#include "commands/xml/TreeXML.h"

#include "commands/Params.h"

TreeXML::TreeXML()
    : ClassicCommand(L"--tree",
                     L"Usage:\n--tree --path='path' [--recursive] [--permissions] [--file-info] [--folders] [--files]\n") {
}

int TreeXML::start(int argc, wchar_t** argv) {
    Params params(argc, argv);
    params.check({L"--path"}, {L"--recursive", L"--permissions", L"--file-info", L"--folders", L"--files"});
    rootPath = params.value(L"--path");
    recursive = params.has(L"--recursive");
    withPermissions = params.has(L"--permissions");
    withFileInfo = params.has(L"--file-info");
    if (params.has(L"--folders")) listingKind = FoldersOnly;
    if (params.has(L"--files")) listingKind = FilesOnly; // wins over --folders
    // The permission listing reads security in the program's own context.
    if (withPermissions) setRunAsFlag(false);
    inputs = {&rootPath};
    runAsTarget();
    return 0;
}

void TreeXML::execute() { notAvailable(); }
