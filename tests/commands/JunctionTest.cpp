#include "app/Exceptions.h"
#include "app/Text.h"
#include "commands/files/HardLink.h"
#include "commands/files/Junction.h"
#include "commands/files/OpenDirectory.h"
#include "support/FileFixtures.h"

#include <gtest/gtest.h>

namespace {

using files::Disposition;
using testsupport::Call;

class Junction : public testsupport::FileCommandTest {};

TEST_F(Junction, IsWrittenAndReadBackWithTheMountPointLayout) {
    tree.folder(L"vhosts\\target");
    tree.folder(L"vhosts\\link");
    {
        auto link = files::openTreeDirectory(paths::NormalPath(site(L"link")), Disposition::OpenExisting, 0);
        files::makeJunction(link.get(), paths::NormalPath(site(L"target")), 0);
    }
    EXPECT_EQ(substitute.junctionTarget(site(L"link")), L"\\\\?\\" + site(L"target"));
    auto link = files::openTreeDirectory(paths::NormalPath(site(L"link")), Disposition::OpenExisting, 0);
    EXPECT_EQ(files::readJunctionTarget(link.get(), paths::NormalPath(site(L"link"))), L"\\\\?\\" + site(L"target"));
}

// Making a junction never creates the folder it is to lead to: a missing target fails, and nothing
// is made anywhere.
TEST_F(Junction, MissingTargetIsRefusedTheDirectoryItselfToo) {
    tree.folder(L"vhosts\\link");
    auto before = testsupport::snapshot(tree.root());
    auto link = files::openTreeDirectory(paths::NormalPath(site(L"link")), Disposition::OpenExisting, 0);
    EXPECT_THROW(files::makeJunction(link.get(), paths::NormalPath(tree.path(L"elsewhere\\made")), 0), std::runtime_error);
    EXPECT_EQ(testsupport::snapshot(tree.root()), before);
    EXPECT_FALSE(substitute.junctionTarget(site(L"link")));

    tree.folder(L"vhosts\\self");
    auto self = files::openTreeDirectory(paths::NormalPath(site(L"self")), Disposition::OpenExisting, 0);
    try {
        files::makeJunction(self.get(), paths::NormalPath(site(L"self")), 0);
        FAIL() << "a junction onto itself must be refused";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "Recursive reparse point (" + text::toUtf8(site(L"self")) + ")");
    }
    EXPECT_FALSE(substitute.junctionTarget(site(L"self")));
}

TEST_F(Junction, NonEmptyDirectoryAndFailuresAreReported) {
    tree.file(L"vhosts\\full\\f.txt");
    tree.folder(L"vhosts\\target");
    auto full = files::openTreeDirectory(paths::NormalPath(site(L"full")), Disposition::OpenExisting, 0);
    EXPECT_THROW(files::makeJunction(full.get(), paths::NormalPath(site(L"target")), 0), RunTime::DirectoryNotEmptyException);
    EXPECT_THROW(files::readJunctionTarget(full.get(), paths::NormalPath(site(L"full"))), std::runtime_error); // not a reparse point
    substitute.failNext(Call::fileIndex, L"", ERROR_INVALID_FUNCTION);
    tree.folder(L"vhosts\\empty");
    auto empty = files::openTreeDirectory(paths::NormalPath(site(L"empty")), Disposition::OpenExisting, 0);
    try {
        files::makeJunction(empty.get(), paths::NormalPath(site(L"target")), 0);
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Unable to get file id: (1) ", 0), 0u) << e.what();
    }
}

