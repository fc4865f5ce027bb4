#include "CommandTable.h"

#include "commands/PermissionsCommand.h"
#include "commands/files/CatTouch.h"
#include "commands/files/CopyMove.h"
#include "commands/files/FileExist.h"
#include "commands/files/FileType.h"
#include "commands/files/PathQueries.h"
#include "commands/files/Remove.h"
#include "commands/files/UnpackArchive.h"
#include "commands/xml/EffectivePermissions.h"
#include "commands/xml/ExOperations.h"
#include "commands/xml/ExtendedFileInfo.h"
#include "commands/xml/Subtree.h"
#include "commands/xml/TreeXML.h"

CommandList createCommands() {
    CommandList list;
    auto add = [&](auto command) { list.push_back(std::move(command)); };
    add(std::make_unique<CatFiles>());
    add(std::make_unique<CopyFiles>());
    add(std::make_unique<MoveFiles>());
    add(std::make_unique<TouchFiles>());
    add(std::make_unique<RemoveFiles>());
    add(std::make_unique<MkDir>());
    add(std::make_unique<RemDir>());
    add(std::make_unique<File>());
    add(std::make_unique<ListFiles>());
    add(std::make_unique<Cp2TempName>());
    add(std::make_unique<Mv2TempName>());
    add(std::make_unique<FileExist>());
    add(std::make_unique<Permissions>());
    add(std::make_unique<RealPath>());
    add(std::make_unique<XMlDirTree>());
    add(std::make_unique<FileSize>());
    add(std::make_unique<UnpackArchive>());
    add(std::make_unique<TreeXML>());
    add(std::make_unique<ExtendedFileInfo>());
    add(std::make_unique<EffectivePermissions>());
    add(std::make_unique<ExCopyPath>());
    add(std::make_unique<ExRenamePath>());
    add(std::make_unique<ExRemove>());
    add(std::make_unique<ExCreateDirectory>());
    add(std::make_unique<ExTouch>());
    return list;
}
