#include "permissions/PermissionDocument.h"

#include "app/Exceptions.h"
#include "permissions/AdvancedRights.h"
#include "permissions/CommonRights.h"

namespace permissions {
namespace {

bool isTrue(const xml::XmlElement& element, const std::wstring& name) {
    return element.text(name) == L"True";
}

void writeCommonSet(xml::XmlElement& entry, const std::wstring& name, DWORD set, bool file) {
    xml::XmlElement mask = entry.append(name);
    for (const CommonRight& right : kCommonRights) {
        if (file && right.bit == kCommonListFolderContents) continue;
        mask.set(right.name, trueFalse(set & right.bit));
    }
}

DWORD readCommonSet(const xml::XmlElement& entry, const std::wstring& name, bool file) {
    std::optional<xml::XmlElement> mask = entry.child(name);
    if (!mask) return 0;
    DWORD set = 0;
    for (const CommonRight& right : kCommonRights)
        if (isTrue(*mask, right.name)) set |= right.bit;
    return set & commonRightsMask(file);
}

const wchar_t* simpleValue(DWORD allow, DWORD deny, DWORD right) {
    if (deny & right) return L"deny";
    if (allow & right) return L"allow";
    return L"";
}

void readSimpleValue(const xml::XmlElement& ace, const wchar_t* name, DWORD right, SimpleEntry& entry) {
    std::wstring value = ace.text(name);
    if (value == L"deny")
        entry.deny |= right;
    else if (value == L"allow")
        entry.allow |= right;
}

} // namespace

std::wstring accountTypeWord(SID_NAME_USE use) {
    switch (use) {
    case SidTypeUser:
        return L"User";
    case SidTypeGroup:
    case SidTypeAlias:
    case SidTypeWellKnownGroup:
        return L"Group";
    case SidTypeDomain:
        return L"Domain";
    case SidTypeComputer:
        return L"Computer";
    default:
        return L"Unknown";
    }
}

std::wstring trueFalse(bool value) {
    return value ? L"True" : L"False";
}

namespace {

// An "Entry" of the list, naming its account.
template <class Account> xml::XmlElement appendEntry(xml::XmlElement& acl, const Account& account) {
    xml::XmlElement entry = acl.append(L"Entry");
    entry.set(L"Domain", account.domain);
    entry.set(L"Name", account.name);
    return entry;
}

} // namespace

void writeAdvancedAcl(xml::XmlElement& parent, const std::wstring& name, const std::vector<AdvancedEntry>& entries,
                      bool file) {
    xml::XmlElement acl = parent.append(name);
    for (const AdvancedEntry& e : entries) {
        xml::XmlElement entry = appendEntry(acl, e.account);
        entry.set(L"InheritedFrom", e.inheritedFrom);
        xml::XmlElement mask = entry.append(L"AccessMask");
        for (const AdvancedRight& right : kAdvancedRights)
            mask.set(right.name, trueFalse(e.rights & right.bit));
        DWORD control = controlOf(e.rights, file);
        xml::XmlElement controlElement = entry.append(L"Control");
        controlElement.set(L"Read", trueFalse(control & kControlRead));
        controlElement.set(L"Write", trueFalse(control & kControlWrite));
        controlElement.set(L"Execute", trueFalse(control & kControlExecute));
        controlElement.set(L"Full", trueFalse(control == kControlFull));
        if (!file) {
            xml::XmlElement apply = entry.append(L"ApplyOnto");
            apply.set(L"Files", trueFalse(e.applyOnto & 4));
            apply.set(L"Subfolders", trueFalse(e.applyOnto & 2));
            apply.set(L"ThisObject", trueFalse(e.applyOnto & 1));
        }
        entry.set(L"Allow", trueFalse(e.allow));
    }
}

void writeCommonAcl(xml::XmlElement& parent, const std::wstring& name, const std::vector<CommonEntry>& entries,
                    bool file) {
    xml::XmlElement acl = parent.append(name);
    for (const CommonEntry& c : entries) {
        xml::XmlElement entry = appendEntry(acl, c.account);
        writeCommonSet(entry, L"AllowAccessMask", c.allow, file);
        writeCommonSet(entry, L"DenyAccessMask", c.deny, file);
    }
}

bool isFileDocument(const xml::XmlElement& root) {
    return root.text(L"Type") == L"File";
}

std::vector<AdvancedEntry> readAdvancedAcl(const xml::XmlElement& root, const std::wstring& name) {
    std::vector<AdvancedEntry> entries;
    std::optional<xml::XmlElement> acl = root.child(name);
    if (!acl) return entries;
    const bool file = isFileDocument(root);
    for (const xml::XmlElement& element : acl->children(L"Entry")) {
        AdvancedEntry e;
        e.account = {element.text(L"Domain"), element.text(L"Name")};
        e.inheritedFrom = element.text(L"InheritedFrom");
        e.allow = isTrue(element, L"Allow");
        if (std::optional<xml::XmlElement> mask = element.child(L"AccessMask"))
            for (const AdvancedRight& right : kAdvancedRights)
                if (isTrue(*mask, right.name)) e.rights |= right.bit;
        if (file) e.rights &= kFullFileRights;
        std::optional<xml::XmlElement> apply = element.child(L"ApplyOnto");
        if (apply && !file) {
            if (isTrue(*apply, L"Files")) e.applyOnto |= 4;
            if (isTrue(*apply, L"Subfolders")) e.applyOnto |= 2;
            if (isTrue(*apply, L"ThisObject")) e.applyOnto |= 1;
        }
        entries.push_back(std::move(e));
    }
    return entries;
}

std::vector<CommonEntry> readCommonAcl(const xml::XmlElement& root, const std::wstring& name) {
    std::vector<CommonEntry> entries;
    std::optional<xml::XmlElement> acl = root.child(name);
    if (!acl) return entries;
    const bool file = isFileDocument(root);
    for (const xml::XmlElement& element : acl->children(L"Entry"))
        entries.push_back({{element.text(L"Domain"), element.text(L"Name")},
                           readCommonSet(element, L"AllowAccessMask", file),
                           readCommonSet(element, L"DenyAccessMask", file)});
    return entries;
}

void writeSimpleAcl(xml::XmlElement& parent, const std::vector<SimpleEntry>& entries) {
    xml::XmlElement acl = parent.append(L"Acl");
    for (const SimpleEntry& s : entries) {
        xml::XmlElement ace = acl.append(L"Ace");
        ace.set(L"Domain", s.account.domain);
        ace.set(L"Name", s.account.name);
        ace.set(L"Type", accountTypeWord(s.use));
        ace.set(L"Read", simpleValue(s.allow, s.deny, kSimpleRead));
        ace.set(L"Execute", simpleValue(s.allow, s.deny, kSimpleExecute));
        ace.set(L"Write", simpleValue(s.allow, s.deny, kSimpleWrite));
    }
}

std::vector<SimpleEntry> readSimpleAcl(const xml::XmlElement& root) {
    std::vector<SimpleEntry> entries;
    for (const xml::XmlElement& acl : root.children(L"Acl")) {
        for (const xml::XmlElement& ace : acl.children(L"Ace")) {
            if (entries.size() == xml::XmlDocument::kMaxEntries)
                throwRunTimeError(0, L"Too many Ace elements in the document");
            SimpleEntry e;
            e.account = {ace.text(L"Domain"), ace.text(L"Name")};
            readSimpleValue(ace, L"Read", kSimpleRead, e);
            readSimpleValue(ace, L"Write", kSimpleWrite, e);
            readSimpleValue(ace, L"Execute", kSimpleExecute, e);
            entries.push_back(std::move(e));
        }
    }
    return entries;
}

} // namespace permissions
