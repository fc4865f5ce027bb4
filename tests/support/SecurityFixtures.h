// SIDs and ACLs shared by the security tests.
#pragma once
#include "security/Acl.h"

#include <initializer_list>

namespace testsupport {

inline const security::Sid& userSid() {
    static const security::Sid sid = security::Sid::fromString(L"S-1-5-21-7-8-9-1001");
    return sid;
}
inline const security::Sid& otherUserSid() {
    static const security::Sid sid = security::Sid::fromString(L"S-1-5-21-7-8-9-1002");
    return sid;
}
inline const security::Sid& usersGroupSid() {
    static const security::Sid sid = security::Sid::fromString(L"S-1-5-32-545");
    return sid;
}
inline const security::Sid& everyoneSid() {
    static const security::Sid sid = security::Sid::fromString(L"S-1-1-0");
    return sid;
}

inline security::Acl aclOf(std::initializer_list<security::Ace> aces) {
    security::Acl acl = security::Acl::emptyList();
    for (const security::Ace& ace : aces)
        acl.append(ace);
    return acl;
}

} // namespace testsupport
