// --ex-info and --effective-permissions: a failure of prepare does not end the command; its code
// and message are kept and reported in the command's own document.
#pragma once
#include "commands/QuarnClass.h"

class RecordingCommand : public PathCommand {
public:
    using PathCommand::PathCommand;
    // Checks the inputs, then `prepareChecked`; the first failure is recorded, not rethrown.
    void prepare() override;

    int errorCode = 0; // the error document's numbering; 0 when nothing failed
    std::wstring errorMessage;

protected:
    // What the command computes in its own context once its paths passed.
    virtual void prepareChecked() {}
};
