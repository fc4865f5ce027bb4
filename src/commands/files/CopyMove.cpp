#include "commands/files/CopyMove.h"

#include "app/Text.h"

#include <getopt.h>

CopyFiles::CopyFiles()
    : ClassicCommand(L"cp", L"Usage:\ncp [keys] file\n\t-r, -R --recursive\tcopy file hierarchies\n\t-f, "
                            L"--force\tremove existent path before copy\n\t-l, --link\tmake hard link\n") {
    wantsNarrowArguments = true;
}

int CopyFiles::start(int, wchar_t**) {
    static const option longOptions[] = {{"recursive", no_argument, nullptr, 'r'},
                                         {"recursive", no_argument, nullptr, 'R'},
                                         {"force", no_argument, nullptr, 'f'},
                                         {"link", no_argument, nullptr, 'l'},
                                         {nullptr, 0, nullptr, 0}};
    resetGetopt();
    for (int c; (c = getopt_long(narrowArgc(), narrowArgv(), "rRfl", longOptions, nullptr)) != -1;) {
        switch (c) {
        case 'r':
        case 'R':
            recursive = true;
            break;
        case 'f':
            force = true;
            break;
        case 'l':
            link = true;
            break;
        default:
            return usageError();
        }
    }
    if (narrowArgc() - optind != 2) return usageError();
    source = text::fromAnsi(narrowArgv()[optind]);
    destination = text::fromAnsi(narrowArgv()[optind + 1]);
    inputs = {&source, &destination};
    runAsTarget();
    return 0;
}

void CopyFiles::execute() { notAvailable(); }
