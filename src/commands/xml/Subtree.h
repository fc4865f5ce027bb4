// subtree: the folders below a directory that the panel may offer, as an XML document.
#pragma once
#include "commands/files/ArgumentCommands.h"

class XMlDirTree : public OnePathCommand {
public:
    XMlDirTree();
    void execute() override;
};
