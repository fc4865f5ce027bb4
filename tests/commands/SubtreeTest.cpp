#include "security/Ace.h"
#include "support/FileFixtures.h"
#include "support/SecurityFixtures.h"
#include "support/XmlOutline.h"

#include <gtest/gtest.h>

namespace {

using security::Ace;
using testsupport::Call;
using testsupport::xmlOutline;

class Subtree : public testsupport::FileCommandTest {
protected:
    // The listed names in document order; the document's shape is checked on the way.
    std::vector<std::string> names(const testsupport::InProcessResult& r) {
        EXPECT_EQ(r.exitCode, 0) << r.out;
        auto outline = xmlOutline(r.out);
        std::vector<std::string> out;
        if (outline.empty()) {
            ADD_FAILURE() << "no document: " << r.out;
            return out;
        }
        EXPECT_EQ(outline[0].name, "subtree");
        EXPECT_TRUE(outline[0].attributes.empty());
        for (size_t i = 1; i < outline.size(); ++i) {
            EXPECT_EQ(outline[i].depth, 1);
            EXPECT_EQ(outline[i].name, "directory");
            EXPECT_EQ(outline[i].attributes.size(), 1u);
            if (!outline[i].attributes.empty()) out.push_back(outline[i].attributes[0].second);
        }
        return out;
    }
    Subtree() {
        // Wine's own DACLs grant Everyone read access, as Windows' defaults grant Users.
        substitute.token().groups.push_back({testsupport::everyoneSid()});
    }
    std::wstring root(const std::wstring& relative = L"") const { return site(L"root" + relative); }
    testsupport::ScopedConfigDword showAll{L"VirtDirShowAll", std::nullopt};
};

using Names = std::vector<std::string>;

TEST_F(Subtree, HiddenNamesAtTheirLevelsOnlyAndCodeUnitOrder) {
    for (const wchar_t* folder : {L"\\Statistics", L"\\web_users", L"\\images", L"\\B", L"\\a b", L"\\a\\statistics",
                                  L"\\a\\IMAGES", L"\\a\\_vti_cnf", L"\\a\\b\\images", L"\\a\\b\\_private\\deep"})
        tree.folder(L"vhosts\\root" + std::wstring(folder));
    tree.file(L"vhosts\\root\\file.txt", "f");
    tree.file(L"vhosts\\root\\a\\inner.txt", "f");
    EXPECT_EQ(names(run({L"subtree", root()})),
              (Names{"/B", "/a", "/a b", "/a/b", "/a/b/_private", "/a/b/_private/deep", "/a/b/images", "/a/statistics",
                     "/images"}));
}

TEST_F(Subtree, ShowAllLetsEveryNameThroughButNotTheAccessTest) {
    for (const wchar_t* folder : {L"\\statistics", L"\\a\\images", L"\\a\\closed"})
        tree.folder(L"vhosts\\root" + std::wstring(folder));
    setDacl(root(L"\\a\\closed"), testsupport::otherUserSid(), {});
    testsupport::ScopedConfigDword on(L"VirtDirShowAll", 1);
    EXPECT_EQ(names(run({L"subtree", root()})), (Names{"/a", "/a/images", "/statistics"}));
}

TEST_F(Subtree, AccessDecidesBelowTheFirstLevelOnly) {
    const security::Sid other = testsupport::otherUserSid();
    tree.folder(L"vhosts\\root\\denied\\below");
    tree.folder(L"vhosts\\root\\a\\closed\\inner");
    tree.folder(L"vhosts\\root\\a\\readOnlyData");
    tree.folder(L"vhosts\\root\\a\\owned");
    tree.folder(L"vhosts\\root\\a\\ownedButDenied");
    tree.folder(L"vhosts\\root\\a\\ownerRightsDenied");
    tree.folder(L"vhosts\\root\\a\\synchronized");
    setDacl(root(L"\\denied"), other, {Ace::denied(GENERIC_ALL, tokenUser())});
    setDacl(root(L"\\denied\\below"), other, {Ace::denied(GENERIC_ALL, tokenUser())});
    setDacl(root(L"\\a\\closed"), other, {Ace::denied(GENERIC_ALL, tokenUser())});
    // FILE_READ_DATA alone does not hold ListFolderOrReadData, which needs SYNCHRONIZE too.
    setDacl(root(L"\\a\\readOnlyData"), other, {Ace::allowed(FILE_READ_DATA, tokenUser())});
    setDacl(root(L"\\a\\synchronized"), other, {Ace::allowed(FILE_READ_DATA | SYNCHRONIZE, tokenUser())});
    // Ownership alone grants ReadPermissions, which no deny entry takes away; only an OWNER RIGHTS
    // entry replaces what the owner holds.
    setDacl(root(L"\\a\\owned"), tokenUser(), {});
    setDacl(root(L"\\a\\ownedButDenied"), tokenUser(), {Ace::denied(READ_CONTROL, tokenUser())});
    setDacl(root(L"\\a\\ownerRightsDenied"), tokenUser(),
            {Ace::denied(READ_CONTROL, security::Sid::fromString(L"S-1-3-4"))});
    EXPECT_EQ(names(run({L"subtree", root()})),
              (Names{"/a", "/a/owned", "/a/ownedButDenied", "/a/synchronized", "/denied"}));
    // Nothing below an invisible folder was looked at.
    EXPECT_EQ(substitute.calls(Call::findFirstFile, root(L"\\a\\closed\\*.*")), 0);
    EXPECT_EQ(substitute.calls(Call::getNamedSecurityInfo, root(L"\\a\\closed\\inner")), 0);
}

TEST_F(Subtree, FailuresAreWarningsAndTheWalkGoesOn) {
    tree.folder(L"vhosts\\root\\a\\b");
    tree.folder(L"vhosts\\root\\c\\d");
    substitute.failNext(Call::findFirstFile, root(L"\\a\\*.*"), ERROR_INVALID_FUNCTION, 1000);
    substitute.failNext(Call::getNamedSecurityInfo, root(L"\\c\\d"), ERROR_INVALID_FUNCTION, 1000);
    auto r = run({L"subtree", root()});
    EXPECT_EQ(names(r), (Names{"/a", "/c"}));
    ASSERT_EQ(r.events.size(), 2u);
    for (auto& e : r.events)
        EXPECT_EQ(e.level, 1);
}

TEST_F(Subtree, AMissingRootGivesAnEmptyDocumentAndUsageOtherwise) {
    auto r = run({L"subtree", root(L"\\none")});
    EXPECT_EQ(names(r), Names{});
    EXPECT_EQ(xmlOutline(r.out).size(), 1u);
    r = run({L"subtree"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "Usage:\nsubtree path\n");
    r = run({L"subtree", tree.path(L"outside")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("Path is not allowed"), std::string::npos);
}

TEST_F(Subtree, AJunctionBackIntoTheTreeIsListedButNotEntered) {
    tree.folder(L"vhosts\\root\\a\\b");
    tree.folder(L"vhosts\\root\\a\\loop");
    tree.folder(L"vhosts\\root\\up");
    tree.folder(L"vhosts\\elsewhere\\x");
    tree.folder(L"vhosts\\root\\a\\away");
    substitute.addJunction(root(L"\\a\\loop"), root());
    substitute.addJunction(root(L"\\up"), site(L""));
    substitute.addJunction(root(L"\\a\\away"), site(L"elsewhere"));
    EXPECT_EQ(names(run({L"subtree", root()})), (Names{"/a", "/a/away", "/a/away/x", "/a/b", "/a/loop", "/up"}));
}

} // namespace
