#include "commands/files/UnpackArchive.h"

#include "app/Exceptions.h"
#include "app/Log.h"
#include "app/Text.h"
#include "commands/PathPolicy.h"
#include "commands/files/AnyArc.h"
#include "commands/files/ArrivingTree.h"
#include "commands/files/CreateDirectory.h"
#include "commands/files/DirectoryListing.h"
#include "commands/files/FileHelpers.h"
#include "commands/files/InheritedEntries.h"
#include "commands/files/MoveTree.h"
#include "commands/files/RemovePath.h"
#include "commands/files/TemporaryName.h"
#include "commands/files/UnpackLimits.h"
#include "identity/UserRecord.h"
#include "paths/PathSyntax.h"
#include "platform/Platform.h"

#include <exception>

namespace {

constexpr int kTemporaryNameTries = 15;

bool isDirectory(const paths::NormalPath& path) {
    DWORD attributes = 0;
    return platform::current().getFileAttributes(path, &attributes) == 0 &&
           (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A reparse point anywhere in the tree: whatever the archiver was, the tree must not lead the
// move, or the entries set afterwards, out of it.
bool holdsReparsePoint(const paths::NormalPath& directory) {
    files::DirectoryListing listing = files::listDirectory(directory);
    for (const files::DirectoryEntry& file : listing.files)
        if (file.isReparsePoint) return true;
    for (const files::DirectoryEntry& sub : listing.directories) {
        if (files::isDotEntry(sub)) continue;
        if (sub.isReparsePoint || holdsReparsePoint(directory.join(sub.name))) return true;
    }
    return false;
}

} // namespace

UnpackArchive::UnpackArchive()
    : HealsTrash(L"unpack-archive", L"Usage:\nunpack-archive [type] 'archive path' 'unpack to'\n", 2,
                        3) {}

void UnpackArchive::takeArguments(const std::vector<std::wstring>& arguments) {
    size_t at = arguments.size() == 3 ? 1 : 0;
    if (at) type = arguments[0];
    inputs = {paths::trimmed(arguments[at]), paths::trimmed(arguments[at + 1])};
}

void UnpackArchive::checkInput(size_t index) {
    if (index + 1 != inputs.size()) return;
    std::wstring home;
    RunTime::User::userInfoFromDB(targetName, nullptr, &home, nullptr, nullptr);
    // Without a home, or with a relative one, the temporary directory would land in whatever the
    // current directory is (another account's site, when the panel starts us inside the hosting area).
    if (!paths::isAbsoluteFolderPath(home)) raiseRunTimeError(0, L"Unable to get user (%s) home", targetName);
    paths::NormalPath work(home);
    paths::NormalPath privateFolder = work.join(L"private");
    if (isDirectory(privateFolder)) work = privateFolder;
    // The unpacked tree is written there before it is moved: it must be a place this account may change.
    workPath = checkDerivedPath(work, pathpolicy::Reach::WholeTree).normal;
}

paths::NormalPath UnpackArchive::unpackToTemporary() {
    const paths::NormalPath& archivePath = normal(0);
    const std::wstring workDirectory = workPath.display();
    const files::UnpackLimits limits = files::unpackLimits(workDirectory);
    files::ChosenHandler chosen = files::chooseArchiveHandler(type, archivePath, workDirectory, limits);
    const paths::NormalPath temporary = files::temporaryName(workPath, L"", kTemporaryNameTries);
    files::createDirectory(temporary, nullptr, 0);
    try {
        // A handler found by probing has passed its test already: the archive is decompressed
        // once for the test and once for the extraction, never a third time. The extraction
        // checks again what the test checked (the account may replace the archive in between).
        if ((!chosen.tested && chosen.handler.Test(archivePath, temporary, limits) != 0) ||
            chosen.handler.Extract(archivePath, temporary, limits) != 0) {
            // The document says only that the archive is invalid; the operator reads why.
            LogManager::instance().reportEvent(1, format(L"Archive %s is invalid: %s", archivePath.display(),
                                                         text::fromUtf8(chosen.handler.lastOutput())));
            raiseRunTimeError(0, L"Archive %s is invalid.", archivePath.display());
        }
        if (holdsReparsePoint(temporary)) raiseRunTimeError(0, L"Archive %s is invalid.", archivePath.display());
    } catch (...) {
        files::removeTree(files::listDirectory(temporary), 0);
        throw;
    }
    return temporary;
}

void UnpackArchive::operate() {
    const paths::NormalPath temporary = unpackToTemporary();
    const paths::NormalPath& destination = normal(1);
    files::ArrivingTree arrived;
    try {
        // A clash with what the destination holds is found before anything moves.
        arrived = files::arrivingTree(temporary, destination);
        files::moveTree(files::listDirectory(temporary), destination, linkTargetCheck());
    } catch (const RunTime::DirectoryNotEmptyException&) {
        // The move is complete, but entries arrived in the temporary tree meanwhile: they are
        // nobody's copy, so they stay with the folders holding them.
        throw;
    } catch (...) {
        // Every failure of the move, not only those of the standard library, must take the
        // temporary tree away.
        std::exception_ptr failure = std::current_exception();
        if (files::exists(temporary)) {
            try {
                files::removeTree(files::listDirectory(temporary), 0);
            } catch (...) {
                raisePlainError(format(L"At %s\n rollback failed: Unable to remove temporary directory: (%s)",
                                       messageOf(failure), messageOf(std::current_exception())));
            }
        }
        std::rethrow_exception(failure);
    }
    files::reapplyInheritedEntries(destination, arrived);
}
