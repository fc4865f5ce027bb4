// cp and mv.
#pragma once
#include "commands/QuarnClass.h"

class CopyFiles : public ClassicCommand {
public:
    CopyFiles();
    int start(int argc, wchar_t** argv) override;
    void execute() override;

    bool recursive = false;
    bool force = false;
    bool link = false;
    std::wstring source;
    std::wstring destination;
};
