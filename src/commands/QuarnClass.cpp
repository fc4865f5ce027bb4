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
    checked_.clear();
    for (size_t i = 0; i < inputs.size(); ++i) {
        checked_.push_back(checkDerivedPath(inputs[i], reach(i)));
        checkInput(i);
    }
}

paths::CheckedPath PathCommand::checkDerivedPath(const std::wstring& path, pathpolicy::Reach reach) {
    paths::CheckedPath checked = pathpolicy::checkPathAllowed(roots_, path);
    pathpolicy::checkReach(roots_, checked, reach);
    return checked;
}

std::function<void(const std::wstring&)> PathCommand::linkTargetCheck() {
    return [this](const std::wstring& target) { checkDerivedPath(target, pathpolicy::Reach::WholeTree); };
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
