// cp and mv.
#pragma once
#include "commands/files/ArgumentCommands.h"
#include "commands/files/TrashHealing.h"

// True when the components of `destination` continue those of `source`: the destination lies
// inside the source. Both lose a leading "\\?\" or "\??\", are split at "/" and "\", and their
// components are compared without regard to case.
bool isSubPath(const std::wstring& source, const std::wstring& destination);
// Raises the run-time error 161 "Unable to copy from %s to %s. The destination is sub path of the
// source path." when the destination lies inside the source, as given or in the long forms the
// policy compares (a short-name spelling of the source is the same place). Equal paths pass.
void refuseSubPath(const paths::CheckedPath& source, const paths::CheckedPath& destination);

// The pair of paths of cp and mv and their shared checks: both paths pass the policy, then the
// destination must not lie inside the source.
class CopyMoveCommand : public files::HealsTrash<GetoptCommand> {
public:
    using HealsTrash::HealsTrash;

    bool force = false; // accepted, changes nothing
    std::wstring source;
    std::wstring destination;

protected:
    bool takeOperands(const Operands& operands) override;
    void checkInput(size_t index) override;
};

class CopyFiles : public CopyMoveCommand {
public:
    CopyFiles();
    void execute() override;

    bool recursive = false;
    bool link = false;

protected:
    bool takeOption(int c, const char* argument) override;
    // A tree copy reads all of one, merges into the other.
    pathpolicy::Reach reach(size_t) const override { return pathpolicy::Reach::WholeTree; }
};

class MoveFiles : public CopyMoveCommand {
public:
    MoveFiles();
    void execute() override;

protected:
    bool takeOption(int c, const char* argument) override;
    pathpolicy::Reach reach(size_t index) const override {
        return index == 0 ? pathpolicy::Reach::Removal : pathpolicy::Reach::WholeTree;
    }
};
