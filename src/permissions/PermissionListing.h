// The listing modes: the permission document of one file or folder, with its accounts.
#pragma once
#include "permissions/AccountTable.h"
#include "permissions/PermissionEntries.h"
#include "ipc/AclInheritanceSource.h"
#include "security/SecurityInfo.h"

#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace permissions {

enum class ListingMode { Simple, Common, Advanced };

// Where each ACE of a path's DACL is inherited from; nothing when the answer does not fit.
using InheritanceLookup = std::function<std::optional<std::vector<RunTime::InheritanceEntry>>(
    const std::wstring& path, DWORD aceCount)>;
// The panel service's answer (RunTime::AclInheritanceSource).
InheritanceLookup serviceInheritance();

// The account of a SID as the document names it: the SID's string form when it does not resolve.
AccountKey accountKeyOf(const security::Sid& sid);

// One advanced entry per ACE (in DACL order), InheritedFrom filled from the inheritance sources.
std::vector<AdvancedEntry> advancedEntries(const security::Acl& dacl, const std::wstring& path, bool file,
                                           const InheritanceLookup& inheritance);
// Inherited entries first, then the explicit ones, each group in its order.
std::vector<AdvancedEntry> inheritedFirst(std::vector<AdvancedEntry> entries);

bool isFolder(const std::wstring& path);

// Opens the panel database the account descriptions come from (connected on the first query).
using DatabaseOpener = std::function<std::unique_ptr<db::DatabaseConnection>()>;
DatabaseOpener panelDatabase();

// The document text of a listing; the accounts of the DACLs and the owner are classified into
// `accounts` (prepared by the caller).
std::wstring listPermissions(ListingMode mode, const std::wstring& path, AccountTable& accounts,
                             const InheritanceLookup& inheritance);
// The same listing written onto an element: the root's attributes, then its children.
void writeListing(ListingMode mode, xml::XmlElement& root, const std::wstring& path, AccountTable& accounts,
                  const InheritanceLookup& inheritance);
// The listing in two steps, for a caller that writes other children in between: everything but
// Accounts, giving the SIDs (DACL, parent's, owner) still to be classified ...
std::vector<security::Sid> writeListingBody(ListingMode mode, xml::XmlElement& root, const std::wstring& path,
                                            const InheritanceLookup& inheritance);
// ... and Accounts, once they are.
void writeAccounts(xml::XmlElement& root, const std::vector<security::Sid>& sids, AccountTable& accounts);

} // namespace permissions
