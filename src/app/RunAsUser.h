// The run frame every runnable object executes in: the application object and each command.
#pragma once
#include <string>
#include <vector>

namespace RunTime {

class RunAsUser {
public:
    virtual ~RunAsUser() = default;

    // Runs the object: argv[0] is dropped (the program, or the command name), the rest goes to
    // `needsUsage` and `start`. A failure that reaches the frame is logged once at level 3 and
    // gives 1.
    int run(int argc, wchar_t** argv, bool runAsFlag);

    virtual int go(int argc, wchar_t** argv);
    virtual int start(int argc, wchar_t** argv) = 0;
    virtual void prepare() {}
    virtual void execute() {}
    virtual void usage() {}
    // Called while the failure of an unconfirmed identity switch is being handled, instead of
    // `execute`: by default the failure goes on to the run frame (a message, exit 1).
    virtual void reportSwitchFailure() { throw; }
    virtual bool needsUsage(int argc, wchar_t** argv);

    bool runAsFlag() const { return runAsFlag_; }
    void setRunAsFlag(bool flag) { runAsFlag_ = flag; }

    // The account name and domain of the identity the work runs as (filled by the switch).
    std::wstring targetName;
    std::wstring targetDomain;

protected:
    // Set by objects that parse options with getopt: the frame then keeps narrow (ANSI) copies
    // of all arguments, argv[0] included, for the option parser.
    bool wantsNarrowArguments = false;
    int narrowCount() const { return static_cast<int>(narrowPointers_.size()) - 1; }
    char** narrowArguments() { return narrowPointers_.data(); }

private:
    void makeNarrowArguments(int argc, wchar_t** argv);

    bool runAsFlag_ = false;
    std::vector<std::string> narrow_;
    std::vector<char*> narrowPointers_;
};

} // namespace RunTime
