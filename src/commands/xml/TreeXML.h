// --tree: a folder or file, and optionally what lies below it, as an XML document. The document
// is written element by element through the SAX writer into a spool and reaches standard output
// whole once the walk has succeeded: memory does not grow with the tree, and a walk that fails
// shows its message alone.
#pragma once
#include "commands/QuarnClass.h"
#include "commands/files/DirectoryListing.h"
#include "commands/files/FileType.h"
#include "permissions/ElementListing.h"

#include <map>
#include <memory>
#include <optional>

class DocumentSpool;
class LoopGuard;
class SaxDocument;

class TreeXML : public ClassicCommand {
public:
    enum ListingKind { FoldersOnly = 0, FilesOnly = 1, FoldersAndFiles = 2 };

    TreeXML();
    ~TreeXML() override;
    int start(int argc, wchar_t** argv) override;
    void prepare() override;
    void execute() override;

    std::wstring rootPath;
    bool recursive = false;
    bool withPermissions = false;
    bool withFileInfo = false;
    ListingKind listingKind = FoldersAndFiles;
    // With --permissions: the listing each element carries.
    permissions::ElementListing permissionListing;

    // The entry of one path as FindFirstFileW gives it; a volume root (which has none) gets its
    // attributes and zero times and size. Otherwise "Unable to get file information for the (%s)".
    static files::DirectoryEntry queryEntry(const paths::NormalPath& path);

private:
    // The element of `entry` (found in `parentPath`, or the requested path itself when
    // `parentPath` is empty), with what lies below it.
    void addNode(const paths::NormalPath& parentPath, const files::DirectoryEntry& entry, LoopGuard& guard);
    void addFolderContents(const paths::NormalPath& path, const files::DirectoryEntry& entry, LoopGuard& guard);
    // The detection for a file, once per extension (ignoring case); always for a name without one.
    const filetype::Detection& detection(const paths::NormalPath& path, const std::wstring& name);

    std::wstring givenPath_;
    int depth_ = -1;
    std::map<std::wstring, filetype::Detection> fileTypeCache_;
    filetype::Detection uncached_;
    std::unique_ptr<DocumentSpool> spool_;
    SaxDocument* document_ = nullptr;
};
