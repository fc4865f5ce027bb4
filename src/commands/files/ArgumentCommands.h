// The two ways the classic commands read their arguments: getopt options over the narrow
// arguments, or a fixed range of positional arguments.
#pragma once
#include "commands/QuarnClass.h"

#include <getopt.h>

#include <string>
#include <vector>

// The arguments getopt left after the options, in their narrow form.
struct Operands {
    std::vector<std::string> narrow;
    // The option scan ended at an explicit "--" just before the first operand.
    bool afterDoubleDash = false;

    size_t size() const { return narrow.size(); }
    std::wstring wide(size_t index) const;
};

// A classic command whose options are read with getopt_long (or with getopt when it has no long
// options). The option scan, the usage error and the hand-over to prepare/execute are done here;
// the command only says what each option and the operands mean.
class GetoptCommand : public ClassicCommand {
public:
    GetoptCommand(std::wstring name, std::wstring usageText, const char* shortOptions,
                  const option* longOptions = nullptr);
    int start(int argc, wchar_t** argv) final;

protected:
    // One option character and its argument (null when it takes none); false is a usage error.
    // Unknown options and missing option arguments never get here.
    virtual bool takeOption(int c, const char* argument) = 0;
    // The operands; false is a usage error. Fills `inputs`.
    virtual bool takeOperands(const Operands& operands) = 0;
    // For commands of one path: true when there is exactly one operand from `first` on; it is
    // stored in `path` and becomes the only input.
    bool takeSinglePath(const Operands& operands, std::wstring& path, size_t first = 0);

private:
    const char* shortOptions_;
    const option* longOptions_;
};

// A command of positional arguments only: between `fewest` and `most` of them, else usage.
template <class Base> class PositionalCommand : public Base {
public:
    PositionalCommand(std::wstring name, std::wstring usageText, int fewest, int most)
        : Base(std::move(name), std::move(usageText)), fewest_(fewest), most_(most) {}

    int start(int argc, wchar_t** argv) final {
        if (argc < fewest_ || argc > most_) return this->usageError();
        takeArguments(std::vector<std::wstring>(argv, argv + argc));
        this->runAsTarget();
        return 0;
    }

protected:
    // Stores the arguments (their count already checked) and fills `inputs`.
    virtual void takeArguments(const std::vector<std::wstring>& arguments) = 0;

private:
    int fewest_;
    int most_;
};

// realpath, size and subtree: one path, kept without trailing "\" and "\.".
class OnePathCommand : public PositionalCommand<ClassicCommand> {
public:
    OnePathCommand(std::wstring name, std::wstring usageText);

    std::wstring path;

protected:
    void takeArguments(const std::vector<std::wstring>& arguments) override;
};
