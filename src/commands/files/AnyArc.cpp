#include "commands/files/AnyArc.h"

#include "app/Exceptions.h"
#include "app/Log.h"
#include "app/Text.h"
#include "commands/PathPolicy.h"
#include "commands/files/ArchiveTemplates.h"

#include <cwctype>

namespace files {
namespace {

// The operation an undetected archive type names, as the panel's logs have always shown it.
constexpr const char* kCreateArcOrigin = "AnyArc::CreateArc";

std::wstring upper(std::wstring text) {
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(std::towupper(c));
    return text;
}

std::wstring extensionOf(const std::wstring& path) {
    size_t leaf = path.find_last_of(L"\\/");
    leaf = leaf == std::wstring::npos ? 0 : leaf + 1;
    size_t dot = path.rfind(L'.');
    return dot == std::wstring::npos || dot < leaf ? L"" : path.substr(dot + 1);
}

} // namespace

std::wstring AnyArc::commandLine(const std::wstring& operation, const ArchiveSwitchValues& values) const {
    std::wstring expanded = expandArchiveTemplate(archiveTemplates().get(typeName(), operation), values);
    std::wstring root =
        paths::withoutTrailingSeparators(pathpolicy::panelSettings().getString(L"SHORT_PRODUCT_ROOT_D"));
    // The program is the first word of the template, found in the panel's program directory.
    size_t end = expanded.find(L' ');
    std::wstring program = root + L"\\admin\\bin\\" + expanded.substr(0, end);
    return quoteArgument(program) + (end == std::wstring::npos ? L"" : expanded.substr(end));
}

int AnyArc::runOperation(const std::wstring& operation, const std::wstring& archive,
                         const std::wstring& directory, bool withMask, const UnpackLimits* limits) {
    ArchiveSwitchValues values;
    // The archiver sees the paths as Windows programs take them: "\\?\" is this program's own form.
    values.archive = text::displayPath(archive);
    std::wstring line = commandLine(operation, values);
    if (withMask && !allFilesMask().empty()) line += L" " + allFilesMask();
    if (limits) line += L" " + archiverLimitArguments(*limits);
    LogManager::instance().log(0, L"%s in %s", line, directory);
    ArchiverLimits bounds;
    if (limits) bounds.maxSeconds = limits->maxSeconds;
    ArchiverResult run = runArchiver(line, text::displayPath(directory), bounds);
    LogManager::instance().log(0, L"exit code %d", run.exitCode);
    lastOutput_ = run.output;
    if (run.timedOut) {
        // Whatever it wrote or said so far, a run that was cut off proves nothing about the archive.
        lastOutput_ = text::toUtf8(format(L"ended after %d seconds", bounds.maxSeconds));
        return 1;
    }
    return judge(run);
}

int AnyArc::Version(const std::wstring& directory) {
    return runOperation(L"Version", L"", directory, false, nullptr);
}

int AnyArc::Test(const std::wstring& archive, const std::wstring& directory, const UnpackLimits& limits) {
    return runOperation(L"Test", archive, directory, false, &limits);
}

int AnyArc::Extract(const std::wstring& archive, const std::wstring& directory, const UnpackLimits& limits) {
    return runOperation(L"Extract", archive, directory, true, &limits);
}

int AnyArc::ExtractWithoutPath(const std::wstring& archive, const std::wstring& directory,
                               const UnpackLimits& limits) {
    return runOperation(L"ExtractWithoutPath", archive, directory, true, &limits);
}

int TgzArcUntgz32::judge(const ArchiverResult& run) const {
    const std::string& out = run.output;
    bool sound = out.find("untgz32: error - ") == std::string::npos &&
                 out.find("untgz32: warning - broken f(s), crc32 error!") == std::string::npos &&
                 out.find("Archive has valid crc32.") != std::string::npos;
    return sound ? 0 : 1;
}

const ArchiveHandlers& archiveHandlers() {
    static const ArchiveHandlers handlers = [] {
        ArchiveHandlers map;
        map.emplace(L"TGZ", std::make_unique<TgzArcCSharpUntar>());
        map.emplace(L"ZIP", std::make_unique<InfoZipArc>());
        map.emplace(L"TAR", std::make_unique<TarArcCSharpUntar>());
        map.emplace(L"RAR", std::make_unique<RarArc>());
        map.emplace(L"GZ", std::make_unique<GZipArc>());
        map.emplace(L"ARJ", std::make_unique<ArjArc>());
        return map;
    }();
    return handlers;
}

ChosenHandler chooseArchiveHandler(const std::wstring& type, const std::wstring& archive,
                                   const std::wstring& directory, const UnpackLimits& limits) {
    const ArchiveHandlers& handlers = archiveHandlers();
    auto named = handlers.find(upper(type.empty() ? extensionOf(archive) : type));
    if (named != handlers.end()) return {*named->second, false};
    for (const auto& [name, handler] : handlers)
        if (handler->Test(archive, directory, limits) == 0) return {*handler, true};
    raisePlainError(L"Can't detect archive type.", kCreateArcOrigin);
}

} // namespace files
