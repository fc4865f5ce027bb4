#include "security/Token.h"

#include "app/Exceptions.h"
#include "platform/Platform.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <new>

namespace security {
namespace {

// The answer's fixed part must lie inside the bytes the query returned, and so must every SID
// it points at: a token buffer is read only after this check.
void requireInside(const std::vector<BYTE>& buffer, const void* p, size_t bytes) {
    auto* b = static_cast<const BYTE*>(p);
    if (b < buffer.data() || b + bytes > buffer.data() + buffer.size())
        raiseOsError(L"Unable to get token information", ERROR_INVALID_DATA);
}

Sid sidInside(const std::vector<BYTE>& buffer, PSID sid) {
    requireInside(buffer, sid, 8);
    requireInside(buffer, sid, GetSidLengthRequired(*GetSidSubAuthorityCount(sid)));
    return Sid(sid);
}

} // namespace

Token Token::process(DWORD access, const wchar_t* failure) {
    platform::Handle handle;
    if (DWORD error = platform::current().openProcessToken(access, handle.receive()))
        raiseOsError(failure, error);
    return Token(std::move(handle));
}

Token Token::thread(DWORD access, BOOL openAsSelf) {
    platform::Handle handle;
    DWORD error = platform::current().openThreadToken(access, openAsSelf, handle.receive());
    if (error == ERROR_NO_TOKEN) return Token(platform::Handle());
    if (error) raiseOsError(L"Unable to open a thread token", error);
    return Token(std::move(handle));
}

Token Token::caller(DWORD access) {
    Token token = thread(access, TRUE);
    if (token.valid()) return token;
    return process(access, L"Unable to open a process token");
}

std::vector<BYTE> Token::information(TOKEN_INFORMATION_CLASS cls, const wchar_t* failure) const {
    platform::Platform& p = platform::current();
    DWORD needed = 0;
    DWORD error = p.getTokenInformation(handle_.get(), cls, nullptr, 0, &needed);
    if (error != ERROR_INSUFFICIENT_BUFFER && error != ERROR_BAD_LENGTH)
        raiseOsError(failure, error ? error : ERROR_INVALID_DATA);
    std::vector<BYTE> buffer;
    try {
        buffer.resize(needed);
    } catch (const std::bad_alloc&) {
        raiseOsError(format(L"Unable to allocate memory for token privileges (%d) bytes", needed),
                     ERROR_OUTOFMEMORY);
    }
    if ((error = p.getTokenInformation(handle_.get(), cls, buffer.data(), needed, &needed)))
        raiseOsError(failure, error);
    buffer.resize(std::min<size_t>(buffer.size(), needed));
    return buffer;
}

Sid Token::user() const {
    return userEntry().sid;
}

SECURITY_IMPERSONATION_LEVEL Token::impersonationLevel() const {
    std::vector<BYTE> buffer = information(TokenImpersonationLevel, L"Unable to get token information");
    requireInside(buffer, buffer.data(), sizeof(SECURITY_IMPERSONATION_LEVEL));
    SECURITY_IMPERSONATION_LEVEL level{};
    std::memcpy(&level, buffer.data(), sizeof level);
    return level;
}

TokenGroup Token::userEntry() const {
    std::vector<BYTE> buffer = information(TokenUser, L"Unable to get token information");
    requireInside(buffer, buffer.data(), sizeof(TOKEN_USER));
    const SID_AND_ATTRIBUTES& user = reinterpret_cast<const TOKEN_USER*>(buffer.data())->User;
    return {sidInside(buffer, user.Sid), user.Attributes};
}

std::vector<TokenGroup> Token::groups() const {
    std::vector<BYTE> buffer = information(TokenGroups, L"Unable to get token information");
    requireInside(buffer, buffer.data(), offsetof(TOKEN_GROUPS, Groups));
    const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
    requireInside(buffer, groups->Groups, size_t(groups->GroupCount) * sizeof(SID_AND_ATTRIBUTES));
    std::vector<TokenGroup> out;
    for (DWORD i = 0; i < groups->GroupCount; ++i)
        out.push_back({sidInside(buffer, groups->Groups[i].Sid), groups->Groups[i].Attributes});
    return out;
}

std::vector<TokenPrivilege> Token::privileges() const {
    std::vector<BYTE> buffer = information(TokenPrivileges, L"Unable to get token privileges");
    requireInside(buffer, buffer.data(), offsetof(TOKEN_PRIVILEGES, Privileges));
    const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
    requireInside(buffer, privileges->Privileges,
                  size_t(privileges->PrivilegeCount) * sizeof(LUID_AND_ATTRIBUTES));
    std::vector<TokenPrivilege> out;
    for (DWORD i = 0; i < privileges->PrivilegeCount; ++i)
        out.push_back({privileges->Privileges[i].Luid, privileges->Privileges[i].Attributes});
    return out;
}

std::vector<Sid> Token::sids() const {
    std::vector<Sid> out{user()};
    for (TokenGroup& group : groups())
        out.push_back(std::move(group.sid));
    return out;
}

LUID privilegeValue(const wchar_t* privilege) {
    LUID luid{};
    if (!LookupPrivilegeValueW(nullptr, privilege, &luid))
        raiseOsError(format(L"Unable to find privilege (%s)", privilege), GetLastError());
    return luid;
}

std::optional<TokenPrivilege> Token::privilege(const wchar_t* name) const {
    LUID luid = privilegeValue(name);
    std::vector<TokenPrivilege> held = privileges();
    auto found = std::find_if(held.begin(), held.end(), [&](const TokenPrivilege& p) {
        return p.luid.LowPart == luid.LowPart && p.luid.HighPart == luid.HighPart;
    });
    if (found == held.end()) return std::nullopt;
    return *found;
}

bool Token::holds(const wchar_t* privilege) const {
    return this->privilege(privilege).has_value();
}

bool Token::holdsEnabled(const wchar_t* privilege) const {
    std::optional<TokenPrivilege> held = this->privilege(privilege);
    return held && held->enabled();
}

void Token::enable(const wchar_t* privilege) {
    TOKEN_PRIVILEGES change{1, {{privilegeValue(privilege), SE_PRIVILEGE_ENABLED}}};
    if (DWORD error = platform::current().adjustTokenPrivileges(handle_.get(), &change))
        raiseOsError(format(L"Unable to adjust privilege (%s)", privilege), error);
}

bool Token::enableIfHeld(const wchar_t* privilege) {
    if (!holds(privilege)) return false;
    enable(privilege);
    return true;
}

bool hasPrivilege(const wchar_t* privilege) {
    return Token::caller(TOKEN_QUERY).holds(privilege);
}

void enablePrivilege(const wchar_t* privilege) {
    Token::caller(TOKEN_QUERY | TOKEN_ADJUST_PRIVILEGES).enable(privilege);
}

} // namespace security
