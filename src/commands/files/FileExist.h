// file_exists: prints 0 when the path exists and 1 when it does not; failures as XmlError.
#pragma once
#include "commands/QuarnClass.h"

class FileExist : public XmlCommand {
public:
    FileExist();
    int start(int argc, wchar_t** argv) override;

protected:
    void operate() override;

private:
    std::wstring path_;
};
