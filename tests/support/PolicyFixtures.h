// Fixtures for tests of the allowed-path policy: panel settings from a table, a scratch folder
// tree on the Wine drive, and scoped environment variables.
#pragma once
#include "support/ScopedInstall.h"
#include "commands/PathPolicy.h"

#include <map>
#include <optional>
#include <string>

namespace testsupport {

// Panel settings from a table; a name that is not in it reads as empty.
class FixedSettings : public pathpolicy::PanelSettings {
public:
    std::map<std::wstring, std::wstring> strings;
    std::wstring frontpage;

    std::wstring getString(const std::wstring& name) override;
    std::wstring componentInfo(const std::wstring& package, int kind) override;
};

// Installs a settings source for its lifetime.
using ScopedSettings = ScopedInstall<pathpolicy::PanelSettings, pathpolicy::installPanelSettings>;

// A fresh folder under `base` (the system temporary directory when empty), removed with
// everything in it at the end.
class ScratchTree {
public:
    explicit ScratchTree(const std::wstring& base = L"");
    ~ScratchTree();
    ScratchTree(const ScratchTree&) = delete;
    ScratchTree& operator=(const ScratchTree&) = delete;

    // The folder itself (plain "C:\..." form, no trailing "\"), or a path below it.
    const std::wstring& root() const { return root_; }
    std::wstring path(const std::wstring& relative) const { return root_ + L"\\" + relative; }
    // Creates the folder (and its parents) or the file (with its parents) below the root.
    std::wstring folder(const std::wstring& relative) const;
    std::wstring file(const std::wstring& relative, const std::string& content = "") const;

private:
    std::wstring root_;
};

// Sets (or, with nullopt, removes) an environment variable for the object's lifetime.
class ScopedEnvironment {
public:
    ScopedEnvironment(const wchar_t* name, std::optional<std::wstring> value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::wstring name_;
    std::optional<std::wstring> old_;
};

} // namespace testsupport
