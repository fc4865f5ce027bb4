// --effective-permissions: the named file rights the account holds on a path (and its children).
#pragma once
#include "commands/xml/RecordingCommand.h"
#include "security/EffectiveRights.h"

#include <optional>

class SaxDocument;

class EffectivePermissions : public RecordingCommand {
public:
    enum ChildMode : unsigned { WithChildObjects = 0x1, ChildObjectsOnly = 0x2 };

    EffectivePermissions();
    int start(int argc, wchar_t** argv) override;
    void execute() override;

    std::wstring path;
    unsigned childMode = 0;

private:
    // The rights the caller holds on the item.
    DWORD rightsOf(const std::wstring& itemPath);
    // The two-level AccessMask element; the outer one carries the attribute list as it stands.
    void writeRights(SaxDocument& document, DWORD rights);
    // Puts Error, ErrorCode and ErrorDetails of the failure being handled into the list.
    // Error, ErrorCode and ErrorDetails of the failure (the one being handled), reported as an event.
    void addErrorAttributes(SaxDocument& document, int number, const std::wstring& message);
    void addErrorAttributes(SaxDocument& document);

    security::Caller caller_;
};
