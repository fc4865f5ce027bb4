#include "commands/files/Remove.h"

#include "app/Exceptions.h"
#include "commands/DiskSecurity.h"
#include "commands/PathPolicy.h"
#include "commands/files/CreateDirectory.h"
#include "commands/files/DirectoryListing.h"
#include "commands/files/FileHelpers.h"
#include "commands/files/RemovePath.h"
#include "commands/files/TrashDirectory.h"

#include <algorithm>

namespace {

const option removeOptions[] = {{"recursive", no_argument, nullptr, 'r'},
                                {"recursive", no_argument, nullptr, 'R'},
                                {"force", no_argument, nullptr, 'f'},
                                {"directory", no_argument, nullptr, 'd'},
                                {nullptr, 0, nullptr, 0}};

// Removes a file, or a directory with everything in it. A reparse point is removed as itself,
// never through it: removing a junction must leave what it leads to.
void removeItem(const paths::NormalPath& path, DWORD attributes, int attempts) {
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        files::removeTree(files::listDirectory(path), attempts);
    else
        files::removePath(path, files::trashDirectory(path), attempts);
}

void requireIfGoverned(const paths::NormalPath& path) {
    if (DiskSecurity::governs(path)) DiskSecurity::requireFor(path);
}

} // namespace

RemoveFiles::RemoveFiles()
    : HealsTrash(L"rm",
                    L"Usage:\nrm [keys] file\n\t-r, -R --recursive\tremove directories as regular files\n\t-d, "
                    L"--directory\trecursivly remove directories and its content\n\t-f, --force\tdo not display "
                    L"errors if target absent\n",
                    "rRfd", removeOptions) {}

// All four options are accepted; removal works the same with or without them.
bool RemoveFiles::takeOption(int, const char*) { return true; }

bool RemoveFiles::takeOperands(const Operands& operands) {
    if (operands.size() == 0) return false;
    for (size_t i = 0; i < operands.size(); ++i) paths.push_back(operands.wide(i));
    inputs = paths;
    return true;
}

void RemoveFiles::checkInput(size_t index) { requireIfGoverned(normal(index)); }

void RemoveFiles::execute() {
    for (size_t i = 0; i < inputs.size(); ++i) {
        const paths::NormalPath& path = normal(i);
        DWORD attributes = files::getAttributes(path, 15);
        if (attributes != INVALID_FILE_ATTRIBUTES) removeItem(path, attributes, 15);
        if (DiskSecurity::governs(path)) DiskSecurity::dropEntries(path);
    }
    if (DiskSecurity::governs(normal(0))) DiskSecurity::save();
}

bool DirectoryCommand::takeOption(int c, const char*) {
    if (c == 'p') parents = true;
    return true; // mkdir's -m takes a mode that is ignored
}

bool DirectoryCommand::takeOperands(const Operands& operands) {
    return takeSinglePath(operands, path);
}

std::wstring DirectoryCommand::firstComponent(const std::wstring& given) {
    std::wstring cut = given;
    size_t slash = cut.find(L'/');
    if (slash != std::wstring::npos) cut[slash] = L'\\';
    size_t separator = cut.find(L'\\');
    return separator == std::wstring::npos ? cut : cut.substr(0, separator);
}

void DirectoryCommand::checkInput(size_t) {
    if (parents) cut = checkDerivedPath(firstComponent(path), reach(0));
}

MkDir::MkDir() : DirectoryCommand(L"mkdir", L"Usage:\nmkdir [-p] directory ...\n", "pm:") {}

void MkDir::checkInput(size_t index) {
    DirectoryCommand::checkInput(index);
    if (files::exists(parents ? cut.normal : normal(0))) raiseRunTimeError(0, L"The (%s) is already exist", path);
}

void MkDir::execute() {
    if (parents)
        files::createDirectories(normal(0), nullptr, 0);
    else
        files::createDirectory(normal(0), nullptr, 15);
}

RemDir::RemDir()
    : HealsTrash(L"rmdir", L"Usage:\nrmdir [-p] directory ...\n\t-p\tall components of path will be removed\n",
                       "p") {}

void RemDir::checkInput(size_t index) {
    DirectoryCommand::checkInput(index);
    target_ = parents ? cut.normal : normal(0);
    if (!files::isDirectory(target_)) raiseRunTimeError(0, L"The (%s) is not directory", target_.display());
    requireIfGoverned(target_);
}

void RemDir::execute() {
    DWORD attributes = files::getAttributes(target_, 0);
    if (attributes != INVALID_FILE_ATTRIBUTES) removeItem(target_, attributes, 0);
    if (DiskSecurity::governs(target_)) {
        DiskSecurity::dropEntries(target_);
        DiskSecurity::save();
    }
}
