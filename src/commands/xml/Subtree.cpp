#include "commands/xml/Subtree.h"

#include "app/Exceptions.h"
#include "app/Log.h"
#include "app/Registry.h"
#include "app/Text.h"
#include "commands/xml/LoopGuard.h"
#include "security/SecurityInfo.h"
#include "xml/XmlDocument.h"

#include <algorithm>

const std::vector<std::wstring> kTopLevelHiddenNames = {L"error_docs", L"statistics", L"subdomains", L"vault_scripts",
                                                        L"web_users"};
const std::vector<std::wstring> kSecondLevelHiddenNames = {
    L"_private", L"_vti_cnf", L"_vti_log", L"_vti_pvt", L"_vti_script", L"_vti_txt", L"images", L"picture_library"};

namespace {

// Any right that lets the caller look at the folder.
constexpr DWORD kVisibleRights = 0x40E;

bool inList(const std::vector<std::wstring>& names, const std::wstring& name) {
    return std::any_of(names.begin(), names.end(), [&](const std::wstring& n) { return text::equalNoCase(n, name); });
}

// The full path of a relative path ("/a/b") below the root.
paths::NormalPath fullPathOf(const paths::NormalPath& root, const std::wstring& relativePath) {
    std::wstring relative = relativePath.substr(1);
    std::replace(relative.begin(), relative.end(), L'/', L'\\');
    return root.join(relative);
}

// The message of the failure being handled, or `fallback` for one without a message.
std::wstring failureText(const std::wstring& fallback) {
    try {
        throw;
    } catch (const vexception& e) {
        return e.text(false);
    } catch (const std::exception& e) {
        return text::fromAnsi(e.what());
    } catch (...) {
        return fallback;
    }
}

} // namespace

XMlDirTree::XMlDirTree() : OnePathCommand(L"subtree", L"Usage:\nsubtree path\n") {}

void XMlDirTree::reportWarning(const std::wstring& message) { LogManager::instance().reportEvent(1, message); }

files::DirectoryListing XMlDirTree::listOrWarn(const paths::NormalPath& fullPath) {
    try {
        return files::listDirectory(fullPath);
    } catch (...) {
        reportWarning(failureText(
            format(L"Unable to read directory (%s): Unhandled exception", text::displayPath(fullPath))));
        return {};
    }
}

bool XMlDirTree::isFolderVisible(const paths::NormalPath& fullPath) {
    try {
        security::SecurityInfo info = security::readSecurity(fullPath);
        return (security::effectiveRights(info.dacl, info.owner, caller_) & kVisibleRights) != 0;
    } catch (...) {
        reportWarning(failureText(
            format(L"Unable to get directory (%s) access: Unhandled exception", text::displayPath(fullPath))));
        return false;
    }
}

void XMlDirTree::collectSubfolders(const std::wstring& relativePath, int depth, LoopGuard& guard,
                                   std::vector<std::wstring>& out) {
    const files::DirectoryListing listing = listOrWarn(fullPathOf(normal(0), relativePath));
    for (const files::DirectoryEntry& entry : listing.directories) {
        if (files::isDotEntry(entry)) continue;
        const std::wstring childPath = relativePath + L"/" + entry.name;
        const paths::NormalPath fullPath = fullPathOf(normal(0), childPath);
        if (!isFolderVisible(fullPath)) continue;
        if (!virtDirShowAll && depth <= 1 && inList(kSecondLevelHiddenNames, entry.name)) continue;
        out.push_back(childPath);
        if (guard.enter(fullPath, entry)) {
            collectSubfolders(childPath, depth + 1, guard, out);
            guard.leave();
        }
    }
}

std::vector<std::wstring> XMlDirTree::walk() {
    std::vector<std::wstring> out;
    LoopGuard guard(normal(0));
    const files::DirectoryListing listing = listOrWarn(normal(0));
    for (const files::DirectoryEntry& entry : listing.directories) {
        if (files::isDotEntry(entry)) continue;
        if (!virtDirShowAll && inList(kTopLevelHiddenNames, entry.name)) continue;
        out.push_back(L"/" + entry.name);
        if (guard.enter(normal(0).join(entry.name), entry)) {
            collectSubfolders(L"/" + entry.name, 1, guard, out);
            guard.leave();
        }
    }
    return out;
}

void XMlDirTree::execute() {
    virtDirShowAll = config::readDword(L"VirtDirShowAll").value_or(0) != 0;
    caller_ = security::callerSids();
    std::vector<std::wstring> folders = walk();
    // Code-unit order of the whole relative path: "/a b" before "/a/b", "/B" before "/a".
    std::sort(folders.begin(), folders.end());
    xml::XmlDocument document;
    xml::XmlElement root = document.createRoot(L"subtree");
    for (const std::wstring& folder : folders) root.append(L"directory").set(L"name", folder);
    std::wstring text = document.xml();
    if (!text.empty() && text.back() != L'\n') text += L'\n';
    LogManager::instance().log(2, L"%s", text);
}
