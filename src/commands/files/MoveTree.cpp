#include "commands/files/MoveTree.h"

#include "app/Exceptions.h"
#include "app/Text.h"
#include "commands/files/CopyTree.h"
#include "commands/files/FileHelpers.h"
#include "commands/files/FileTransfer.h"
#include "commands/files/Junction.h"
#include "commands/files/OpenDirectory.h"
#include "commands/files/RemovePath.h"
#include "commands/files/TrashDirectory.h"
#include "identity/Administrators.h"
#include "platform/Platform.h"

#include <exception>

namespace files {
namespace {

// A junction that cannot be renamed is made anew at the destination (only to a place the command
// may link to), then removed as itself: its target's contents are neither copied nor removed.
void moveJunction(const paths::NormalPath& source, const paths::NormalPath& destination, int attempts,
                  const LinkTargetCheck& checkTarget) {
    const std::wstring target =
        readJunctionTarget(openTreeDirectory(source, Disposition::OpenExisting, attempts).get(), source);
    checkTarget(target);
    createJunction(destination, paths::NormalPath(target), attempts);
    removePath(source, trashDirectory(source), attempts);
}

} // namespace

void moveTree(const DirectoryListing& listing, const paths::NormalPath& destination, const LinkTargetCheck& checkTarget) {
    const int attempts = identity::isAdministrator() ? 15 : 0;
    try {
        moveFile(listing.path, destination, 0, attempts);
        return;
    } catch (const std::exception&) {
        // not a plain rename: copy, then remove
    }
    if (getAttributes(listing.path, attempts) & FILE_ATTRIBUTE_REPARSE_POINT)
        return moveJunction(listing.path, destination, attempts, checkTarget);
    const bool existed = exists(destination);
    CopiedListings copied;
    try {
        copyTree(listing, destination, 15, true, checkTarget, &copied);
    } catch (...) {
        std::exception_ptr failure = std::current_exception();
        if (!existed && exists(destination)) {
            try {
                removeTree(listDirectory(destination), attempts);
            } catch (...) {
                raisePlainError(format(L"At %s\n rollback failed: Unable to remove file: (%s)",
                                       messageOf(failure), messageOf(std::current_exception())));
            }
        }
        std::rethrow_exception(failure);
    }
    removeCopied(copied, attempts);
}

} // namespace files
