// The walk that hands a folder's entries down: the gate, links met before or during the walk, and
// the folder it starts from.
#include "security/HandDown.h"

#include "app/Text.h"
#include "support/FileFixtures.h"
#include "support/SecurityFixtures.h"

#include <gtest/gtest.h>

namespace {

using namespace security;
using namespace testsupport;

constexpr BYTE kBelow = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;

class HandDownTest : public FileCommandTest {
protected:
    HandDownTest() {
        root = tree.folder(L"vhosts\\root");
        setDacl(root, tokenUser(),
                {Ace::allowed(FILE_ALL_ACCESS, everyoneSid(), kBelow), Ace::allowed(FILE_READ_DATA, userSid(), 0)});
        outside = tree.folder(L"outside");
        tree.file(L"outside\\secret.txt", "s");
        for (const std::wstring& path : {outside, tree.path(L"outside\\secret.txt")})
            setDacl(path, tokenUser(), {Ace::allowed(FILE_ALL_ACCESS, otherUserSid(), 0)});
    }
    // Whether the walk wrote the security of `path`, or of anything below it.
    bool touched(const std::wstring& path) const {
        const std::wstring key = SubstitutePlatform::key(path);
        for (const SecurityWrite& w : substitute.securityWrites())
            if (w.object == key || w.object.rfind(key + L"\\", 0) == 0) return true;
        return false;
    }
    static std::vector<std::pair<BYTE, DWORD>> entriesOf(const Acl& acl) {
        std::vector<std::pair<BYTE, DWORD>> entries;
        for (const Ace& ace : acl.aces())
            entries.emplace_back(ace.flags(), ace.mask());
        return entries;
    }
    std::vector<std::pair<BYTE, DWORD>> stored(const std::wstring& path) const {
        return entriesOf(readSecurity(path).dacl);
    }
    static bool anyFolder(const SecurityInfo&) { return true; }

    std::wstring root, outside;
};

TEST_F(HandDownTest, AFolderTheGateRefusesKeepsItsListAndSoDoesEverythingBelowIt) {
    tree.file(L"vhosts\\root\\a.txt");
    tree.file(L"vhosts\\root\\open\\b.txt");
    tree.file(L"vhosts\\root\\shut\\inner\\c.txt");
    const std::wstring shut = root + L"\\shut";
    setDacl(shut, otherUserSid(), {Ace::allowed(FILE_ALL_ACCESS, otherUserSid(), kBelow)});
    const auto before = stored(shut);
    std::vector<std::wstring> asked;
    const size_t written = handDown(root, inheritedLists, [&](const SecurityInfo& folder) {
        asked.push_back(folder.owner.toString());
        return !(folder.owner == otherUserSid());
    });
    EXPECT_EQ(written, 3u); // a.txt, open, open\b.txt
    EXPECT_EQ(asked.size(), 2u);
    EXPECT_FALSE(touched(shut));
    EXPECT_EQ(stored(shut), before);
    // Each level inherits from the list its folder received.
    const Acl rootDacl = readSecurity(root).dacl;
    EXPECT_EQ(stored(root + L"\\a.txt"), entriesOf(inheritedAcl(rootDacl, false)));
    EXPECT_EQ(stored(root + L"\\open"), entriesOf(inheritedAcl(rootDacl, true)));
    EXPECT_EQ(stored(root + L"\\open\\b.txt"), entriesOf(inheritedAcl(inheritedAcl(rootDacl, true), false)));
    EXPECT_FALSE(readSecurity(root + L"\\open\\b.txt").protectedDacl);
    EXPECT_EQ(stored(root).size(), 2u); // the folder walked from is not written
}

// The walk judges a folder on a handle of the folder itself: one that an account turned into a
// junction after the listing showed it as a folder is neither written nor entered, whichever
// lists the walk hands down.
TEST_F(HandDownTest, AFolderThatBecameALinkAfterTheListingIsNotEntered) {
    for (HandDownRule rule : {inheritedLists, markedInheritedLists}) {
        const std::wstring sub = tree.folder(L"vhosts\\root\\sub");
        substitute.onNext(Call::createFile, sub, [&] { substitute.addJunction(sub, outside); });
        tree.file(L"vhosts\\root\\a.txt");
        EXPECT_EQ(handDown(root, rule, anyFolder), 1u);
        EXPECT_TRUE(substitute.junctionTarget(sub));
        EXPECT_FALSE(touched(sub));
        EXPECT_FALSE(touched(outside));
        ASSERT_TRUE(RemoveDirectoryW(sub.c_str()));
    }
}

TEST_F(HandDownTest, LinksAndFoldersWithoutADaclHandNothingDown) {
    tree.file(L"vhosts\\root\\a.txt");
    const std::wstring link = tree.folder(L"vhosts\\link");
    substitute.addJunction(link, outside);
    EXPECT_EQ(handDown(link, inheritedLists, anyFolder), 0u);
    substitute.setSecurity(root, {tokenUser(), tokenUser(), std::nullopt, false});
    EXPECT_EQ(handDown(root, markedInheritedLists, anyFolder), 0u);
    EXPECT_TRUE(substitute.securityWrites().empty());
}

TEST_F(HandDownTest, OnlyTheSelectedEntriesOfTheFolderAreWalkedAndAllBelowThem) {
    tree.file(L"vhosts\\root\\new.txt");
    tree.file(L"vhosts\\root\\old.txt");
    tree.file(L"vhosts\\root\\new\\below.txt");
    tree.file(L"vhosts\\root\\NEW.TXT.old\\below.txt");
    const size_t written = handDown(root, inheritedLists, anyFolder, [](const std::wstring& name, bool folder) {
        return name == (folder ? L"new" : L"new.txt");
    });
    EXPECT_EQ(written, 3u);
    EXPECT_TRUE(touched(root + L"\\new\\below.txt"));
    EXPECT_FALSE(touched(root + L"\\old.txt"));
    EXPECT_FALSE(touched(root + L"\\NEW.TXT.old"));
}

} // namespace
