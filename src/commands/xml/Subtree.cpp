#include "commands/xml/Subtree.h"

XMlDirTree::XMlDirTree() : OnePathCommand(L"subtree", L"Usage:\nsubtree path\n") {}

void XMlDirTree::execute() { notAvailable(); }
