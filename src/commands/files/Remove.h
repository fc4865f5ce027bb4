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
    bool changes(size_t) const override { return true; }
};

// mkdir and rmdir: -p and exactly one directory.
class DirectoryCommand : public GetoptCommand {
public:
    using GetoptCommand::GetoptCommand;

    bool parents = false;
    std::wstring path;

    // With -p the operation acts on the path as given cut to its first component (a/b/c becomes
    // a; an absolute path becomes its drive): that place is checked as well.
    std::wstring cutToFirstComponent() const;

protected:
    bool takeOption(int c, const char* argument) override;
    bool takeOperands(const Operands& operands) override;
    void checkInput(size_t index) override;

private:
    std::wstring given_;
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

protected:
    bool changes(size_t) const override { return true; }
    // The -p cut to the first component and the is-a-directory check belong here.
};
