#include "commands/files/FileHelpers.h"

#include "app/Exceptions.h"
#include "app/Sid.h"
#include "commands/PathPolicy.h"
#include "platform/Handle.h"
#include "platform/Platform.h"

#include <algorithm>
#include <vector>

#include <aclapi.h>

namespace files {
namespace {

using pathpolicy::displayPath;

constexpr DWORD kSettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                      FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                                      FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

bool isMissing(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME;
}

DWORD queryAttributes(const std::wstring& input, int attempts, bool missingRaises) {
    std::wstring path = pathpolicy::normalizePath(L"", input);
    const int budget = std::max(attempts, 1);
    for (int attempt = 1;; ++attempt) {
        DWORD attributes = 0;
        DWORD error = platform::current().getFileAttributes(path, &attributes);
        if (error == ERROR_SUCCESS) return attributes;
        if (!missingRaises && isMissing(error)) return INVALID_FILE_ATTRIBUTES;
        // A grant that leaves no attempt to use it still ends in the refusal, never in "missing".
        if (error == ERROR_ACCESS_DENIED && grantSelfAccess(path, GENERIC_ALL) && attempt < budget) continue;
        raiseRunTimeError(error, L"Unable to get file (%s) attributes", displayPath(path));
    }
}

platform::Handle processToken(DWORD access) {
    platform::Handle token;
    if (DWORD error = platform::current().openProcessToken(access, token.receive()))
        raiseOsError(L"Unable to open process token", error, {L"", "files::processToken", __LINE__});
    return token;
}

// The thread's token when it has one, else the process's.
platform::Handle callerToken(DWORD access) {
    platform::Handle token;
    DWORD error = platform::current().openThreadToken(access, TRUE, token.receive());
    if (error == ERROR_NO_TOKEN) return processToken(access);
    if (error) raiseOsError(L"Unable to open a thread token", error, {L"", "files::callerToken", __LINE__});
    return token;
}

std::vector<BYTE> tokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS cls) {
    platform::Platform& p = platform::current();
    DWORD needed = 0;
    DWORD error = p.getTokenInformation(token, cls, nullptr, 0, &needed);
    std::vector<BYTE> buffer(needed);
    if (error == ERROR_INSUFFICIENT_BUFFER || error == ERROR_SUCCESS)
        error = p.getTokenInformation(token, cls, buffer.data(), needed, &needed);
    if (error) raiseOsError(L"Unable to get token information", error, {L"", "files::tokenInformation", __LINE__});
    return buffer;
}

LUID privilegeValue(const wchar_t* name) {
    LUID luid{};
    if (!LookupPrivilegeValueW(nullptr, name, &luid))
        raiseOsError(format(L"Unable to find privilege (%s)", name), GetLastError(),
                     {L"", "files::privilegeValue", __LINE__});
    return luid;
}

// Enables the privilege when the caller's token holds it; a privilege not held is left alone.
void enableIfHeld(const wchar_t* name) {
    platform::Handle token = callerToken(TOKEN_QUERY | TOKEN_ADJUST_PRIVILEGES);
    LUID luid = privilegeValue(name);
    std::vector<BYTE> held = tokenInformation(token.get(), TokenPrivileges);
    auto* privileges = reinterpret_cast<TOKEN_PRIVILEGES*>(held.data());
    bool holds = std::any_of(privileges->Privileges, privileges->Privileges + privileges->PrivilegeCount,
                             [&](const LUID_AND_ATTRIBUTES& p) {
                                 return p.Luid.LowPart == luid.LowPart && p.Luid.HighPart == luid.HighPart;
                             });
    if (!holds) return;
    TOKEN_PRIVILEGES enable{1, {{luid, SE_PRIVILEGE_ENABLED}}};
    if (DWORD error = platform::current().adjustTokenPrivileges(token.get(), &enable))
        raiseOsError(format(L"Unable to adjust privilege (%s)", name), error, {L"", "files::enableIfHeld", __LINE__});
}

security::Sid processUser() {
    platform::Handle token = processToken(TOKEN_QUERY);
    std::vector<BYTE> user = tokenInformation(token.get(), TokenUser);
    return security::Sid(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid);
}

void takeOwnership(const std::wstring& path, const security::Sid& user) {
    enableIfHeld(SE_TAKE_OWNERSHIP_NAME);
    if (DWORD error =
            platform::current().setNamedSecurityInfo(path, OWNER_SECURITY_INFORMATION, user.get(), nullptr, nullptr))
        raiseOsError(format(L"Unable to set the object (%s) owner", displayPath(path)), error,
                     {L"", "files::takeOwnership", __LINE__});
}

[[noreturn]] void raiseAclError(const wchar_t* what, int line) {
    raiseOsError(what, GetLastError(), {L"", "files::addAllowedEntry", line});
}

// Adds an access-allowed entry for `sid` where an explicit entry belongs: after the explicit
// deny entries, before the other entries. The DACL keeps its protection from inheritance.
void addAllowedEntry(const std::wstring& path, const security::Sid& sid, DWORD mask) {
    platform::Platform& p = platform::current();
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR raw = nullptr;
    DWORD error = p.getNamedSecurityInfo(path, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, &raw);
    platform::LocalMemory descriptor(raw);
    if (error)
        raiseOsError(format(L"Unable to get the object (%s) security info", displayPath(path)), error,
                     {L"", "files::addAllowedEntry", __LINE__});
    if (dacl == nullptr) return; // no DACL: everyone holds every right already

    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    if (!GetSecurityDescriptorControl(raw, &control, &revision)) raiseAclError(L"Unable to get the descriptor control", __LINE__);
    ACL_SIZE_INFORMATION size{};
    if (!GetAclInformation(dacl, &size, sizeof size, AclSizeInformation)) raiseAclError(L"Unable to get ACL size", __LINE__);

    DWORD bytes = size.AclBytesInUse + sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + sid.length();
    std::vector<DWORD> buffer((bytes + sizeof(DWORD) - 1) / sizeof(DWORD));
    auto* acl = reinterpret_cast<ACL*>(buffer.data());
    DWORD aclRevision = std::max<DWORD>(dacl->AclRevision, ACL_REVISION);
    if (!InitializeAcl(acl, static_cast<DWORD>(buffer.size() * sizeof(DWORD)), aclRevision))
        raiseAclError(L"Unable to initialize ACL", __LINE__);
    bool added = false;
    auto addOwn = [&] {
        if (!AddAccessAllowedAce(acl, aclRevision, mask, sid.get())) raiseAclError(L"Unable to add ACE to ACL", __LINE__);
        added = true;
    };
    for (DWORD i = 0; i < size.AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(dacl, i, &ace)) raiseAclError(L"Unable to get ACL ACE", __LINE__);
        auto* header = static_cast<ACE_HEADER*>(ace);
        bool explicitDeny = !(header->AceFlags & INHERITED_ACE) && (header->AceType == ACCESS_DENIED_ACE_TYPE ||
                                                                     header->AceType == ACCESS_DENIED_OBJECT_ACE_TYPE);
        if (!added && !explicitDeny) addOwn();
        if (!AddAce(acl, aclRevision, MAXDWORD, ace, header->AceSize)) raiseAclError(L"Unable to add ACE to ACL", __LINE__);
    }
    if (!added) addOwn();

