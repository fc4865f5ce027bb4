#include "commands/files/Remove.h"

namespace {
const option removeOptions[] = {{"recursive", no_argument, nullptr, 'r'},
                                {"recursive", no_argument, nullptr, 'R'},
                                {"force", no_argument, nullptr, 'f'},
                                {"directory", no_argument, nullptr, 'd'},
                                {nullptr, 0, nullptr, 0}};
} // namespace

RemoveFiles::RemoveFiles()
    : GetoptCommand(L"rm",
                    L"Usage:\nrm [keys] file\n\t-r, -R --recursive\tremove directories as regular files\n\t-d, "
                    L"--directory\trecursivly remove directories and its content\n\t-f, --force\tdo not display "
                    L"errors if target absent\n",
                    "rRfd", removeOptions) {}

// All four options are accepted; removal works the same with or without them.
bool RemoveFiles::takeOption(int, const char*) { return true; }

bool RemoveFiles::takeOperands(const Operands& operands) {
    if (operands.size() == 0) return false;
    for (size_t i = 0; i < operands.size(); ++i) paths.push_back(operands.wide(i));
    for (std::wstring& p : paths) inputs.push_back(&p);
    return true;
}

void RemoveFiles::execute() { notAvailable(); }

bool DirectoryCommand::takeOption(int c, const char*) {
    if (c == 'p') parents = true;
    return true; // mkdir's -m takes a mode that is ignored
}

bool DirectoryCommand::takeOperands(const Operands& operands) {
    if (!takeSinglePath(operands, path)) return false;
    given_ = path;
    return true;
}

std::wstring DirectoryCommand::cutToFirstComponent() const {
    std::wstring cut = given_;
    size_t slash = cut.find(L'/');
    if (slash != std::wstring::npos) cut[slash] = L'\\';
    return cut.substr(0, cut.find(L'\\'));
}

void DirectoryCommand::checkInput(size_t) {
    if (parents) checkDerivedPath(pathpolicy::normalizePath(L"", cutToFirstComponent()), changes(0));
}

MkDir::MkDir() : DirectoryCommand(L"mkdir", L"Usage:\nmkdir [-p] directory ...\n", "pm:") {}

void MkDir::execute() { notAvailable(); }

RemDir::RemDir()
    : DirectoryCommand(L"rmdir", L"Usage:\nrmdir [-p] directory ...\n\t-p\tall components of path will be removed\n",
                       "p") {}

void RemDir::execute() { notAvailable(); }
