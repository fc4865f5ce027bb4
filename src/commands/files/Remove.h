// rm, mkdir and rmdir.
#pragma once
#include "commands/files/ArgumentCommands.h"
#include "commands/files/TrashHealing.h"

class RemoveFiles : public files::HealsTrash<GetoptCommand> {
public:
    RemoveFiles();
    void execute() override;

    std::vector<std::wstring> paths;

protected:
    bool takeOption(int c, const char* argument) override;
    bool takeOperands(const Operands& operands) override;
    pathpolicy::Reach reach(size_t) const override { return pathpolicy::Reach::Removal; }
    void checkInput(size_t index) override;
};

// mkdir and rmdir: -p and exactly one directory.
class DirectoryCommand : public GetoptCommand {
public:
    using GetoptCommand::GetoptCommand;

    bool parents = false;
    std::wstring path; // as the command line gave it

    // -p's cut: the first "/" becomes "\" and everything from the first "\" on is dropped
    // (a/b/c becomes a; an absolute path becomes its drive). The base checks that place too.
    static std::wstring firstComponent(const std::wstring& given);

protected:
    bool takeOption(int c, const char* argument) override;
    bool takeOperands(const Operands& operands) override;
    void checkInput(size_t index) override;

    // With -p, the first component as checked.
    paths::CheckedPath cut;
};

class MkDir : public DirectoryCommand {
public:
    MkDir();
    void execute() override;

protected:
    // Refuses an existing path; with -p, an existing first component.
    void checkInput(size_t index) override;
};

class RemDir : public files::HealsTrash<DirectoryCommand> {
public:
    RemDir();
    void execute() override;

protected:
    pathpolicy::Reach reach(size_t) const override { return pathpolicy::Reach::Removal; }
    // With -p the path becomes its first component (checked by the base); it must be a directory.
    void checkInput(size_t index) override;

private:
    // What is removed: the path, or with -p its first component.
    paths::NormalPath target_;
};
