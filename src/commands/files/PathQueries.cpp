#include "commands/files/PathQueries.h"

#include "app/Exceptions.h"
#include "app/Log.h"
#include "app/Text.h"
#include "commands/PathPolicy.h"
#include "commands/files/CopyToTemporaryName.h"
#include "commands/files/DirectoryListing.h"
#include "commands/files/DirectorySize.h"
#include "commands/files/Junction.h"
#include "commands/files/MoveToTemporaryName.h"
#include "commands/files/OpenDirectory.h"
#include "commands/files/PathNames.h"
#include "platform/Platform.h"

namespace {

constexpr int kTemporaryAttempts = 15;

} // namespace

ListFiles::ListFiles() : PositionalCommand(L"list", L"Usage:\nlist (dirs | files | both) path\n", 2, 2) {}

void ListFiles::takeArguments(const std::vector<std::wstring>& arguments) {
    const std::wstring& m = arguments[0];
    if (m == L"dirs")
        mode = Dirs;
    else if (m == L"files")
        mode = Files;
    else if (m == L"both")
        mode = Both;
    else
        raiseRunTimeError(0, L"The mode (%s) is invalid", m);
    path = arguments[1];
    inputs = {path};
}

void ListFiles::execute() {
    files::DirectoryListing listing = files::listDirectory(normal(0));
    std::wstring lines;
    auto add = [&lines](const files::DirectoryEntry& e) {
        lines += e.name;
        lines += L'\t';
        lines += std::to_wstring(static_cast<uint64_t>(e.lastWriteTime));
        lines += L'\t';
        lines += std::to_wstring(e.size);
        lines += L"\t\"\"\t\"\"\t000\n";
    };
    if (mode != Files)
        for (const files::DirectoryEntry& e : listing.directories)
            add(e);
    if (mode != Dirs)
        for (const files::DirectoryEntry& e : listing.files)
            add(e);
    LogManager::instance().log(2, L"%s", lines);
}

FileSize::FileSize() : OnePathCommand(L"size", L"Usage:\nsize path\n") {}

void FileSize::execute() {
    LogManager::instance().log(2, L"%I64d\n", static_cast<int64_t>(files::pathSize(normal(0))));
}

RealPath::RealPath() : OnePathCommand(L"realpath", L"Usage:\nrealpath path\n") {}

void RealPath::execute() {
    paths::NormalPath target = files::resolvedJunction(normal(0));
    // A root keeps its "\" in the queries' answers; the printed forms never end in one.
    auto printed = [](std::wstring p) {
        while (!p.empty() && p.back() == L'\\')
            p.pop_back();
        return text::displayPath(p);
    };
    LogManager::instance().log(2, L"%s\n", printed(files::longPath(target)));
    LogManager::instance().log(2, L"%s\n", printed(files::shortPath(target)));
}

TempNameCommand::TempNameCommand(std::wstring name, std::wstring usageText)
    : PositionalCommand(std::move(name), std::move(usageText), 2, 3) {}

void TempNameCommand::takeArguments(const std::vector<std::wstring>& arguments) {
    source = arguments[0];
    directory = arguments[1];
    prefix = arguments.size() > 2 ? arguments[2] : L"";
    inputs = {source, directory};
}

Cp2TempName::Cp2TempName() : TempNameCommand(L"cp2tempnam", L"Usage:\ncp2tempnam source path [prefix]\n") {}

void Cp2TempName::execute() {
    paths::NormalPath copy = files::copyToTemporaryName(normal(0), normal(1), prefix, kTemporaryAttempts);
    LogManager::instance().log(2, L"%s\n", copy.display());
}

Mv2TempName::Mv2TempName() : TempNameCommand(L"mv2tempnam", L"Usage:\nmv2tempnam source path [prefix]\n") {}

void Mv2TempName::execute() {
    paths::NormalPath moved = files::moveToTemporaryName(normal(0), normal(1), prefix, kTemporaryAttempts);
    LogManager::instance().log(2, L"%s\n", moved.display());
}
