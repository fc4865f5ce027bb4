// unpack-archive: an archive unpacked by the panel's archivers into a directory.
#pragma once
#include "commands/files/ArgumentCommands.h"

class UnpackArchive : public PositionalCommand<XmlCommand> {
public:
    UnpackArchive();
    void execute() override;

    std::wstring type; // empty: chosen by the archive's extension, or by probing
    std::wstring archive;
    std::wstring destination;

protected:
    void takeArguments(const std::vector<std::wstring>& arguments) override;
    void operate() override;
    bool changes(size_t index) const override { return index == 1; } // unpacking merges into it
};
