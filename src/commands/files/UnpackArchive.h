// unpack-archive: an archive unpacked by the panel's archivers into a directory.
#pragma once
#include "commands/files/ArgumentCommands.h"
#include "commands/files/TrashHealing.h"

class UnpackArchive : public files::HealsTrash<PositionalCommand<XmlCommand>> {
public:
    UnpackArchive();

    std::wstring type; // empty: chosen by the archive's extension, or by probing
    // Where the temporary directory is made: the account's home, or its "private" folder.
    paths::NormalPath workPath;

    // Extracts the archive into a fresh directory in the work directory and gives its path; a
    // failed test or extraction removes it again and raises "Archive %s is invalid.".
    paths::NormalPath unpackToTemporary();

protected:
    void takeArguments(const std::vector<std::wstring>& arguments) override;
    void checkInput(size_t index) override;
    void operate() override;
    // Unpacking merges into its destination.
    pathpolicy::Reach reach(size_t index) const override {
        return index == 1 ? pathpolicy::Reach::WholeTree : pathpolicy::Reach::Within;
    }
};
