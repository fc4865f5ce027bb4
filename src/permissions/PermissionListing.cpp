#include "permissions/PermissionListing.h"

#include "app/Exceptions.h"
#include "app/Text.h"
#include "paths/NormalPath.h"
#include "permissions/AdvancedRights.h"
#include "permissions/CommonRights.h"
#include "permissions/PermissionDocument.h"
#include "platform/Platform.h"
#include "security/EffectiveRights.h"
#include "security/FileRights.h"
#include "security/Inheritance.h"

#include <algorithm>

namespace permissions {
namespace {

using security::Ace;
using security::Acl;
using security::Sid;

std::vector<Ace> acesOf(const Acl& dacl) {
    return dacl.absent() ? std::vector<Ace>{} : dacl.aces();
}

SID_NAME_USE useOf(const Sid& sid) {
    std::optional<security::AccountName> name = sid.lookupIfMapped();
    return name ? name->use : SidTypeUnknown;
}

std::wstring localComputer() {
    std::wstring name;
    if (DWORD error = platform::current().computerName(&name))
        raiseRunTimeError(error, L"Unable to get computer name");
    return name;
}

// The DACL with masks folded, flags cleared and entries of the same type and SID merged.
std::vector<Ace> collapsed(const Acl& dacl) {
    std::vector<Ace> out;
    for (const Ace& ace : acesOf(dacl)) {
        DWORD mask = security::foldGeneric(ace.mask());
        auto same = std::find_if(out.begin(), out.end(), [&](const Ace& o) {
            return o.type() == ace.type() && o.sid() == ace.sid();
        });
        if (same == out.end())
            out.push_back(Ace::make(ace.type(), 0, mask, ace.sid()));
        else
            *same = Ace::make(ace.type(), 0, same->mask() | mask, ace.sid());
    }
    return out;
}

std::vector<SimpleEntry> simpleEntries(const Acl& dacl) {
    std::vector<SimpleEntry> entries;
    for (const Ace& ace : collapsed(dacl)) {
        if (ace.type() != ACCESS_ALLOWED_ACE_TYPE && ace.type() != ACCESS_DENIED_ACE_TYPE) continue;
        const Sid sid = ace.sid();
        AccountKey key = accountKeyOf(sid);
        auto it = std::find_if(entries.begin(), entries.end(),
                               [&](const SimpleEntry& e) { return e.account == key; });
        if (it == entries.end()) {
            entries.push_back({key, useOf(sid), 0, 0});
            it = entries.end() - 1;
        }
        const DWORD mask = ace.mask();
        if (ace.type() == ACCESS_ALLOWED_ACE_TYPE) {
            if ((mask & 0x89) == 0x89) it->allow |= kSimpleRead;
            if ((mask & 0xA0) == 0xA0) it->allow |= kSimpleExecute;
            if ((mask & 0x116) == 0x116) it->allow |= kSimpleWrite;
        } else {
            if (mask & 0x89) it->deny |= kSimpleRead;
            if (mask & 0x20) it->deny |= kSimpleExecute;
            if (mask & 0x116) it->deny |= kSimpleWrite;
        }
    }
    return entries;
}

// The parent's own entries that reach a child of this kind, and the SIDs they name.
std::vector<AdvancedEntry> parentEntries(const std::wstring& parent, bool file,
                                         const InheritanceLookup& inheritance, std::vector<Sid>& sids) {
    security::SecurityInfo info = security::readSecurity(parent);
    std::vector<AdvancedEntry> all = advancedEntries(info.dacl, parent, false, inheritance);
    std::vector<AdvancedEntry> kept;
    std::vector<Ace> aces = acesOf(info.dacl);
    for (size_t i = 0; i < aces.size(); ++i) {
        if (!security::reaches(aces[i].flags(), file)) continue;
        kept.push_back(all[i]);
        if (file) kept.back().applyOnto = 0;
        sids.push_back(aces[i].sid());
    }
    return inheritedFirst(std::move(kept));
}

void setOwner(xml::XmlElement& root, const Sid& owner) {
    xml::XmlElement element = root.append(L"Owner");
    AccountKey key = accountKeyOf(owner);
    element.set(L"Domain", key.domain);
    element.set(L"Name", key.name);
    element.set(L"Type", accountTypeWord(useOf(owner)));
}

std::vector<std::pair<std::wstring, std::wstring>> attributesOf(const security::SecurityInfo& info, bool file) {
    const DWORD rights = security::effectiveRights(info.dacl, info.owner, security::callerSids());
    return {{L"Type", file ? L"File" : L"Folder"},
            {L"Change", (rights & 0x800) ? L"enable" : L"disable"},
            {L"LocalDomain", localComputer()},
            {L"BuiltinDomain", security::administratorsGroup().lookup().domain},
            {L"NTAuthorityDomain", security::localSystem().lookup().domain}};
}

} // namespace

InheritanceLookup serviceInheritance() {
    return [](const std::wstring& path, DWORD count) {
        return RunTime::AclInheritanceSource().get(path, count);
    };
}

AccountKey accountKeyOf(const Sid& sid) {
    std::optional<security::AccountName> name = sid.lookupIfMapped();
    if (!name) return {L"", sid.toString()};
    return {name->domain, name->name};
}

std::vector<AdvancedEntry> advancedEntries(const Acl& dacl, const std::wstring& path, bool file,
                                           const InheritanceLookup& inheritance) {
    std::vector<Ace> aces = acesOf(dacl);
    std::optional<std::vector<RunTime::InheritanceEntry>> sources;
    if (!aces.empty()) sources = inheritance(path, static_cast<DWORD>(aces.size()));
    if (sources && sources->size() != aces.size()) sources.reset();
    std::vector<AdvancedEntry> entries;
    for (size_t i = 0; i < aces.size(); ++i) {
        const Ace& ace = aces[i];
        AdvancedEntry e;
        e.account = accountKeyOf(ace.sid());
        e.allow = ace.type() != ACCESS_DENIED_ACE_TYPE;
        e.rights = advancedRightsOf(security::foldGeneric(ace.mask()));
        e.applyOnto = file ? 0 : security::applyOntoOf(ace.flags());
        if (sources) e.inheritedFrom = (*sources)[i].ancestor;
        entries.push_back(std::move(e));
    }
    return entries;
}

std::vector<AdvancedEntry> inheritedFirst(std::vector<AdvancedEntry> entries) {
    std::stable_partition(entries.begin(), entries.end(),
                          [](const AdvancedEntry& e) { return e.inherited(); });
    return entries;
}

bool isFolder(const std::wstring& path) {
    DWORD attributes = 0;
    if (DWORD error = platform::current().getFileAttributes(path, &attributes))
        raiseRunTimeError(error, L"Unable to get file attributes for %s", text::displayPath(path));
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

DatabaseOpener panelDatabase() {
    return [] { return std::make_unique<db::DatabaseConnection>(false); };
}

std::wstring listPermissions(ListingMode mode, const std::wstring& path, AccountTable& accounts,
                             const InheritanceLookup& inheritance) {
    xml::XmlDocument document;
    xml::XmlElement root = document.createRoot(L"Permissions");
    writeListing(mode, root, path, accounts, inheritance);
    return document.xml();
}

std::vector<Sid> writeListingBody(ListingMode mode, xml::XmlElement& root, const std::wstring& path,
                                  const InheritanceLookup& inheritance) {
    security::SecurityInfo info = security::readSecurity(path);
    const bool file = !isFolder(path);
    for (const auto& [name, value] : attributesOf(info, file))
        root.set(name, value);
    setOwner(root, info.owner);

    const std::vector<Ace> aces = acesOf(info.dacl);
    std::vector<AdvancedEntry> entries;
    bool everyInherited = false;
    if (mode == ListingMode::Simple) {
        std::optional<std::vector<RunTime::InheritanceEntry>> sources;
        if (!aces.empty()) sources = inheritance(path, static_cast<DWORD>(aces.size()));
        everyInherited = sources && sources->size() == aces.size() && !aces.empty() &&
                         std::all_of(sources->begin(), sources->end(),
                                     [](const RunTime::InheritanceEntry& e) { return !e.ancestor.empty(); });
    } else {
        entries = advancedEntries(info.dacl, path, file, inheritance);
        everyInherited =
            !entries.empty() &&
            std::all_of(entries.begin(), entries.end(), [](const AdvancedEntry& e) { return e.inherited(); });
    }
    root.append(L"Inherit").set(L"Type", everyInherited ? L"Inherited" : L"Explicit");

    std::vector<Sid> parentSids;
    if (mode == ListingMode::Simple) {
        writeSimpleAcl(root, simpleEntries(info.dacl));
    } else {
        // Listed paths are checked ones, already in normal form.
        const paths::NormalPath parent = paths::NormalPath::fromNormal(path).parent();
        DWORD parentAttributes = 0;
        const bool parentExists =
            !parent.empty() && platform::current().getFileAttributes(parent, &parentAttributes) == 0;
        writeAdvancedAcl(root, L"AdvancedAcl", inheritedFirst(entries), file);
        if (mode == ListingMode::Common) {
            writeCommonAcl(root, L"CommonAcl", foldToCommon(entries, file), file);
            if (parentExists) {
                std::vector<AdvancedEntry> fromParent = parentEntries(parent, file, inheritance, parentSids);
                if (!fromParent.empty())
                    writeCommonAcl(root, L"ParentCommonAcl", foldToCommon(fromParent, file), file);
                else
                    parentSids.clear();
            }
        } else if (parentExists) {
            writeAdvancedAcl(root, L"ParentAdvancedAcl", parentEntries(parent, file, inheritance, parentSids),
                             file);
        }
    }

    std::vector<Sid> sids;
    for (const Ace& ace : aces)
        sids.push_back(ace.sid());
    sids.insert(sids.end(), parentSids.begin(), parentSids.end());
    sids.push_back(info.owner);
    return sids;
}

void writeAccounts(xml::XmlElement& root, const std::vector<Sid>& sids, AccountTable& accounts) {
    for (const Sid& sid : sids)
        accounts.classify(sid);
    accounts.write(root);
}

void writeListing(ListingMode mode, xml::XmlElement& root, const std::wstring& path, AccountTable& accounts,
                  const InheritanceLookup& inheritance) {
    writeAccounts(root, writeListingBody(mode, root, path, inheritance), accounts);
}

} // namespace permissions
