#include "commands/PathPolicy.h"

#include "app/Exceptions.h"
#include "app/Log.h"
#include "app/Text.h"
#include "ipc/TarnisSrvClient.h"
#include "paths/LongPath.h"
#include "paths/PathSyntax.h"
#include "platform/Platform.h"
#include "platform/QueryString.h"

#include <algorithm>
#include <utility>

namespace pathpolicy {
namespace {

// The value when it can be a root; otherwise nothing, and a warning in the event log.
std::wstring usableRoot(const std::wstring& name, const std::wstring& value) {
    if (value.empty() || paths::isAbsoluteFolderPath(value)) return value;
    std::wstring shown;
    for (wchar_t c : value)
        shown += c ? std::wstring(1, c) : L"\\0";
    LogManager::instance().reportEvent(
        1,
        format(L"The panel setting %s (%s) is not an absolute folder path; it is not used as an allowed root",
               name, shown));
    return {};
}

class ManagementService : public PanelSettings {
public:
    std::wstring getString(const std::wstring& name) override { return TarnisSrvClient::getInstance().getString(name); }
    std::wstring componentInfo(const std::wstring& package, int kind) override {
        return TarnisSrvClient::getInstance().componentInfo(package, kind);
    }
};

PanelSettings* installedSettings = nullptr;

// The value of an environment variable; empty when it is not set.
std::wstring environmentValue(const wchar_t* name) {
    SetLastError(ERROR_SUCCESS);
    DWORD needed = GetEnvironmentVariableW(name, nullptr, 0);
    if (needed == 0) {
        DWORD error = GetLastError();
        if (error != ERROR_SUCCESS && error != ERROR_ENVVAR_NOT_FOUND)
            raiseRunTimeError(error, L"Unable to get environment variable %s", name);
        return {};
    }
    std::wstring value(needed, L'\0');
    DWORD length = GetEnvironmentVariableW(name, value.data(), needed);
    if (length == 0 && GetLastError() != ERROR_SUCCESS)
        raiseRunTimeError(GetLastError(), L"Unable to get environment variable %s", name);
    value.resize(std::min<size_t>(length, value.size()));
    return value;
}

[[noreturn]] void refuse(const std::wstring& shown) {
    throw RunTime::NotAllowedException(L"%s: Path is not allowed", shown);
}

} // namespace

PanelSettings& panelSettings() {
    static ManagementService service;
    return installedSettings ? *installedSettings : service;
}

PanelSettings* installPanelSettings(PanelSettings* settings) { return std::exchange(installedSettings, settings); }

RootLists buildRootLists() {
    try {
        return buildRootLists(panelSettings());
    } catch (const vexception& e) {
        // Reading the panel's settings failed (the service is down, say): the failure says
        // nothing about the input paths, so it must not keep a class that reads as a path answer
        // (a missing pipe is error 2, "file not found"). Message and contexts stay.
        throw vexception(e);
    }
}

std::wstring temporaryDirectory() {
    std::wstring temp;
    platform::Platform& p = platform::current();
    DWORD error = platform::queryString(
        [&](wchar_t* buffer, DWORD size, DWORD* length) { return p.getTempPath(size, buffer, length); }, &temp);
    if (error) raiseRunTimeError(error, L"Unable to get temporary path");
    return temp;
}

RootLists buildRootLists(PanelSettings& settings) {
    std::vector<std::wstring> allowed, denied;
    auto value = [&](const wchar_t* name) {
        return usableRoot(name, paths::withoutTrailingSeparators(settings.getString(name)));
    };
    auto allowIfSet = [&](std::wstring root) {
        if (!root.empty()) allowed.push_back(std::move(root));
    };

    // A missing product or data directory allows nothing: the roots built on it are left out
    // rather than turned into relative paths.
    std::wstring product = value(L"PRODUCT_ROOT_D");
    if (!product.empty()) {
        allowed.push_back(product);
        denied.push_back(product + L"\\admin\\bin");
        allowed.push_back(product + L"\\tmp");
    }
    std::wstring data = value(L"PRODUCT_DATA_D");
    if (!data.empty()) allowed.push_back(data + L"\\var");
    for (const wchar_t* name : {L"HTTPD_VHOSTS_D", L"CATALINA_HOME", L"DUMP_D"}) allowIfSet(value(name));
    allowIfSet(usableRoot(
        L"frontpage", paths::withoutTrailingSeparators(paths::canonicalPath(settings.componentInfo(L"frontpage", 2)))));

    allowIfSet(usableRoot(L"temporary directory", paths::withoutTrailingSeparators(temporaryDirectory())));
    for (const wchar_t* name : {L"tmp", L"temp"})
        allowIfSet(usableRoot(name, paths::withoutTrailingSeparators(environmentValue(name))));

    // Roots and inputs are compared in long form, so that a root that does not exist (yet) never
    // widens into its existing parent, and a missing path is judged where it would be.
    RootLists roots;
    for (std::wstring& root : allowed) roots.allowed.push_back({root, paths::longForm(root)});
    for (std::wstring& root : denied) roots.denied.push_back({root, paths::longForm(root)});
    return roots;
}

paths::CheckedPath checkPathAllowed(const RootLists& roots, const std::wstring& input) {
    paths::checkReservedNames(L"", input);
    paths::NormalPath normal(input);
    const std::wstring& text = normal.str();
    if (paths::hasStreamComponent(text))
        raiseInvalidPath(normal.display() + L": contains a stream name that cannot be used as a path.");
    if (paths::hasWildcards(text))
        raiseInvalidPath(normal.display() + L": contains wildcard characters that cannot be used as a path.");
    if (paths::hasDotComponents(text)) refuse(normal.display());
    paths::LongAncestor found = paths::longAncestor(L"", text);
    paths::CheckedPath checked{input, normal, found.whole()};
    auto within = [&](const Root& root) { return paths::isWithin(root.longForm, checked.longForm); };
    bool allowed = std::any_of(roots.allowed.begin(), roots.allowed.end(), within);
    if (!allowed || std::any_of(roots.denied.begin(), roots.denied.end(), within))
        refuse(text::displayPath(found.path));
    return checked;
}

void checkReach(const RootLists& roots, const paths::CheckedPath& path, Reach reach) {
    if (reach == Reach::Within) return;
    auto inside = [&](const Root& root) { return paths::isWithin(path.longForm, root.longForm); };
    if (std::any_of(roots.denied.begin(), roots.denied.end(), inside) ||
        (reach == Reach::Removal && std::any_of(roots.allowed.begin(), roots.allowed.end(), inside)))
        refuse(paths::trimmed(path.longForm.display()));
}

} // namespace pathpolicy
