#include "commands/xml/ExOperations.h"

#include "commands/Params.h"

ExRemove::ExRemove() : XmlCommand(L"--ex-remove", L"Usage:\n--ex-remove --path={file or directory path}\n") {}

int ExRemove::start(int argc, wchar_t** argv) {
    Params params(argc, argv);
    params.check({L"--path"}, {});
    if (params.size() != 1) return usageError();
    path_ = params.value(L"--path");
    inputs = {&path_};
    runAsTarget();
    return 0;
}

void ExRemove::operate() { notAvailable(); }
