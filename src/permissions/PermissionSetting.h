// The setting modes: DACLs built from the simple, advanced and common forms, the
// inheritance-preserving write, and the change of an object's permissions from a document.
#pragma once
#include "permissions/PermissionDocument.h"
#include "permissions/PermissionEntries.h"
#include "security/Acl.h"
#include "xml/XmlDocument.h"

#include <functional>
#include <string>
#include <vector>

namespace permissions {

// The SID of a document account: DOMAIN\name looked up, or the SID's string form when the
// domain is empty and the name is one ("Unable to lookup SID for name %s" otherwise).
security::Sid sidOfAccount(const AccountKey& account);

// --set: per account a deny entry, then an allow entry, for everything below (flags 3).
security::Acl simpleAcl(const std::vector<SimpleEntry>& entries);

// The entries as a DACL: deny entries before allow entries, each in order. Masks from the rights
// (a full file entry also carries FILE_DELETE_CHILD; allow entries SYNCHRONIZE); flags from
// apply-onto (none on a file).
security::Acl advancedAcl(const std::vector<AdvancedEntry>& entries, bool file);

// --set-common: the advanced entries that stand for the requested common entries.
std::vector<AdvancedEntry> entriesFromCommon(const std::vector<CommonEntry>& requested,
                                             const std::vector<AdvancedEntry>& listed, bool file);

// Writes the DACL keeping inheritance whenever the parent's inheritable entries are all in it
// (they are then left to inheritance); otherwise writes it whole and protected.
void smartSetRights(const std::wstring& path, const security::Acl& acl, bool file);

// The document form of a setting mode: --set, --set-advanced, --set-common.
enum class SettingForm { Simple, Advanced, Common };

struct SettingRequest {
    SettingForm form = SettingForm::Simple;
    // The document's inherited entries stay with inheritance (the list is written open to it
    // whatever the parent holds); without it every entry is made explicit.
    bool inheritFromParent = false;
    // Afterwards every file and subfolder below the folder inherits from it with no explicit
    // entries; subfolders the caller may not change (WRITE_DAC) and reparse points (junctions,
    // symbolic links) are neither written nor entered (security::handDown).
    bool replaceOnChildren = false;
};

// Sets the permissions of the file or folder `object` to what the document `root` describes in
// the request's form. The document is read and its accounts resolved before `beforeFirstWrite`
// runs, and that runs before the first write: a document that fails changes nothing.
void setPermissions(const std::wstring& object, const xml::XmlElement& root, const SettingRequest& request,
                    const std::function<void()>& beforeFirstWrite);

// Whether the caller may change the permissions of the path (ChangePermissions of its rights).
bool mayChangePermissions(const std::wstring& path);

} // namespace permissions
