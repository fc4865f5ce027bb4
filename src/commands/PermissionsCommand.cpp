#include "commands/PermissionsCommand.h"

#include "app/DebugFlag.h"
#include "app/Exceptions.h"
#include "app/Log.h"
#include "app/Text.h"
#include "commands/Params.h"
#include "identity/IdentitySwitch.h"
#include "permissions/PermissionSetting.h"
#include "security/SecurityHandle.h"

using namespace permissions;

namespace {

// The root element of every permission document.
const std::wstring kRoot = L"Permissions";

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
        // A listing without --file is refused later, by prepare.
        {L"--list", Permissions::List, {}, {L"--file"}},
        {L"--list-common", Permissions::ListCommon, {}, {L"--file"}},
        {L"--list-advanced", Permissions::ListAdvanced, {}, {L"--file"}},
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
    // An absent or bare "--file" in a listing mode leaves the path empty; prepare refuses it.
    file = params.value(L"--file", false);
    xml = params.value(L"--xml", false);
    inheritFromParent = params.has(L"--inherit-from-parent");
    replaceOnChildren = params.has(L"--replace-on-children");
    // The --xml file of the advanced and common modes is an input path like any other.
    if (mode != ConvertCommon) inputs = {file};
    if (mode == SetAdvanced || mode == SetCommon || mode == ConvertCommon) inputs.push_back(xml);
    runAsTarget();
    return 0;
}

void Permissions::prepare() {
    if (isListing(mode) && file.empty()) raisePlainError(L"Unable to prepare get permission");
    checkInputs();
    if (!isListing(mode)) return;
    database_ = openDatabase();
    accounts_ = std::make_unique<AccountTable>(*database_);
    accounts_->prepare(target(), pathpolicy::panelSettings().getString(L"HTTPD_VHOSTS_D"));
}

void Permissions::print(const std::wstring& xml) {
    LogManager::instance().log(2, L"%s", xml.ends_with(L"\n") ? xml : xml + L"\n");
}

void Permissions::execute() {
    switch (mode) {
    case List:
        return print(listPermissions(ListingMode::Simple, target(), *accounts_, inheritance));
    case ListCommon:
        return print(listPermissions(ListingMode::Common, target(), *accounts_, inheritance));
    case ListAdvanced:
        return print(listPermissions(ListingMode::Advanced, target(), *accounts_, inheritance));
    case Set:
    case SetAdvanced:
    case SetCommon:
        return setPermissions();
    case ConvertCommon:
        return convertCommon();
    }
    raisePlainError(L"Unimplemented set permissions command");
}

void Permissions::setPermissions() {
    // What prepare judged is what is written: the path is judged again now that the command runs
    // as the target account, and the object is held open as itself until the last write, so that
    // it can be neither renamed away nor replaced by a link in between.
    const paths::NormalPath& file = target();
    checkDerivedPath(file, reach(0));
    platform::FileHandle object;
    if (DWORD error = security::openAsItself(file, FILE_READ_ATTRIBUTES, &object, true))
        raiseRunTimeError(error, L"Unable to change the permissions of %s", file.display());
    // A junction or symbolic link stands for another place: its own entries are not what the
    // document describes, and its target was never judged.
    if (security::isReparsePoint(object.get(), file))
        raiseRunTimeError(0, L"Unable to change the permissions of %s", file.display());
    // A caller who may not change the permissions is told so; nothing is read or written.
    if (!mayChangePermissions(file))
        raiseRunTimeError(ERROR_ACCESS_DENIED, L"Unable to change the permissions of %s", file.display());
    // The simple form's document is the argument itself.
    const std::wstring shown = mode == Set ? xml : xmlFile().display();
    xml::XmlDocument document;
    if (mode == Set) document.loadText(xml, shown);
    else document.loadFile(xmlFile(), shown);
    const SettingForm form = mode == Set ? SettingForm::Simple
                             : mode == SetAdvanced ? SettingForm::Advanced
                                                   : SettingForm::Common;
    // The writes run as the local Administrator, as the run-as service makes it: as the account,
    // a parent folder it may not read would make the written list protected (its inheritance
    // cut), and the walk of --replace-on-children would stop half done at the first child the
    // account may not change. The account's own right to change these permissions was judged
    // above, and the object is held open as itself, so the Administrator's rights reach only what
    // was judged; the walk neither writes nor enters reparse points.
    permissions::setPermissions(file, document.root(kRoot, shown), {form, inheritFromParent, replaceOnChildren},
                                [] { identity::switchToAdministrator(); });
}

void Permissions::convertCommon() {
    xml::XmlDocument document;
    const std::wstring shown = xmlFile().display();
    document.loadFile(xmlFile(), shown);
    xml::XmlElement root = document.root(kRoot, shown);
    if (debugflag::query()) LogManager::instance().log(0, L"Converting common permissions %s", document.xml());
    const bool fileDocument = isFileDocument(root);
    LogManager::instance().log(0, fileDocument ? L"Converting file permissions." : L"Converting folder permissions.");
    std::vector<AdvancedEntry> entries = entriesFromCommon(readCommonAcl(root), readAdvancedAcl(root), fileDocument);
    writeAdvancedAcl(root, L"AdvancedAcl", entries, fileDocument);
    print(document.xml());
}
