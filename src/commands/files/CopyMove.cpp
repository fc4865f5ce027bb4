#include "commands/files/CopyMove.h"

#include "app/Exceptions.h"
#include "app/Text.h"
#include "commands/PathPolicy.h"
#include "commands/files/CopyTree.h"
#include "commands/files/DirectoryListing.h"
#include "commands/files/FileHelpers.h"
#include "commands/files/FileTransfer.h"
#include "commands/files/HardLink.h"
#include "commands/files/MoveTree.h"
#include "commands/files/PathNames.h"

namespace {

// The components of a path without its long-path prefix; empty components (a root's trailing
// separator, doubled separators) carry no name and are left out.
std::vector<std::wstring_view> components(std::wstring_view path) {
    for (std::wstring_view prefix : {L"\\\\?\\", L"\\??\\"})
        if (path.substr(0, prefix.size()) == prefix) {
            path.remove_prefix(prefix.size());
            break;
        }
    std::vector<std::wstring_view> out;
    while (!path.empty()) {
        size_t end = path.find_first_of(L"/\\");
        std::wstring_view part = path.substr(0, end);
        if (!part.empty()) out.push_back(part);
        if (end == std::wstring_view::npos) break;
        path.remove_prefix(end + 1);
    }
    return out;
}

} // namespace

bool isSubPath(const std::wstring& source, const std::wstring& destination) {
    std::vector<std::wstring_view> from = components(source), to = components(destination);
    if (from.size() >= to.size()) return false;
    for (size_t i = 0; i < from.size(); ++i)
        if (!text::equalNoCase(from[i], to[i])) return false;
    return true;
}

void refuseSubPath(const paths::CheckedPath& source, const paths::CheckedPath& destination) {
    if (isSubPath(source.normal, destination.normal) || isSubPath(source.longForm, destination.longForm))
        raiseRunTimeError(161, L"Unable to copy from %s to %s. The destination is sub path of the source path.",
                          source.normal.display(), destination.normal.display());
}

bool CopyMoveCommand::takeOperands(const Operands& operands) {
    if (operands.size() != 2) return false;
    source = operands.wide(0);
    destination = operands.wide(1);
    inputs = {source, destination};
    return true;
}

void CopyMoveCommand::checkInput(size_t index) {
    if (index == 1) refuseSubPath(checked(0), checked(1));
}

namespace {
const option copyOptions[] = {{"recursive", no_argument, nullptr, 'r'},
                              {"recursive", no_argument, nullptr, 'R'},
                              {"force", no_argument, nullptr, 'f'},
                              {"link", no_argument, nullptr, 'l'},
                              {nullptr, 0, nullptr, 0}};
const option moveOptions[] = {{"force", no_argument, nullptr, 'f'}, {nullptr, 0, nullptr, 0}};
} // namespace

CopyFiles::CopyFiles()
    : CopyMoveCommand(L"cp",
                      L"Usage:\ncp [keys] file\n\t-r, -R --recursive\tcopy file hierarchies\n\t-f, "
                      L"--force\tremove existent path before copy\n\t-l, --link\tmake hard link\n",
                      "rRfl", copyOptions) {}

bool CopyFiles::takeOption(int c, const char*) {
    switch (c) {
    case 'r':
    case 'R':
        recursive = true;
        return true;
    case 'f':
        force = true;
        return true;
    case 'l':
        link = true;
        return true;
    default:
        return false;
    }
}

void CopyFiles::execute() {
    const paths::NormalPath& source = normal(0);
    const paths::NormalPath& destination = normal(1);
    if (link) return files::createHardLink(source, destination, 15);
    if (files::requireAttributes(source, 15) & FILE_ATTRIBUTE_DIRECTORY) {
        if (!recursive) raiseRunTimeError(0, L"The (%s) is directory, use -r", source.display());
        return files::copyTree(files::listDirectory(source), destination, 0, true, linkTargetCheck());
    }
    files::copyFile(source, destination, 0);
}

MoveFiles::MoveFiles()
    : CopyMoveCommand(L"mv", L"Usage:\nmv [-f] file\n\t-f, --force\tremove existent path before copy\n", "f",
                      moveOptions) {}

bool MoveFiles::takeOption(int c, const char*) {
    if (c != 'f') return false;
    force = true;
    return true;
}

namespace {

// Both names lead to the same item: the same path in another letter case, or a short name.
bool sameItem(const paths::NormalPath& source, const paths::NormalPath& destination) {
    return text::equalNoCase(files::shortPath(source), files::shortPath(destination));
}

} // namespace

void MoveFiles::execute() {
    const paths::NormalPath& source = normal(0);
    const paths::NormalPath& destination = normal(1);
    DWORD attributes = files::requireAttributes(source, 15);
    if (files::exists(destination) && sameItem(source, destination)) return;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return files::moveTree(files::listDirectory(source), destination, linkTargetCheck());
    files::moveFile(source, destination, MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH,
                    0);
}
