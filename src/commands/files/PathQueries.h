// list, size, realpath, cp2tempnam, mv2tempnam.
#pragma once
#include "commands/files/ArgumentCommands.h"

class ListFiles : public PositionalCommand<ClassicCommand> {
public:
    enum Mode { Dirs = 0, Files = 1, Both = 2 };

    ListFiles();
    void execute() override;

    Mode mode = Both;
    std::wstring path;

protected:
    // Raises "The mode (%s) is invalid" for a mode other than dirs, files or both.
    void takeArguments(const std::vector<std::wstring>& arguments) override;
};

class FileSize : public OnePathCommand {
public:
    FileSize();
    void execute() override;
};

class RealPath : public OnePathCommand {
public:
    RealPath();
    void execute() override;
};

// cp2tempnam and mv2tempnam: a source, the directory that receives it, an optional prefix.
class TempNameCommand : public PositionalCommand<ClassicCommand> {
public:
    TempNameCommand(std::wstring name, std::wstring usageText);

    std::wstring source;
    std::wstring directory;
    std::wstring prefix; // not a path: never checked

protected:
    void takeArguments(const std::vector<std::wstring>& arguments) override;
};

class Cp2TempName : public TempNameCommand {
public:
    Cp2TempName();
    void execute() override;
};

class Mv2TempName : public TempNameCommand {
public:
    Mv2TempName();
    void execute() override;

protected:
    pathpolicy::Reach reach(size_t index) const override {
        return index == 0 ? pathpolicy::Reach::Removal : pathpolicy::Reach::Within;
    }
};
