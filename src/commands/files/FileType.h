// file: the kind of a path.
#pragma once
#include "commands/files/ArgumentCommands.h"

class File : public GetoptCommand {
public:
    File();
    void execute() override;

    std::wstring path;
    std::wstring givenPath; // as typed: the answer names it so

protected:
    bool takeOption(int c, const char* argument) override;
    bool takeOperands(const Operands& operands) override;
};
