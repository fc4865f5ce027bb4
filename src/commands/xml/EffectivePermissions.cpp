#include "commands/xml/EffectivePermissions.h"

#include "app/Log.h"
#include "commands/ErrorDocument.h"
#include "commands/Params.h"
#include "commands/files/DirectoryListing.h"
#include "commands/files/FileHelpers.h"
#include "security/FileRights.h"
#include "security/SecurityInfo.h"
#include "xml/SaxDocument.h"

EffectivePermissions::EffectivePermissions()
    : RecordingCommand(L"--effective-permissions",
                       L"Usage: --effective-permissions --path=filename [--with-child-objects] [--child-objects-only]\n") {
}

int EffectivePermissions::start(int argc, wchar_t** argv) {
    Params params(argc, argv);
    params.check({L"--path"}, {L"--with-child-objects", L"--child-objects-only"});
    path = params.value(L"--path");
    if (params.has(L"--with-child-objects")) childMode |= WithChildObjects;
    if (params.has(L"--child-objects-only")) childMode |= ChildObjectsOnly;
    inputs = {path};
    runAsTarget();
    return 0;
}

DWORD EffectivePermissions::rightsOf(const std::wstring& itemPath) {
    security::SecurityInfo info = security::readSecurity(itemPath);
    return security::effectiveRights(info.dacl, info.owner, caller_);
}

void EffectivePermissions::writeRights(SaxDocument& document, DWORD rights) {
    document.startElement(L"AccessMask");
    document.clearAttributes();
    for (const security::FileRight& right : security::kFileRights)
        document.addAttribute(right.name, (rights & right.bit) == right.bit ? L"True" : L"False");
    document.startElement(L"AccessMask");
    document.endElement(L"AccessMask");
    document.endElement(L"AccessMask");
}

void EffectivePermissions::addErrorAttributes(SaxDocument& document, int number, const std::wstring& message) {
    xmlerror::Attributes a = xmlerror::attributesFor(number, message);
    LogManager::instance().reportEvent(3, message);
    document.addAttribute(L"Error", a.error);
    document.addAttribute(L"ErrorCode", a.errorCode);
    document.addAttribute(L"ErrorDetails", message);
}

void EffectivePermissions::addErrorAttributes(SaxDocument& document) {
    xmlerror::Failure f = xmlerror::fromCurrentException();
    addErrorAttributes(document, f.number, f.message);
}

// A failure is shown on the element of the item that failed: the document element for the
// requested path, its Child element for an entry. So each item's rights (and the requested
// folder's listing) are read before its element starts. Rights already read are written even
// when the folder's listing then fails.
void EffectivePermissions::execute() {
    SaxDocument document;
    std::optional<DWORD> rights;
    files::DirectoryListing listing;
    if (errorCode == 0) {
        try {
            const paths::NormalPath& path = normal(0);
            caller_ = security::callerSids();
            if (!(childMode & ChildObjectsOnly)) rights = rightsOf(path);
            if (childMode != 0 && files::isDirectory(path)) listing = files::listDirectory(path);
        } catch (...) {
            listing = {};
            addErrorAttributes(document);
        }
    } else {
        addErrorAttributes(document, errorCode, errorMessage);
    }
    document.startElement(L"EffectivePermissions");
    document.clearAttributes();
    if (rights) writeRights(document, *rights);
    auto describeChild = [&](const files::DirectoryEntry& entry) {
        if (files::isDotEntry(entry)) return;
        document.clearAttributes();
        document.addAttribute(L"Path", entry.name);
        std::optional<DWORD> childRights;
        try {
            childRights = rightsOf(listing.path.join(entry.name));
        } catch (...) {
            addErrorAttributes(document);
        }
        document.startElement(L"Child");
        if (childRights) writeRights(document, *childRights);
        document.endElement(L"Child");
    };
    for (const files::DirectoryEntry& entry : listing.directories)
        describeChild(entry);
    for (const files::DirectoryEntry& entry : listing.files)
        describeChild(entry);
    document.endElement(L"EffectivePermissions");
    document.end();
}
