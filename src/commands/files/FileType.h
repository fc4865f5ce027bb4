// file: the kind of a path.
#pragma once
#include "paths/NormalPath.h"
#include "commands/files/ArgumentCommands.h"

namespace filetype {

// The three fields of a detection: encoding (may be empty), kind, and the extension shown with
// text, data and database answers (empty otherwise).
struct Detection {
    std::wstring encoding;
    std::wstring kind;
    std::wstring extension;
};

// The kind of the path: a folder, a program the system recognises, or the content tests.
Detection detect(const paths::NormalPath& path);
// The same for a path known to be no folder (a walk's listing says so): no attribute query.
Detection detectFile(const paths::NormalPath& path);

} // namespace filetype

class File : public GetoptCommand {
public:
    File();
    void execute() override;

    std::wstring path;
    std::wstring givenPath; // as typed: the answer names it so

protected:
    bool takeOption(int c, const char* argument) override;
    bool takeOperands(const Operands& operands) override;
};
