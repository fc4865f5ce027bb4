#include "commands/files/FileExist.h"

#include "app/Log.h"
#include "commands/files/FileHelpers.h"

FileExist::FileExist() : XmlCommand(L"file_exists", L"Usage:\nfile_exists path\n") {}

int FileExist::start(int argc, wchar_t** argv) {
    if (argc != 1) return usageError();
    path_ = argv[0];
    inputs = {path_};
    runAsTarget();
    return 0;
}

void FileExist::operate() { LogManager::instance().log(2, L"%d\n", files::exists(normal(0)) ? 0 : 1); }
