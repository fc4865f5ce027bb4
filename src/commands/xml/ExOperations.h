// The extended operations: --ex-copy, --ex-rename, --ex-remove, --ex-create-directory, --ex-touch.
#pragma once
#include "commands/QuarnClass.h"

class ExRemove : public XmlCommand {
public:
    ExRemove();
    int start(int argc, wchar_t** argv) override;

protected:
    void operate() override;

private:
    std::wstring path_;
};
