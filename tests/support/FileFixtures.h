// Fixtures for tests of the file commands: a scratch tree whose "vhosts" folder is the allowed
// area, the substitute platform with an administrator token, and snapshots of folder trees.
#pragma once
#include "support/InProcess.h"
#include "support/PolicyFixtures.h"
#include "support/SubstitutePlatform.h"
#include "security/Acl.h"

#include <initializer_list>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace testsupport {

// Every file and folder below `root` by relative path: a file maps to its content, a folder to
// "<dir>" (a junction of the substitute to "<junction>", a symbolic link to "<symlink>"; neither is
// entered).
using TreeSnapshot = std::map<std::wstring, std::string>;
TreeSnapshot snapshot(const std::wstring& root, const SubstitutePlatform* junctions = nullptr);
std::string readFile(const std::wstring& path);
// The file's lines, without their line feeds (none when it cannot be read).
std::vector<std::string> linesOf(const std::wstring& path);

// <build>\archive-corpus: the archives tests/corpus/make-archive-corpus made before the run
// (found beside the folder of the test program).
std::wstring archiveCorpus();

// The items the trash directory of the scratch tree's volume holds.
size_t trashEntries();

class FileCommandTest : public ::testing::Test {
protected:
    FileCommandTest();
    // quarn ROOT ARGS...
    InProcessResult run(const std::vector<std::wstring>& arguments);
    // A path below the allowed "vhosts" folder.
    std::wstring site(const std::wstring& relative) const { return tree.path(L"vhosts\\" + relative); }
    // Stores a DACL of these entries (and the owner) for the path in the substitute.
    void setDacl(const std::wstring& path, const security::Sid& owner, std::initializer_list<security::Ace> aces);
    // The token's user (S-1-5-21-7-8-9-1001) and its one group, Administrators.
    static const security::Sid& tokenUser();

    ScratchTree tree;
    SubstitutePlatform substitute;
    ScopedPlatform platform;
    FixedSettings settings;
    ScopedSettings scoped;
    // The temporary directory counts as allowed: it is moved into the allowed area.
    ScopedEnvironment tmp{L"tmp", std::nullopt}, temp{L"temp", std::nullopt};
};

} // namespace testsupport
