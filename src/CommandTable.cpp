#include "CommandTable.h"

#include "commands/files/CopyMove.h"
#include "commands/files/FileExist.h"
#include "commands/xml/ExOperations.h"

namespace {

// Commands whose parsing has not landed yet: usage on any call.
class Pending : public QuarnClass {
public:
    Pending(std::wstring name) : QuarnClass(std::move(name), L"") {}
    int start(int, wchar_t**) override { notAvailable(); }
};

} // namespace

CommandList createCommands() {
    CommandList list;
    auto add = [&](auto command) { list.push_back(std::move(command)); };
    add(std::make_unique<Pending>(L"cat"));
    add(std::make_unique<CopyFiles>());
    for (const wchar_t* name : {L"mv", L"touch", L"rm", L"mkdir", L"rmdir", L"file", L"list", L"cp2tempnam",
                                L"mv2tempnam"})
        add(std::make_unique<Pending>(name));
    add(std::make_unique<FileExist>());
    for (const wchar_t* name : {L"--permissions", L"realpath", L"subtree", L"size", L"unpack-archive", L"--tree",
                                L"--ex-info", L"--effective-permissions", L"--ex-copy", L"--ex-rename"})
        add(std::make_unique<Pending>(name));
    add(std::make_unique<ExRemove>());
    for (const wchar_t* name : {L"--ex-create-directory", L"--ex-touch"}) add(std::make_unique<Pending>(name));
    return list;
}
