// --permissions: lists the access rights of a file or folder, or sets them from a document.
#pragma once
#include "commands/QuarnClass.h"

class Permissions : public ClassicCommand {
public:
    // The mode is chosen by the first argument.
    enum Mode {
        Set = 1,
        SetAdvanced = 2,
        SetCommon = 3,
        ConvertCommon = 4,
        List = 5,
        ListCommon = 6,
        ListAdvanced = 7,
    };

    Permissions();
    int start(int argc, wchar_t** argv) override;
    // The listing modes need a path: "Unable to prepare get permission" without one.
    void prepare() override;
    void execute() override;

    static bool isListing(Mode mode) { return mode >= List; }

    Mode mode = List;
    std::wstring file; // "--file"; may be empty in the listing modes
    std::wstring xml;  // "--xml": the document itself for --set, a file name otherwise
    bool inheritFromParent = false;
    bool replaceOnChildren = false;

protected:
    // Access entries set on a folder flow down to everything below it, the denied root included.
    bool changes(size_t) const override { return !isListing(mode); }
};
