// What arrived in a folder inherits the folder's entries: links, planted before or during the
// walk, are neither written nor looked into.
#include "commands/files/InheritedEntries.h"

#include "security/SecurityInfo.h"
#include "support/FileFixtures.h"
#include "support/SecurityFixtures.h"

#include <gtest/gtest.h>

namespace {

using namespace testsupport;
using security::Ace;

class InheritedEntriesTest : public FileCommandTest {
protected:
    InheritedEntriesTest() {
        destination = tree.folder(L"vhosts\\site");
        setDacl(destination, tokenUser(),
                {Ace::allowed(FILE_ALL_ACCESS, everyoneSid(), OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE)});
        outside = tree.folder(L"outside");
        tree.file(L"outside\\secret.txt", "s");
        // Open to everyone: only the walk's own judgement of links keeps it unwritten.
        for (const std::wstring& path : {outside, tree.path(L"outside\\secret.txt")})
            setDacl(path, tokenUser(), {Ace::allowed(FILE_ALL_ACCESS, everyoneSid(), 0)});
    }
    std::vector<std::wstring> writtenBelow(const std::wstring& path) const {
        const std::wstring key = SubstitutePlatform::key(path);
        std::vector<std::wstring> objects;
        for (const SecurityWrite& w : substitute.securityWrites())
            if (w.object == key || w.object.rfind(key + L"\\", 0) == 0) objects.push_back(w.object);
        return objects;
    }

    std::wstring destination, outside;
};

TEST_F(InheritedEntriesTest, AFolderThatBecameALinkAfterTheListingIsNotEntered) {
    tree.file(L"vhosts\\site\\index.html");
    tree.file(L"vhosts\\site\\img\\logo.png");
    const std::wstring late = tree.folder(L"vhosts\\site\\late");
    substitute.onNext(Call::createFile, late, [&] { substitute.addJunction(late, outside); });
    files::reapplyInheritedEntries(paths::NormalPath(destination), {{L"index.html"}, {L"img", L"late"}, {}});
    EXPECT_TRUE(substitute.junctionTarget(late));
    EXPECT_EQ(writtenBelow(destination).size(), 3u); // index.html, img, img\logo.png
    EXPECT_TRUE(writtenBelow(late).empty());
    EXPECT_TRUE(writtenBelow(outside).empty());
}

TEST_F(InheritedEntriesTest, AMergedFolderThatIsALinkIsNotLookedInto) {
    const std::wstring linked = tree.folder(L"vhosts\\site\\linked");
    substitute.addJunction(linked, outside);
    files::ArrivingTree arrived{{}, {}, {{L"linked", {{L"secret.txt"}, {}, {}}}}};
    files::reapplyInheritedEntries(paths::NormalPath(destination), arrived);
    EXPECT_TRUE(substitute.securityWrites().empty());
}

} // namespace
