#include "support/PolicyFixtures.h"

#include "platform/Handle.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace testsupport {
namespace {

void removeTree(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    platform::FindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &data));
    if (find) {
        do {
            std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring child = folder + L"\\" + name;
            SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                removeTree(child);
            else
                DeleteFileW(child.c_str());
        } while (FindNextFileW(find.get(), &data));
    }
    find.reset();
    RemoveDirectoryW(folder.c_str());
}

void createParents(const std::wstring& path) {
    for (size_t i = path.find(L'\\', 3); i != std::wstring::npos; i = path.find(L'\\', i + 1))
        CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
}

} // namespace

std::wstring FixedSettings::getString(const std::wstring& name) {
    auto it = strings.find(name);
    return it == strings.end() ? L"" : it->second;
}

std::wstring FixedSettings::componentInfo(const std::wstring& package, int kind) {
    return package == L"frontpage" && kind == 2 ? frontpage : L"";
}

ScratchTree::ScratchTree(const std::wstring& parent) {
    wchar_t temp[MAX_PATH + 1];
    std::wstring base = parent.empty() ? std::wstring(temp, GetTempPathW(MAX_PATH + 1, temp)) : parent;
    while (!base.empty() && base.back() == L'\\') base.pop_back();
    static int counter = 0;
    root_ = base + L"\\quarn-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount()) +
            L"-" + std::to_wstring(++counter);
    if (!CreateDirectoryW(root_.c_str(), nullptr)) ADD_FAILURE() << "cannot create the scratch folder";
}

ScratchTree::~ScratchTree() { removeTree(root_); }

std::wstring ScratchTree::folder(const std::wstring& relative) const {
    std::wstring p = path(relative);
    createParents(p + L"\\");
    return p;
}

std::wstring ScratchTree::file(const std::wstring& relative, const std::string& content) const {
    std::wstring p = path(relative);
    createParents(p);
    platform::FileHandle h(CreateFileW(p.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                       nullptr));
    DWORD written = 0;
    if (!h || !WriteFile(h.get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr))
        ADD_FAILURE() << "cannot write a scratch file";
    return p;
}

ScopedEnvironment::ScopedEnvironment(const wchar_t* name, std::optional<std::wstring> value) : name_(name) {
    wchar_t buffer[32768];
    DWORD n = GetEnvironmentVariableW(name, buffer, 32768);
    if (n > 0 && n < 32768) old_ = std::wstring(buffer, n);
    SetEnvironmentVariableW(name, value ? value->c_str() : nullptr);
}

ScopedEnvironment::~ScopedEnvironment() { SetEnvironmentVariableW(name_.c_str(), old_ ? old_->c_str() : nullptr); }

} // namespace testsupport
