// rm, mkdir and rmdir.
#pragma once
#include "commands/files/ArgumentCommands.h"

class RemoveFiles : public GetoptCommand {
public:
    RemoveFiles();
    void execute() override;

    std::vector<std::wstring> paths;

protected:
    bool takeOption(int c, const char* argument) override;
    bool takeOperands(const Operands& operands) override;
};

// mkdir and rmdir: -p and exactly one directory.
class DirectoryCommand : public GetoptCommand {
public:
    using GetoptCommand::GetoptCommand;

    bool parents = false;
    std::wstring path;

protected:
    bool takeOption(int c, const char* argument) override;
    bool takeOperands(const Operands& operands) override;
};

class MkDir : public DirectoryCommand {
public:
    MkDir();
    void execute() override;
    // The refusal of an existing path (with -p: of an existing first component) belongs here.
};

class RemDir : public DirectoryCommand {
public:
    RemDir();
    void execute() override;
    // The -p cut to the first component and the is-a-directory check belong here.
};
