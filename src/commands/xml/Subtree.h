// subtree: the folders below a directory that the panel may offer, as an XML document.
#pragma once
#include "commands/files/ArgumentCommands.h"
#include "commands/files/DirectoryListing.h"
#include "security/EffectiveRights.h"

#include <string>
#include <vector>

class LoopGuard;

// Folders directly inside the root that the panel keeps for itself.
extern const std::vector<std::wstring> kTopLevelHiddenNames;
// Folders directly inside a first-level folder that the panel keeps for itself.
extern const std::vector<std::wstring> kSecondLevelHiddenNames;

class XMlDirTree : public OnePathCommand {
public:
    XMlDirTree();
    void execute() override;

    // Read from the configuration key when the command runs.
    bool virtDirShowAll = false;

    // The caller holds ListFolderOrReadData, ReadAttributes, ReadExtendedAttributes or
    // ReadPermissions on the folder; a failure is a warning in the event log and means no.
    bool isFolderVisible(const paths::NormalPath& fullPath);
    // A warning in the event log; nothing is printed.
    static void reportWarning(const std::wstring& message);

private:
    // The relative paths ("/a/b") of the visible folders, in walk order.
    std::vector<std::wstring> walk();
    void collectSubfolders(const std::wstring& relativePath, int depth, LoopGuard& guard,
                           std::vector<std::wstring>& out);
    // The listing of a folder; a failure is a warning and gives nothing.
    files::DirectoryListing listOrWarn(const paths::NormalPath& fullPath);

    security::Caller caller_;
};
