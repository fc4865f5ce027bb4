// --ex-info: short and long forms, permissions and deletability of one path, as one document.
#pragma once
#include "commands/xml/RecordingCommand.h"
#include "permissions/ElementListing.h"
#include "security/EffectiveRights.h"

class LoopGuard;

class ExtendedFileInfo : public RecordingCommand {
public:
    ExtendedFileInfo();
    int start(int argc, wchar_t** argv) override;
    void execute() override;

    std::wstring path;
    // The Name the document shows, also when the check fails: the display form of the path.
    std::wstring shownName;
    bool withPermissions = false;
    bool withShortPath = false;
    bool withLongPath = false;
    bool withDeleteAccess = false;
    bool withSharingAccess = false;
    std::wstring shortPath;
    std::wstring longPath;
    // With --permissions: the listing PathInfo carries.
    permissions::ElementListing permissionListing;

    // Returns when the path (and everything below a folder) may be deleted now; raises an
    // access-denied or sharing-violation failure when not.
    void canDelete(const paths::NormalPath& itemPath);

protected:
    void prepareChecked() override;

private:
    void canDelete(const paths::NormalPath& itemPath, bool isFolder, bool descend, LoopGuard& guard);

    security::Caller caller_;
};
