// The vocabulary of the permission document: advanced and common entries written into and read
// from their containers, the three-right Acl of the simple listing, and the account type words.
#pragma once
#include "permissions/PermissionEntries.h"
#include "xml/XmlDocument.h"

#include <vector>

namespace permissions {

// "User", "Group", "Domain", "Computer" or "Unknown".
std::wstring accountTypeWord(SID_NAME_USE use);
std::wstring trueFalse(bool value);

// An AdvancedAcl-like container `name` under `parent`, one Entry per advanced entry.
void writeAdvancedAcl(xml::XmlElement& parent, const std::wstring& name, const std::vector<AdvancedEntry>& entries,
                      bool file);
// A CommonAcl-like container `name` under `parent`, one Entry per common entry.
void writeCommonAcl(xml::XmlElement& parent, const std::wstring& name, const std::vector<CommonEntry>& entries,
                    bool file);

// The document's own kind: a file document when the root's Type is "File".
bool isFileDocument(const xml::XmlElement& root);
// The entries of the container `name` under the root; none when there is no such container.
std::vector<AdvancedEntry> readAdvancedAcl(const xml::XmlElement& root, const std::wstring& name = L"AdvancedAcl");
std::vector<CommonEntry> readCommonAcl(const xml::XmlElement& root, const std::wstring& name = L"CommonAcl");

// The simple form: Read 1, Write 2, Execute 4.
inline constexpr DWORD kSimpleRead = 1, kSimpleWrite = 2, kSimpleExecute = 4;
struct SimpleEntry {
    AccountKey account;
    SID_NAME_USE use = SidTypeUnknown;
    DWORD allow = 0;
    DWORD deny = 0;
    friend bool operator==(const SimpleEntry&, const SimpleEntry&) = default;
};
void writeSimpleAcl(xml::XmlElement& parent, const std::vector<SimpleEntry>& entries);
// Every Ace of every Acl child of the root, in document order.
std::vector<SimpleEntry> readSimpleAcl(const xml::XmlElement& root);

} // namespace permissions
