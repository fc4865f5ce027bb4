#include "commands/xml/ExtendedFileInfo.h"

#include "app/Text.h"
#include "security/Ace.h"
#include "support/FileFixtures.h"
#include "support/ListingSources.h"
#include "support/SecurityFixtures.h"
#include "support/XmlOutline.h"

#include <gtest/gtest.h>

namespace {

using security::Ace;
using testsupport::XmlAttributes;
using testsupport::xmlOutline;

class ExInfo : public testsupport::FileCommandTest {
protected:
    ExInfo() { substitute.token().groups.push_back({testsupport::everyoneSid()}); }
    // The attributes of the single PathInfo element.
    XmlAttributes info(const std::vector<std::wstring>& arguments) {
        auto r = run(arguments);
        EXPECT_EQ(r.exitCode, 0) << r.out;
        auto outline = xmlOutline(r.out);
        if (outline.size() != 1 || outline[0].name != "PathInfo") {
            ADD_FAILURE() << "not one PathInfo element: " << r.out;
            return {};
        }
        return outline[0].attributes;
    }
    std::string u8(const std::wstring& s) { return text::toUtf8(s); }
};

TEST_F(ExInfo, NothingRequestedGivesTheNameOnly) {
    std::wstring file = tree.file(L"vhosts\\f.txt", "f");
    EXPECT_EQ(info({L"--ex-info", L"--path=" + file}), (XmlAttributes{{"Name", u8(file)}}));
}

TEST_F(ExInfo, APathOutsideTheRootsGivesTheErrorWhateverWasRequested) {
    std::wstring file = tree.file(L"outside\\f.txt", "f");
    EXPECT_EQ(info({L"--ex-info", L"--path=" + file, L"--short-path", L"--long-path", L"--delete-access",
                    L"--sharing-access"}),
              (XmlAttributes{{"Name", u8(file)},
                             {"Error", "Path is not allowed."},
                             {"ErrorCode", "path_is_not_allowed"},
                             {"ErrorDetails", u8(file) + ": Path is not allowed"}}));
}

TEST_F(ExInfo, ShortAndLongForms) {
    std::wstring folder = tree.folder(L"vhosts\\Long Folder Name");
    std::wstring file = tree.file(L"vhosts\\Long Folder Name\\plain.txt", "p");
    substitute.addShortName(folder, site(L"LONGFO~1"));
    EXPECT_EQ(info({L"--ex-info", L"--path=" + site(L"LONGFO~1\\plain.txt"), L"--short-path", L"--long-path"}),
              (XmlAttributes{{"Name", u8(site(L"LONGFO~1\\plain.txt"))},
                             {"ShortPath", u8(site(L"LONGFO~1\\plain.txt"))},
                             {"LongPath", u8(file)}}));
}

// An open for no access is never checked against other handles' sharing (on Windows as under
// Wine): the test opens for DELETE, which a holder without delete sharing refuses.
TEST_F(ExInfo, SharingAccessFollowsOtherHandles) {
    std::wstring file = tree.file(L"vhosts\\open.txt", "o");
    HANDLE reader = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(info({L"--ex-info", L"--path=" + file, L"--sharing-access"}),
              (XmlAttributes{{"Name", u8(file)}, {"Delete", "Disabled"}}));
    CloseHandle(reader);
    HANDLE sharing = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(info({L"--ex-info", L"--path=" + file, L"--sharing-access"}),
              (XmlAttributes{{"Name", u8(file)}, {"Delete", "Enabled"}}));
    CloseHandle(sharing);
}

TEST_F(ExInfo, DeleteAccessJudgesEveryItemByItsOwnRights) {
    tree.file(L"vhosts\\dir\\sub\\deep.txt", "d");
    tree.file(L"vhosts\\dir\\top.txt", "t");
    const auto all = FILE_ALL_ACCESS;
    setDacl(site(L"dir"), testsupport::otherUserSid(), {Ace::allowed(all, tokenUser())});
    setDacl(site(L"dir\\sub"), testsupport::otherUserSid(), {Ace::allowed(all, tokenUser())});
    setDacl(site(L"dir\\top.txt"), testsupport::otherUserSid(), {Ace::allowed(all, tokenUser())});
    setDacl(site(L"dir\\sub\\deep.txt"), testsupport::otherUserSid(), {Ace::allowed(all, tokenUser())});
    EXPECT_EQ(info({L"--ex-info", L"--path=" + site(L"dir"), L"--delete-access", L"--sharing-access"}),
              (XmlAttributes{{"Name", u8(site(L"dir"))}, {"Delete", "Enabled"}}));
    // FILE_DELETE_CHILD on the parent does not make up for the file's own missing Delete.
    setDacl(site(L"dir\\sub\\deep.txt"), testsupport::otherUserSid(), {Ace::allowed(FILE_GENERIC_READ, tokenUser())});
    EXPECT_EQ(info({L"--ex-info", L"--path=" + site(L"dir"), L"--delete-access"}),
              (XmlAttributes{{"Name", u8(site(L"dir"))}, {"Delete", "Disabled"}}));
    // A folder needs DeleteSubfoldersandFiles as well.
    setDacl(site(L"dir\\sub\\deep.txt"), testsupport::otherUserSid(), {Ace::allowed(all, tokenUser())});
    setDacl(site(L"dir\\sub"), testsupport::otherUserSid(), {Ace::allowed(DELETE | FILE_GENERIC_READ, tokenUser())});
    EXPECT_EQ(info({L"--ex-info", L"--path=" + site(L"dir"), L"--delete-access"}),
              (XmlAttributes{{"Name", u8(site(L"dir"))}, {"Delete", "Disabled"}}));
}

TEST_F(ExInfo, OtherFailuresOfTheTestAreTheDocumentsError) {
    tree.file(L"vhosts\\dir\\f.txt", "f");
    substitute.failNext(testsupport::Call::findFirstFile, site(L"dir\\*.*"), ERROR_INVALID_FUNCTION, 1000);
    auto attributes = info({L"--ex-info", L"--path=" + site(L"dir"), L"--sharing-access"});
    ASSERT_EQ(attributes.size(), 4u);
    EXPECT_EQ(attributes[0].first, "Name");
    EXPECT_EQ(attributes[1], (std::pair<std::string, std::string>{"Error", attributes[3].second}));
    EXPECT_EQ(attributes[2], (std::pair<std::string, std::string>{"ErrorCode", "unknown"}));
    EXPECT_EQ(attributes[3].second.rfind("Unable to read directory (" + u8(site(L"dir")) + "): (1) ", 0), 0u);
}

TEST_F(ExInfo, AJunctionBackUpIsTestedAsItself) {
    tree.file(L"vhosts\\dir\\f.txt", "f");
    tree.folder(L"vhosts\\dir\\loop");
    substitute.addJunction(site(L"dir\\loop"), site(L"dir"));
    EXPECT_EQ(info({L"--ex-info", L"--path=" + site(L"dir"), L"--sharing-access"}),
              (XmlAttributes{{"Name", u8(site(L"dir"))}, {"Delete", "Enabled"}}));
}

// The listing's attributes come between the path forms and Delete; its elements are PathInfo's
// only children.
TEST_F(ExInfo, PermissionsAreListedOnPathInfo) {
    std::wstring file = tree.file(L"vhosts\\listed.txt", "l");
    setDacl(file, testsupport::otherUserSid(),
            {Ace::allowed(FILE_ALL_ACCESS, tokenUser()), Ace::denied(FILE_WRITE_DATA, testsupport::otherUserSid())});
    auto r = testsupport::runWithTestListing<ExtendedFileInfo>(
        {L"--ex-info", L"--path=" + file, L"--permissions", L"--long-path", L"--delete-access"});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    auto outline = xmlOutline(r.out);
    ASSERT_FALSE(outline.empty()) << r.out;
    std::vector<std::string> names;
    for (const auto& [name, value] : outline[0].attributes)
        names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::string>{"Name", "LongPath", "Type", "Change", "LocalDomain", "BuiltinDomain",
                                               "NTAuthorityDomain", "Delete"}));
    EXPECT_EQ(testsupport::attributeOf(outline[0], "Type"), "File");
    EXPECT_EQ(testsupport::attributeOf(outline[0], "Change"), "enable");
    EXPECT_EQ(testsupport::attributeOf(outline[0], "Delete"), "Enabled");
    std::string shape;
    for (const auto& e : outline)
        shape += std::to_string(e.depth) + " " + e.name + "\n";
    EXPECT_EQ(shape, "0 PathInfo\n1 Owner\n1 Inherit\n1 Acl\n2 Ace\n2 Ace\n1 Accounts\n2 Account\n2 Account\n");
    EXPECT_EQ(testsupport::attributeOf(outline[4], "Read"), "allow");
    EXPECT_EQ(testsupport::attributeOf(outline[5], "Write"), "deny");
}

TEST_F(ExInfo, AnUnreadableListingIsTheDocumentsErrorAndNothingAfterItIsAsked) {
    std::wstring file = tree.file(L"vhosts\\hidden.txt", "h");
    substitute.failNext(testsupport::Call::getNamedSecurityInfo, file, ERROR_ACCESS_DENIED, 10);
    auto r = testsupport::runWithTestListing<ExtendedFileInfo>(
        {L"--ex-info", L"--path=" + file, L"--long-path", L"--permissions", L"--sharing-access"});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    auto outline = xmlOutline(r.out);
    ASSERT_EQ(outline.size(), 1u) << r.out;
    auto attributes = outline[0].attributes;
    ASSERT_EQ(attributes.size(), 5u) << r.out;
    EXPECT_EQ(attributes[0], (std::pair<std::string, std::string>{"Name", u8(file)}));
    EXPECT_EQ(attributes[1], (std::pair<std::string, std::string>{"LongPath", u8(file)}));
    EXPECT_EQ(attributes[2].first, "Error");
    EXPECT_EQ(attributes[3], (std::pair<std::string, std::string>{"ErrorCode", "access_is_denied"}));
    EXPECT_EQ(attributes[4].first, "ErrorDetails");
}

} // namespace
