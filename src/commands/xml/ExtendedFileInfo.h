// --ex-info: short and long forms, permissions and deletability of one path, as one document.
#pragma once
#include "commands/xml/RecordingCommand.h"

class ExtendedFileInfo : public RecordingCommand {
public:
    ExtendedFileInfo();
    int start(int argc, wchar_t** argv) override;
    void execute() override;

    std::wstring path;
    bool withPermissions = false;
    bool withShortPath = false;
    bool withLongPath = false;
    bool withDeleteAccess = false;
    bool withSharingAccess = false;
};
