#include "commands/xml/ExOperations.h"

#include "commands/files/CopyMove.h"

ExOperation::ExOperation(std::wstring name, std::wstring usageText, NameList required)
    : XmlCommand(std::move(name), std::move(usageText)), required_(std::move(required)) {}

int ExOperation::start(int argc, wchar_t** argv) {
    Params params(argc, argv);
    params.check(required_, {});
    // "--internal-package-name" is accepted by every command and ignored: it does not count.
    size_t given = params.size() - (params.has(L"--internal-package-name") ? 1 : 0);
    if (given != required_.size()) return usageError();
    take(params);
    runAsTarget();
    return 0;
}

void ExOperation::execute() { notAvailable(); }
void ExOperation::operate() { notAvailable(); }

ExPathOperation::ExPathOperation(std::wstring name, std::wstring usageText)
    : ExOperation(std::move(name), std::move(usageText), {L"--path"}) {}

void ExPathOperation::take(const Params& params) {
    path = params.value(L"--path");
    inputs = {&path};
}

ExPairOperation::ExPairOperation(std::wstring name, std::wstring usageText, std::wstring sourceName,
                                 std::wstring destinationName)
    : ExOperation(std::move(name), std::move(usageText), {sourceName, destinationName}),
      sourceName_(std::move(sourceName)), destinationName_(std::move(destinationName)) {}

void ExPairOperation::take(const Params& params) {
    source = params.value(sourceName_);
    destination = params.value(destinationName_);
    inputs = {&source, &destination};
}

void ExPairOperation::checkInput(size_t index) {
    if (index == 1) refuseSubPath(source, destination);
}

ExCopyPath::ExCopyPath()
    : ExPairOperation(L"--ex-copy",
                      L"Usage:\n--ex-copy --source={source or directory file} --destination={destination or "
                      L"directory file}\n",
                      L"--source", L"--destination") {}

ExRenamePath::ExRenamePath()
    : ExPairOperation(L"--ex-rename",
                      L"Usage:\n--ex-rename --old-name={source or directory file} --new-name={destination or "
                      L"directory file}\n",
                      L"--old-name", L"--new-name") {}

ExRemove::ExRemove() : ExPathOperation(L"--ex-remove", L"Usage:\n--ex-remove --path={file or directory path}\n") {}

ExCreateDirectory::ExCreateDirectory()
    : ExPathOperation(L"--ex-create-directory", L"Usage:\n--ex-create-directory --path={directory path}\n") {}

ExTouch::ExTouch() : ExPathOperation(L"--ex-touch", L"Usage:\n--ex-touch --path={directory path}\n") {}
