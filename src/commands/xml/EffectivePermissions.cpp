#include "commands/xml/EffectivePermissions.h"

#include "commands/Params.h"

EffectivePermissions::EffectivePermissions()
    : RecordingCommand(L"--effective-permissions",
                       L"Usage: --effective-permissions --path=filename [--with-child-objects] [--child-objects-only]\n") {
}

int EffectivePermissions::start(int argc, wchar_t** argv) {
    Params params(argc, argv);
    params.check({L"--path"}, {L"--with-child-objects", L"--child-objects-only"});
    path = params.value(L"--path");
    if (params.has(L"--with-child-objects")) childMode |= WithChildObjects;
    if (params.has(L"--child-objects-only")) childMode |= ChildObjectsOnly;
    inputs = {&path};
    runAsTarget();
    return 0;
}

void EffectivePermissions::execute() { notAvailable(); }
