// The ground of the file-command tests: a scratch tree whose "vhosts" folder is the allowed
// virtual-hosts root (and "outside" is outside every root), the substitute platform installed,
// the temporary folders unset so that they allow nothing, and quarn run in-process.
#pragma once
#include "support/InProcess.h"
#include "support/PolicyFixtures.h"
#include "support/SubstitutePlatform.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace testsupport {

class FileCommandFixture : public ::testing::Test {
protected:
    FileCommandFixture();

    // quarn ROOT ARGS... in-process.
    InProcessResult quarn(const std::vector<std::wstring>& arguments);
    // A path below "vhosts".
    std::wstring site(const std::wstring& relative) const { return tree.path(L"vhosts\\" + relative); }
    // Every file and folder below the scratch root with its content ("<dir>" for a folder), to
    // compare the tree before and after a command.
    std::map<std::wstring, std::string> snapshot() const;

    ScratchTree tree;
    SubstitutePlatform substitute;
    ScopedPlatform platform;
    FixedSettings settings;
    ScopedSettings scopedSettings;
    ScopedEnvironment tmp, temp;
};

// The content of a file, read as bytes ("" when it cannot be read).
std::string readBytes(const std::wstring& path);

} // namespace testsupport