TEST_F(Junction, OpenDirectoryDispositions) {
    std::wstring file = tree.file(L"vhosts\\file.txt");
    try {
        files::openTreeDirectory(paths::NormalPath(file), Disposition::OpenAlways, 0);
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "Path (" + text::toUtf8(file) + ") is a file");
    }
    EXPECT_THROW(files::openTreeDirectory(paths::NormalPath(site(L"none")), Disposition::OpenExisting, 0), std::runtime_error);
    files::openTreeDirectory(paths::NormalPath(site(L"new")), Disposition::CreateNew, 0);
    EXPECT_THROW(files::openTreeDirectory(paths::NormalPath(site(L"new")), Disposition::CreateNew, 0), RunTime::AlreadyExistsException);
    // An empty directory in the way is moved into the trash and deleted there; one with contents
    // is not thrown away but refused.
    tree.folder(L"vhosts\\empty");
    files::openTreeDirectory(paths::NormalPath(site(L"empty")), Disposition::CreateAlways, 0);
    tree.file(L"vhosts\\full\\content.txt", "c");
    EXPECT_THROW(files::openTreeDirectory(paths::NormalPath(site(L"full")), Disposition::CreateAlways, 0),
                 RunTime::DirectoryNotEmptyException);
    EXPECT_EQ(testsupport::snapshot(site(L"")), (testsupport::TreeSnapshot{{L"file.txt", ""},
                                                                          {L"new", "<dir>"},
                                                                          {L"empty", "<dir>"},
                                                                          {L"full", "<dir>"},
                                                                          {L"full\\content.txt", "c"}}));
}

// A symbolic link reads as where it leads: a full target as it stands, a relative one from the
// link's own folder, never from the current directory.
TEST_F(Junction, SymbolicLinksLeadFromTheirOwnFolder) {
    tree.folder(L"vhosts\\site\\target");
    tree.folder(L"vhosts\\site\\deep\\er");
    substitute.addSymbolicLink(site(L"site\\deep\\er\\up"), L"..\\..\\target", true);
    substitute.addSymbolicLink(site(L"site\\full"), site(L"site\\target"), true);
    substitute.addSymbolicLink(site(L"site\\rooted"), site(L"site\\target").substr(2), true);
    auto read = [&](const std::wstring& link) {
        return files::readJunctionTarget(files::openTreeDirectory(paths::NormalPath(link), Disposition::OpenExisting, 0).get(), paths::NormalPath(link));
    };
    const std::wstring target = L"\\\\?\\" + site(L"site\\target");
    EXPECT_EQ(read(site(L"site\\deep\\er\\up")), target);
    EXPECT_EQ(read(site(L"site\\full")), target);
    EXPECT_EQ(read(site(L"site\\rooted")), target); // "\\x" is the root of the link's volume
    // The current directory plays no part.
    wchar_t current[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, current);
    SetCurrentDirectoryW(site(L"site\\deep").c_str());
    EXPECT_EQ(read(site(L"site\\deep\\er\\up")), target);
    SetCurrentDirectoryW(current);
}

TEST_F(Junction, HardLinkOfADirectoryIsUndoneWhenTheJunctionFails) {
    tree.folder(L"vhosts\\dir");
    substitute.failNext(Call::deviceIoControl, L"", ERROR_INVALID_FUNCTION);
    EXPECT_THROW(files::createHardLink(paths::NormalPath(site(L"dir")), paths::NormalPath(site(L"alias")), 0), std::runtime_error);
    EXPECT_FALSE(testsupport::snapshot(site(L"")).count(L"alias"));
}

TEST_F(Junction, HardLinkRecoversAccessOnTheDestinationsParent) {
    tree.file(L"vhosts\\a.txt", "a");
    substitute.failNext(Call::createHardLink, site(L"b.txt"), ERROR_ACCESS_DENIED);
    files::createHardLink(paths::NormalPath(site(L"a.txt")), paths::NormalPath(site(L"b.txt")), 15);
    EXPECT_EQ(testsupport::readFile(site(L"b.txt")), "a");
    EXPECT_TRUE(substitute.security(site(L"")).has_value());
    try {
        files::createHardLink(paths::NormalPath(site(L"a.txt")), paths::NormalPath(site(L"b.txt")), 15);
        FAIL();
    } catch (const RunTime::AlreadyExistsException& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Unable to create hard link from (" + text::toUtf8(site(L"a.txt")) +
                                                  ") to (" + text::toUtf8(site(L"b.txt")) + "): (183) ",
                                              0),
                  0u)
            << e.what();
    }
}

} // namespace
