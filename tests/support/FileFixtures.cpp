#include "support/FileFixtures.h"

#include "app/Text.h"
#include "platform/Handle.h"
#include "platform/ReparseBuffer.h"

#include <fstream>

namespace testsupport {
namespace {

const security::Sid kUser = security::Sid::fromString(L"S-1-5-21-7-8-9-1001");
const security::Sid kAdministrators = security::Sid::fromString(L"S-1-5-32-544");

void walk(const std::wstring& root, const std::wstring& relative, const SubstitutePlatform* junctions,
          TreeSnapshot& out) {
    std::wstring directory = relative.empty() ? root : root + L"\\" + relative;
    WIN32_FIND_DATAW data{};
    platform::FindHandle find(FindFirstFileW((directory + L"\\*").c_str(), &data));
    if (!find) return;
    do {
        std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        std::wstring path = relative.empty() ? name : relative + L"\\" + name;
        DWORD tag = junctions ? junctions->reparseTag(root + L"\\" + path) : 0;
        if (tag) {
            out[path] = tag == platform::kSymbolicLinkTag ? "<symlink>" : "<junction>";
        } else if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            out[path] = "<dir>";
            walk(root, path, junctions, out);
        } else {
            out[path] = readFile(root + L"\\" + path);
        }
    } while (FindNextFileW(find.get(), &data));
}

} // namespace

std::string readFile(const std::wstring& path) {
    platform::FileHandle h(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, 0, nullptr));
    if (!h) return "<unreadable>";
    std::string content;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(h.get(), buffer, sizeof buffer, &read, nullptr) && read) content.append(buffer, read);
    return content;
}

std::vector<std::string> linesOf(const std::wstring& path) {
    std::ifstream in(text::toUtf8(path));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

TreeSnapshot snapshot(const std::wstring& root, const SubstitutePlatform* junctions) {
    TreeSnapshot out;
    walk(root, L"", junctions, out);
    return out;
}

std::wstring archiveCorpus() {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path = self;
    path.resize(path.rfind(L'\\'));
    path.resize(path.rfind(L'\\'));
    return path + L"\\archive-corpus";
}

size_t trashEntries() {
    wchar_t temp[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, temp);
    std::wstring trash = std::wstring(temp, 2) + L"\\Recycler\\{86066D57-9347-46a7-B4DB-971D9EF36D29}";
    return snapshot(trash).size();
}

FileCommandTest::FileCommandTest() : platform(substitute), scoped(settings) {
    tree.folder(L"vhosts");
    tree.folder(L"outside");
    settings.strings = {{L"PRODUCT_ROOT_D", tree.path(L"product")}, {L"HTTPD_VHOSTS_D", tree.path(L"vhosts")}};
    substitute.setToken({kUser, {{kAdministrators}}, {SE_TAKE_OWNERSHIP_NAME}, {}});
    substitute.setTempPath(tree.path(L"vhosts\\"));
}

void FileCommandTest::setDacl(const std::wstring& path, const security::Sid& owner,
                              std::initializer_list<security::Ace> aces) {
    security::Acl acl = security::Acl::emptyList();
    for (const security::Ace& ace : aces)
        acl.append(ace);
    auto* bytes = reinterpret_cast<const BYTE*>(acl.get());
    substitute.setSecurity(path, {owner, owner, std::vector<BYTE>(bytes, bytes + acl.get()->AclSize), true});
}

const security::Sid& FileCommandTest::tokenUser() { return kUser; }

InProcessResult FileCommandTest::run(const std::vector<std::wstring>& arguments) {
    std::vector<std::wstring> all{L"ROOT"};
    all.insert(all.end(), arguments.begin(), arguments.end());
    return runInProcess(all);
}

} // namespace testsupport
