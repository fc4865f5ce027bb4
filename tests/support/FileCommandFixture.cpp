#include "support/FileCommandFixture.h"

#include "platform/Handle.h"

#include <windows.h>

namespace testsupport {
namespace {

void collect(const std::wstring& folder, const std::wstring& relative, std::map<std::wstring, std::string>& out) {
    WIN32_FIND_DATAW data;
    platform::FindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &data));
    if (!find) return;
    do {
        std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        std::wstring child = folder + L"\\" + name, key = relative.empty() ? name : relative + L"\\" + name;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            out[key] = "<dir>";
            collect(child, key, out);
        } else {
            out[key] = readBytes(child);
        }
    } while (FindNextFileW(find.get(), &data));
}

} // namespace

FileCommandFixture::FileCommandFixture()
    : platform(substitute), scopedSettings(settings), tmp(L"tmp", std::nullopt), temp(L"temp", std::nullopt) {
    tree.folder(L"vhosts");
    tree.folder(L"outside");
    substitute.setTempPath(tree.path(L"vhosts\\"));
    settings.strings = {{L"PRODUCT_ROOT_D", tree.path(L"product")}, {L"HTTPD_VHOSTS_D", tree.path(L"vhosts")}};
}

InProcessResult FileCommandFixture::quarn(const std::vector<std::wstring>& arguments) {
    std::vector<std::wstring> all{L"ROOT"};
    all.insert(all.end(), arguments.begin(), arguments.end());
    return runInProcess(all);
}

std::map<std::wstring, std::string> FileCommandFixture::snapshot() const {
    std::map<std::wstring, std::string> out;
    collect(tree.root(), L"", out);
    return out;
}

std::string readBytes(const std::wstring& path) {
    platform::FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
    std::string content;
    if (!file) return content;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0) content.append(buffer, read);
    return content;
}

} // namespace testsupport
