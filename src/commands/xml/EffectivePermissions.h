// --effective-permissions: the named file rights the account holds on a path (and its children).
#pragma once
#include "commands/xml/RecordingCommand.h"

class EffectivePermissions : public RecordingCommand {
public:
    enum ChildMode : unsigned { WithChildObjects = 0x1, ChildObjectsOnly = 0x2 };

    EffectivePermissions();
    int start(int argc, wchar_t** argv) override;
    void execute() override;

    std::wstring path;
    unsigned childMode = 0;
};
