#include "identity/AccessCheck.h"

#include "app/Exceptions.h"
#include "security/Token.h"
#include "support/FailureOf.h"
#include "support/SecurityFixtures.h"
#include "support/SubstitutePlatform.h"

#include <gtest/gtest.h>

namespace {

using namespace security;
using namespace testsupport;

bool threadHasToken() {
    HANDLE token = nullptr;
    if (!OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token)) return false;
    CloseHandle(token);
    return true;
}

TEST(AccessCheck, TheProcessIdentityAgainstADescribedDacl) {
    const Sid& owner = localSystem();
    Acl readable = aclOf({Ace::allowed(FILE_GENERIC_READ, everyoneSid())});
    EXPECT_TRUE(identity::accessCheck(owner, owner, readable, FILE_GENERIC_READ));
    EXPECT_FALSE(identity::accessCheck(owner, owner, readable, FILE_GENERIC_WRITE));
    Acl denied =
        aclOf({Ace::denied(FILE_READ_DATA, everyoneSid()), Ace::allowed(GENERIC_ALL, everyoneSid())});
    EXPECT_FALSE(identity::accessCheck(owner, owner, denied, FILE_GENERIC_READ));
    EXPECT_TRUE(identity::accessCheck(owner, owner, denied, FILE_WRITE_DATA));
    EXPECT_FALSE(identity::accessCheck(owner, owner, Acl::emptyList(), FILE_READ_DATA));
    EXPECT_TRUE(identity::accessCheck(owner, owner, Acl(), FILE_ALL_ACCESS));
    EXPECT_FALSE(threadHasToken()); // the impersonation for the check was reverted
}

TEST(AccessCheck, FailuresRevertTheImpersonation) {
    SubstitutePlatform substitute;
    ScopedPlatform scoped(substitute);
    substitute.failNext(Call::accessCheck, L"", ERROR_INVALID_SECURITY_DESCR);
    std::wstring text =
        failureOf<vosexception>([] {
            identity::accessCheck(localSystem(), localSystem(), Acl::emptyList(), FILE_READ_DATA);
        }).message();
    EXPECT_NE(text.find(L" at Access check failed"), std::wstring::npos) << text;
    EXPECT_FALSE(threadHasToken());
    EXPECT_EQ(substitute.calls(Call::revertToSelf), 1);

    substitute.failNext(Call::impersonateLoggedOnUser, L"", ERROR_ACCESS_DENIED);
    text = failureOf<vosexception>([] {
               identity::accessCheck(localSystem(), localSystem(), Acl::emptyList(), FILE_READ_DATA);
           }).message();
    EXPECT_NE(text.find(L" at Unable to impersonate thread"), std::wstring::npos) << text;
    EXPECT_EQ(substitute.calls(Call::revertToSelf), 1);
}

} // namespace
