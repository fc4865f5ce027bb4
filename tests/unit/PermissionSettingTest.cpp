// Deriving advanced entries from a common document, and the one call that sets an object's
// permissions from a document.
#include "permissions/PermissionSetting.h"

#include "permissions/CommonRights.h"
#include "support/FileFixtures.h"
#include "support/SecurityFixtures.h"

#include <gtest/gtest.h>

namespace {

using namespace permissions;

const AccountKey kSystem{L"NT AUTHORITY", L"SYSTEM"};
const AccountKey kUser{L"WEB01", L"quarn"};
const AccountKey kOther{L"WEB01", L"other"};

// An account whose rights come only from inherited entries is unchanged when its common sets are
// as --list-common showed them (that listing folds inherited entries too): it gets no explicit
// entries of its own.
TEST(PermissionSetting, AccountsListedAsTheyAreKeepTheirEntriesInheritedOnesIncluded) {
    const std::vector<AdvancedEntry> listed = {
        {kSystem, L"C:\\inetpub", 0xFF, true, 7},
        {kUser, L"", 0x2F, true, 7},
        {kOther, L"C:\\inetpub", 0x3, true, 7},
        {kOther, L"", 0x2, false, 7},
    };
    const std::vector<CommonEntry> shown = foldToCommon(listed, false);
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(entriesFromCommon(shown, listed, false),
              (std::vector<AdvancedEntry>{listed[0], listed[2], listed[1], listed[3]}));

    // A changed account gets new explicit entries; its inherited ones stay.
    std::vector<CommonEntry> changed = shown;
    changed[0].allow = kCommonRead;
    std::vector<AdvancedEntry> result = entriesFromCommon(changed, listed, false);
    ASSERT_EQ(result.size(), 5u);
    EXPECT_EQ(result[0], listed[0]);
    EXPECT_EQ(result[2], (AdvancedEntry{kSystem, L"", 0x2, true, 7}));
}

class SetPermissionsTest : public testsupport::FileCommandTest {
protected:
    SetPermissionsTest() {
        substitute.addAccount({L"WEB01", L"other", testsupport::otherUserSid()});
        setDacl(site, tokenUser(), {security::Ace::allowed(FILE_ALL_ACCESS, tokenUser(), 0)});
    }
    // Sets the site's permissions from the simple document of one entry for `account`, counting
    // the hook's runs and the writes made before it.
    void setFor(const std::wstring& account) {
        document.loadText(L"<Permissions><Acl><Ace Domain=\"WEB01\" Name=\"" + account +
                              L"\" Read=\"allow\"/></Acl></Permissions>",
                          L"doc");
        setPermissions(site, document.root(L"Permissions", L"doc"), {}, [this] {
            ++hooked;
            writesAtHook = substitute.securityWrites().size();
        });
    }

    const std::wstring site = tree.folder(L"vhosts\\site");
    xml::XmlDocument document;
    int hooked = 0;
    size_t writesAtHook = 0;
};

// The caller's hook (the switch to the Administrator) runs once the document is read and its
// accounts resolved, before the first write; a document that fails before it changes nothing.
TEST_F(SetPermissionsTest, TheHookRunsAfterTheDocumentIsResolvedAndBeforeTheFirstWrite) {
    const auto before = substitute.security(site)->dacl;
    EXPECT_ANY_THROW(setFor(L"nobody"));
    EXPECT_EQ(hooked, 0);
    EXPECT_TRUE(substitute.securityWrites().empty());
    EXPECT_EQ(substitute.security(site)->dacl, before);

    setFor(L"other");
    EXPECT_EQ(hooked, 1);
    EXPECT_EQ(writesAtHook, 0u);
    EXPECT_FALSE(substitute.securityWrites().empty());
    EXPECT_NE(substitute.security(site)->dacl, before);
}

} // namespace
