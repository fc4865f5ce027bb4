#include "commands/files/PathQueries.h"

#include "app/Exceptions.h"

ListFiles::ListFiles() : PositionalCommand(L"list", L"Usage:\nlist (dirs | files | both) path\n", 2, 2) {}

void ListFiles::takeArguments(const std::vector<std::wstring>& arguments) {
    const std::wstring& m = arguments[0];
    if (m == L"dirs")
        mode = Dirs;
    else if (m == L"files")
        mode = Files;
    else if (m == L"both")
        mode = Both;
    else
        raiseRunTimeError(0, L"The mode (%s) is invalid", m);
    path = arguments[1];
    inputs = {&path};
}

void ListFiles::execute() { notAvailable(); }

FileSize::FileSize() : OnePathCommand(L"size", L"Usage:\nsize path\n") {}

void FileSize::execute() { notAvailable(); }

RealPath::RealPath() : OnePathCommand(L"realpath", L"Usage:\nrealpath path\n") {}

void RealPath::execute() { notAvailable(); }

TempNameCommand::TempNameCommand(std::wstring name, std::wstring usageText)
    : PositionalCommand(std::move(name), std::move(usageText), 2, 3) {}

void TempNameCommand::takeArguments(const std::vector<std::wstring>& arguments) {
    source = arguments[0];
    directory = arguments[1];
    prefix = arguments.size() > 2 ? arguments[2] : L"";
    inputs = {&source, &directory};
}

Cp2TempName::Cp2TempName() : TempNameCommand(L"cp2tempnam", L"Usage:\ncp2tempnam source path [prefix]\n") {}

void Cp2TempName::execute() { notAvailable(); }

Mv2TempName::Mv2TempName() : TempNameCommand(L"mv2tempnam", L"Usage:\nmv2tempnam source path [prefix]\n") {}

void Mv2TempName::execute() { notAvailable(); }
