#include "commands/PermissionsCommand.h"

#include "app/Exceptions.h"
#include "commands/Params.h"

namespace {

struct ModeParameters {
    const wchar_t* name;
    Permissions::Mode mode;
    NameList required;
    NameList optional;
};

// In the order the error message lists them.
const ModeParameters& modeParameters(const std::wstring& argument) {
    static const NameList flags{L"--inherit-from-parent", L"--replace-on-children"};
    static const ModeParameters table[] = {
        {L"--list", Permissions::List, {L"--file"}, {}},
        {L"--list-common", Permissions::ListCommon, {L"--file"}, {}},
        {L"--list-advanced", Permissions::ListAdvanced, {L"--file"}, {}},
        {L"--set", Permissions::Set, {L"--file", L"--xml"}, {}},
        {L"--set-common", Permissions::SetCommon, {L"--file", L"--xml"}, flags},
        {L"--set-advanced", Permissions::SetAdvanced, {L"--file", L"--xml"}, flags},
        {L"--convert-common", Permissions::ConvertCommon, {L"--xml"}, {}},
    };
    std::wstring names;
    for (const ModeParameters& entry : table) {
        if (argument == entry.name) return entry;
        names += (names.empty() ? L"   " : L"\n   ") + std::wstring(entry.name);
    }
    throw ArgumentException(L"command " + argument + L" not supported. Possible commands is:\n" + names);
}

} // namespace

Permissions::Permissions()
    : ClassicCommand(L"--permissions", L"Usage:\npermissions --list | --set [args from stdin (delimiter - \n)]\n") {}

int Permissions::start(int argc, wchar_t** argv) {
    const ModeParameters& entry = modeParameters(argv[0]);
    Params params(argc - 1, argv + 1);
    params.check(entry.required, entry.optional);
    mode = entry.mode;
    // A bare "--file" in a listing mode leaves the path empty; prepare refuses it.
    file = params.value(L"--file", false);
    xml = params.value(L"--xml", false);
    inheritFromParent = params.has(L"--inherit-from-parent");
    replaceOnChildren = params.has(L"--replace-on-children");
    if (mode != ConvertCommon) inputs = {&file};
    runAsTarget();
    return 0;
}

void Permissions::prepare() {
    if (isListing(mode) && file.empty())
        raisePlainError(L"Unable to prepare get permission", {L"", "Permissions::prepare", __LINE__});
    checkInputs();
}

void Permissions::execute() { notAvailable(); }
