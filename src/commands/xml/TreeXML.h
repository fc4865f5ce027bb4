// --tree: a folder or file, and optionally what lies below it, as an XML document.
#pragma once
#include "commands/QuarnClass.h"

class TreeXML : public ClassicCommand {
public:
    enum ListingKind { FoldersOnly = 0, FilesOnly = 1, FoldersAndFiles = 2 };

    TreeXML();
    int start(int argc, wchar_t** argv) override;
    void execute() override;

    std::wstring rootPath;
    bool recursive = false;
    bool withPermissions = false;
    bool withFileInfo = false;
    ListingKind listingKind = FoldersAndFiles;
};
