// The base of the 25 command objects and the two prepare skeletons: classic commands report a
// refused input as a plain message (exit 1), XML commands as an XmlError document (exit 0).
#pragma once
#include "app/RunAsUser.h"
#include "commands/PathPolicy.h"
#include "security/Sid.h"

#include <functional>
#include <string>
#include <vector>

class QuarnClass : public RunTime::RunAsUser {
public:
    QuarnClass(std::wstring name, std::wstring usageText);

    int go(int, wchar_t**) override { return 0; }
    void usage() override;
    virtual std::wstring name() const { return name_; }

    // The target account (empty until the dispatcher sets it).
    security::Sid targetSid;

protected:
    // prepare, the identity switch, execute; a CancelPrepareException from prepare ends quietly.
    void runAsTarget();
    // Prints the usage text and gives the exit code of a usage error.
    int usageError();
    // Makes getopt start its scan afresh for this command.
    static void resetGetopt();

private:
    std::wstring name_;
    std::wstring usage_;
};

// The input paths of a command in command-line order (for cp and mv: source, then destination),
// as values the parser stores; the skeletons check each against the allowed-path policy, and the
// operation then acts on the checked forms only.
class PathCommand : public QuarnClass {
public:
    using QuarnClass::QuarnClass;

protected:
    std::vector<std::wstring> inputs;
    // Checks every input in order; after each, the family's own check.
    void checkInputs();
    virtual void checkInput(size_t /*index*/) {}
    // What the operation does to the input (pathpolicy::Reach): a command that removes, moves or
    // replaces an input says so, and the policy refuses the roots that lie within it.
    virtual pathpolicy::Reach reach(size_t /*index*/) const { return pathpolicy::Reach::Within; }
    // Input `index` as checked (valid once checkInputs has passed it).
    const paths::CheckedPath& checked(size_t index) const { return checked_.at(index); }
    const paths::NormalPath& normal(size_t index) const { return checked(index).normal; }
    // Checks a further path the command derived from its inputs (inside checkInput) against the
    // same roots.
    paths::CheckedPath checkDerivedPath(const std::wstring& path, pathpolicy::Reach reach);
    // The check of the places a copied junction may lead to, for the tree helpers: the same roots,
    // judged as a tree the copy writes into (a link to the folders above the denied root would reach it).
    std::function<void(const std::wstring&)> linkTargetCheck();

private:
    pathpolicy::RootLists roots_;
    std::vector<paths::CheckedPath> checked_;
};

// Classic commands: every failure reaches the run frame as a plain message.
class ClassicCommand : public PathCommand {
public:
    using PathCommand::PathCommand;
    void prepare() override { checkInputs(); }
};

// XML commands: failures of prepare and of the operation are printed as XmlError documents.
class XmlCommand : public PathCommand {
public:
    using PathCommand::PathCommand;
    void prepare() override;
    void execute() override;
    // The failure becomes the command's error document.
    void reportSwitchFailure() override;

protected:
    virtual void operate() = 0;
};
