// The application object: takes the account and command names and dispatches to the command.
#pragma once
#include "app/RunAsUser.h"
#include "commands/QuarnClass.h"

#include <functional>
#include <memory>
#include <vector>

using CommandList = std::vector<std::unique_ptr<QuarnClass>>;
using CommandFactory = std::function<CommandList()>;

class Quarn : public RunTime::RunAsUser {
public:
    // The factory creates one object of every command class, in dispatch order.
    explicit Quarn(CommandFactory factory) : factory_(std::move(factory)) {}

    int go(int argc, wchar_t** argv) override;
    int start(int argc, wchar_t** argv) override;
    void usage() override;

    static const wchar_t* const kUsage;

private:
    CommandFactory factory_;
    CommandList commands_;
    std::wstring account_;
    std::wstring command_;
};
