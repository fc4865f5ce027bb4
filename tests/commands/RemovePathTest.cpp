#include "app/Exceptions.h"
#include "app/Text.h"
#include "commands/files/CreateDirectory.h"
#include "commands/files/MoveToTemporaryName.h"
#include "commands/files/RemovePath.h"
#include "commands/files/TemporaryName.h"
#include "commands/files/TrashDirectory.h"
#include "support/FileFixtures.h"

#include <gtest/gtest.h>

namespace {

using testsupport::Call;
using testsupport::snapshot;
using testsupport::TreeSnapshot;

class RemovalHelpers : public testsupport::FileCommandTest {};

TEST_F(RemovalHelpers, TrashIsMadeWithItsFourEntryDacl) {
    std::wstring root = paths::NormalPath(site(L"x")).root();
    EXPECT_EQ(root, L"\\\\?\\" + site(L"").substr(0, 2) + L"\\");
    // Made on first use only: an empty trash left by earlier runs is removed first.
    RemoveDirectoryW((root + L"Recycler\\{86066D57-9347-46a7-B4DB-971D9EF36D29}").c_str());
    RemoveDirectoryW((root + L"Recycler").c_str());
    paths::NormalPath trash = files::trashDirectory(paths::NormalPath(site(L"x")));
    EXPECT_EQ(trash.str(), root + L"Recycler\\{86066D57-9347-46a7-B4DB-971D9EF36D29}");
    EXPECT_TRUE(substitute.security(root + L"Recycler").has_value());
    auto stored = substitute.security(trash);
    ASSERT_TRUE(stored && stored->dacl);
    auto* acl = reinterpret_cast<PACL>(stored->dacl->data());
    ASSERT_EQ(acl->AceCount, 4);
    struct Expected {
        const wchar_t* sid;
        BYTE flags;
        DWORD mask;
    } expected[] = {{L"S-1-5-32-544", OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, GENERIC_ALL},
                    {L"S-1-5-18", OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, GENERIC_ALL},
                    {L"S-1-1-0", CONTAINER_INHERIT_ACE, 0x1300E7},
                    {L"S-1-1-0", OBJECT_INHERIT_ACE | INHERIT_ONLY_ACE, 0x130080}};
    for (DWORD i = 0; i < 4; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        ASSERT_TRUE(GetAce(acl, i, reinterpret_cast<void**>(&ace)));
        EXPECT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
        EXPECT_EQ(ace->Header.AceFlags, expected[i].flags);
        EXPECT_EQ(ace->Mask, expected[i].mask);
        EXPECT_EQ(security::Sid(&ace->SidStart), security::Sid::fromString(expected[i].sid));
    }
}

TEST_F(RemovalHelpers, TrashThatCannotBeMadeDisablesOnlyTheRenameStep) {
    substitute.failNext(Call::getFileAttributes, L"", ERROR_SHARING_VIOLATION, 1);
    EXPECT_TRUE(files::trashDirectory(paths::NormalPath(site(L"x"))).empty());
    tree.file(L"vhosts\\f.txt");
    files::removePath(paths::NormalPath(site(L"f.txt")), paths::NormalPath(), 0);
    EXPECT_EQ(snapshot(site(L"")), TreeSnapshot{});
    EXPECT_EQ(substitute.calls(Call::moveFile), 0);
}

TEST_F(RemovalHelpers, InPlaceRemovalRecoversAccessWithinItsBudget) {
    std::wstring file = tree.file(L"vhosts\\f.txt");
    substitute.failNext(Call::deleteFile, file, ERROR_ACCESS_DENIED, 2);
    try {
        files::removePath(paths::NormalPath(file), paths::NormalPath(), 2);
        FAIL();
    } catch (const RunTime::AccessDeniedException& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Unable to remove path (" + text::toUtf8(file) + "): (5) ", 0), 0u);
    }
    substitute.failNext(Call::deleteFile, file, ERROR_ACCESS_DENIED, 2);
    files::removePath(paths::NormalPath(file), paths::NormalPath(), 3);
    EXPECT_EQ(snapshot(site(L"")), TreeSnapshot{});
    files::removePath(paths::NormalPath(site(L"f.txt")), paths::NormalPath(), 3); // missing: nothing to do
}

TEST_F(RemovalHelpers, NonEmptyDirectoryIsNotRemovedByRemovePath) {
    tree.file(L"vhosts\\dir\\f.txt", "f");
    paths::NormalPath trash = files::trashDirectory(paths::NormalPath(site(L"dir")));
    size_t before = testsupport::trashEntries();
    EXPECT_THROW(files::removePath(paths::NormalPath(site(L"dir")), paths::NormalPath(trash), 0), RunTime::DirectoryNotEmptyException);
    EXPECT_EQ(snapshot(site(L"")), (TreeSnapshot{{L"dir", "<dir>"}, {L"dir\\f.txt", "f"}}));
    EXPECT_EQ(testsupport::trashEntries(), before);
}

TEST_F(RemovalHelpers, TemporaryNamesStayInTheirDirectory) {
    std::wstring name = files::temporaryName(paths::NormalPath(site(L"")), L"abc\\\\", 0);
    std::wstring dir = L"\\\\?\\" + site(L"");
    ASSERT_EQ(name.rfind(dir, 0), 0u);
    std::wstring leaf = name.substr(dir.size());
    EXPECT_EQ(leaf.size(), 1 + 4 + 36 + 1u);
    EXPECT_EQ(leaf.rfind(L"{abc-", 0), 0u);
    for (const wchar_t* hostile : {L"..\\..\\x", L"a/b", L"c:", L"x\ny"})
        EXPECT_THROW(files::temporaryName(paths::NormalPath(site(L"")), hostile, 0), RunTime::InvalidPathException);
}

TEST_F(RemovalHelpers, MoveToTemporaryNameTriesAnotherNameWhenOneIsTaken) {
    tree.file(L"vhosts\\f.txt", "f");
    tree.folder(L"vhosts\\into");
    substitute.failNext(Call::moveFile, site(L"f.txt"), ERROR_ALREADY_EXISTS, 2);
    paths::NormalPath moved = files::moveToTemporaryName(paths::NormalPath(site(L"f.txt")), paths::NormalPath(site(L"into")), L"p", 2);
    EXPECT_EQ(testsupport::readFile(moved), "f");
    EXPECT_EQ(substitute.calls(Call::moveFile, site(L"f.txt")), 3);
    tree.file(L"vhosts\\g.txt", "g");
    substitute.failNext(Call::moveFile, site(L"g.txt"), ERROR_ALREADY_EXISTS, 3);
    EXPECT_THROW(files::moveToTemporaryName(paths::NormalPath(site(L"g.txt")), paths::NormalPath(site(L"into")), L"", 2),
                 RunTime::AlreadyExistsException);
    EXPECT_EQ(testsupport::readFile(site(L"g.txt")), "g");
}

TEST_F(RemovalHelpers, CreateDirectoryRecoversOnTheParent) {
    substitute.failNext(Call::createDirectory, site(L"d"), ERROR_ACCESS_DENIED);
    files::createDirectory(paths::NormalPath(site(L"d")), nullptr, 2);
    EXPECT_TRUE(substitute.security(site(L"")).has_value());

    substitute.failNext(Call::createDirectory, site(L"e"), ERROR_ACCESS_DENIED);
    substitute.failNext(Call::setSecurityInfo, site(L""), ERROR_ACCESS_DENIED);
    try {
        files::createDirectory(paths::NormalPath(site(L"e")), nullptr, 2);
        FAIL();
    } catch (const RunTime::AccessDeniedException& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Unable to create file '" + text::toUtf8(site(L"e")) + "': (5) ", 0), 0u);
    }
    substitute.failNext(Call::createDirectory, site(L"e"), ERROR_ACCESS_DENIED);
    try {
        files::createDirectory(paths::NormalPath(site(L"e")), nullptr, 1);
        FAIL();
    } catch (const RunTime::AccessDeniedException& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Unable to create directory (" + text::toUtf8(site(L"e")) + "): (5) ", 0),
                  0u);
    }
    EXPECT_THROW(files::createDirectory(paths::NormalPath(site(L"d")), nullptr, 15), RunTime::AlreadyExistsException);
}

TEST_F(RemovalHelpers, CreateDirectoriesMakesTheMissingStepsOnly) {
    tree.folder(L"vhosts\\a");
    files::createDirectories(paths::NormalPath(site(L"a\\b\\c")), nullptr, 0);
    EXPECT_EQ(snapshot(site(L"")), (TreeSnapshot{{L"a", "<dir>"}, {L"a\\b", "<dir>"}, {L"a\\b\\c", "<dir>"}}));
    tree.file(L"vhosts\\file");
    EXPECT_THROW(files::createDirectories(paths::NormalPath(site(L"file\\x")), nullptr, 0), std::runtime_error);
    files::createDirectories(paths::NormalPath(site(L"a\\b\\c")), nullptr, 0); // all there: nothing to do
}

} // namespace
