// The extended operations: --ex-copy, --ex-rename, --ex-remove, --ex-create-directory, --ex-touch.
#pragma once
#include "commands/Params.h"
#include "commands/QuarnClass.h"
#include "commands/files/TrashHealing.h"

// The named-parameter handling the five share: exactly the required names (no optional ones),
// else the parameter failure or the usage text.
class ExOperation : public XmlCommand {
public:
    ExOperation(std::wstring name, std::wstring usageText, NameList required);
    int start(int argc, wchar_t** argv) final;

protected:
    // Stores the parameter values and fills `inputs`.
    virtual void take(const Params& params) = 0;

private:
    NameList required_;
};

// --ex-remove, --ex-create-directory, --ex-touch: one "--path".
class ExPathOperation : public ExOperation {
public:
    ExPathOperation(std::wstring name, std::wstring usageText);

    std::wstring path;
    std::wstring givenPath; // as typed, for messages that name it so

protected:
    void take(const Params& params) override;
};

// --ex-copy and --ex-rename: a source and a destination that must not lie inside the source.
class ExPairOperation : public files::HealsTrash<ExOperation> {
public:
    ExPairOperation(std::wstring name, std::wstring usageText, std::wstring sourceName, std::wstring destinationName);

    std::wstring source;
    std::wstring destination;

protected:
    void take(const Params& params) override;
    void checkInput(size_t index) override;

private:
    std::wstring sourceName_;
    std::wstring destinationName_;
};

class ExCopyPath : public ExPairOperation {
public:
    ExCopyPath();

protected:
    void operate() override;
    // The copy reads all of one, merges into the other.
    pathpolicy::Reach reach(size_t) const override { return pathpolicy::Reach::WholeTree; }
};

class ExRenamePath : public ExPairOperation {
public:
    ExRenamePath();

protected:
    void operate() override;
    pathpolicy::Reach reach(size_t index) const override {
        return index == 0 ? pathpolicy::Reach::Removal : pathpolicy::Reach::WholeTree;
    }
};

class ExRemove : public files::HealsTrash<ExPathOperation> {
public:
    ExRemove();

protected:
    void operate() override;
    pathpolicy::Reach reach(size_t) const override { return pathpolicy::Reach::Removal; }
};

class ExCreateDirectory : public ExPathOperation {
public:
    ExCreateDirectory();

protected:
    void operate() override;
};

class ExTouch : public ExPathOperation {
public:
    ExTouch();

protected:
    void operate() override;
};
