#include "commands/QuarnClass.h"

#include "app/Exceptions.h"
#include "app/Log.h"
#include "commands/ErrorDocument.h"
#include "commands/PathPolicy.h"
#include "identity/IdentitySwitch.h"

#include <getopt.h>

QuarnClass::QuarnClass(std::wstring name, std::wstring usageText)
    : name_(std::move(name)), usage_(std::move(usageText)) {}

void QuarnClass::usage() { LogManager::instance().log(2, L"%s", usage_); }

int QuarnClass::usageError() {
    usage();
    return 1;
}

void QuarnClass::resetGetopt() {
    optind = 0; // a zero optind makes the parser start over, forgetting any earlier scan
    opterr = 0;
}

void QuarnClass::runAsTarget() { identity::switchIdentity(*this, targetSid); }

void PathCommand::checkInputs() {
    roots_ = pathpolicy::buildRootLists();
    for (size_t i = 0; i < inputs.size(); ++i) {
        *inputs[i] = pathpolicy::normalizePath(L"", *inputs[i]);
        pathpolicy::checkPathAllowed(roots_, *inputs[i]);
        if (changes(i)) pathpolicy::checkNotAboveDenied(roots_, *inputs[i]);
        checkInput(i);
    }
}

void PathCommand::checkDerivedPath(const std::wstring& path, bool changed) {
    pathpolicy::checkPathAllowed(roots_, path);
    if (changed) pathpolicy::checkNotAboveDenied(roots_, path);
}

void XmlCommand::prepare() {
    try {
        checkInputs();
    } catch (...) {
        xmlerror::reportCurrentException();
        throw RunTime::CancelPrepareException("canceled");
    }
}

void XmlCommand::execute() {
    try {
        operate();
    } catch (...) {
        xmlerror::reportCurrentException();
    }
}

void XmlCommand::reportSwitchFailure() { xmlerror::reportCurrentException(); }