    SECURITY_INFORMATION what = DACL_SECURITY_INFORMATION | ((control & SE_DACL_PROTECTED)
                                                                  ? PROTECTED_DACL_SECURITY_INFORMATION
                                                                  : UNPROTECTED_DACL_SECURITY_INFORMATION);
    if ((error = p.setNamedSecurityInfo(path, what, nullptr, nullptr, acl)))
        raiseOsError(format(L"Unable to set the object (%s) security info", displayPath(path)), error,
                     {L"", "files::addAllowedEntry", __LINE__});
}

} // namespace

DWORD getAttributes(const std::wstring& path, int attempts) { return queryAttributes(path, attempts, false); }
DWORD requireAttributes(const std::wstring& path, int attempts) { return queryAttributes(path, attempts, true); }

bool exists(const std::wstring& path) { return getAttributes(path, 15) != INVALID_FILE_ATTRIBUTES; }

bool isDirectory(const std::wstring& path) {
    DWORD attributes = getAttributes(path, 15);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool grantSelfAccess(const std::wstring& input, DWORD mask) {
    std::wstring path = pathpolicy::normalizePath(L"", input);
    try {
        security::Sid user = processUser();
        takeOwnership(path, user);
        addAllowedEntry(path, user, mask);
        return true;
    } catch (const RunTime::AccessDeniedException&) {
        return false;
    } catch (const VAccessDeniedException&) {
        return false;
    }
}

bool clearAttributes(const std::wstring& input, bool alsoReadOnly) {
    std::wstring path = pathpolicy::normalizePath(L"", input);
    platform::Platform& p = platform::current();
    try {
        DWORD attributes = 0;
        if (DWORD error = p.getFileAttributes(path, &attributes))
            raiseRunTimeError(error, L"Unable to get file (%s) attributes", displayPath(path));
        DWORD drop = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | (alsoReadOnly ? FILE_ATTRIBUTE_READONLY : 0);
        if (!(attributes & drop)) return true;
        DWORD kept = attributes & kSettableAttributes & ~drop;
        if (DWORD error = p.setFileAttributes(path, kept ? kept : FILE_ATTRIBUTE_NORMAL))
            raiseRunTimeError(error, L"Unable to set file (%s) attributes", displayPath(path));
        return true;
    } catch (const RunTime::AccessDeniedException&) {
        return false;
    }
}

bool isAdministrator() {
    static const security::Sid administrators = security::Sid::fromString(L"S-1-5-32-544");
    platform::Handle token = processToken(TOKEN_QUERY);
    std::vector<BYTE> buffer = tokenInformation(token.get(), TokenGroups);
    auto* groups = reinterpret_cast<TOKEN_GROUPS*>(buffer.data());
    return std::any_of(groups->Groups, groups->Groups + groups->GroupCount, [](const SID_AND_ATTRIBUTES& g) {
        return !(g.Attributes & SE_GROUP_USE_FOR_DENY_ONLY) && security::Sid(g.Sid) == administrators;
    });
}

bool recoverAccess(const std::wstring& source, const std::wstring& destination, DWORD error) {
    if (error != ERROR_ACCESS_DENIED) return false;
    if (!grantSelfAccess(source, GENERIC_ALL) || !clearAttributes(source, true)) return false;
    if (exists(destination)) return grantSelfAccess(destination, GENERIC_ALL) && clearAttributes(destination, true);
    std::wstring parent = pathpolicy::parentPath(destination);
    return !parent.empty() && grantSelfAccess(parent, FILE_LIST_DIRECTORY);
}

} // namespace files
