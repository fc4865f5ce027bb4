#include "commands/xml/RecordingCommand.h"

#include "commands/ErrorDocument.h"

void RecordingCommand::prepare() {
    try {
        checkInputs();
        prepareChecked();
    } catch (...) {
        xmlerror::Failure failure = xmlerror::fromCurrentException();
        errorCode = failure.number;
        errorMessage = failure.message;
    }
}
