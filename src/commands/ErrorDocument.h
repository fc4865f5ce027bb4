// Error reporting of the XML commands: the XmlError document, the error attributes, and the
// mapping of a caught exception to an error number and message.
#pragma once
#include <string>

#include "xml/Msxml.h"

namespace xmlerror {

// 1 path_is_invalid ... 8 directory_not_empty; 9 and any other number is "unknown".
enum Code {
    None = 0,
    PathIsInvalid = 1,
    PathIsNotAllowed = 2,
    AccessIsDenied = 3,
    PathNotFound = 4,
    PathAlreadyExists = 5,
    SharingViolation = 6,
    NotSameDevice = 7,
    DirectoryNotEmpty = 8,
    Unknown = 9,
};

struct Failure {
    int number = None;
    std::wstring message;
};

// Maps the exception being handled (call inside a catch block). Exceptions that are neither
// std::exception nor vexception are rethrown.
Failure fromCurrentException();

// The text of "<XmlError/>" carrying the three attributes for a non-zero number.
std::wstring errorDocument(int number, const std::wstring& message);

// Sets Error, ErrorCode and (after reporting the message to the event log) ErrorDetails.
void setErrorAttributes(IXMLDOMElement* element, int number, const std::wstring& message);

// The attribute values for a number: Error, then ErrorCode (for writers that build their own
// attribute lists). Nothing for 0.
struct Attributes {
    std::wstring error;
    std::wstring errorCode;
};
Attributes attributesFor(int number, const std::wstring& message);

// Maps the current exception, prints its error document through the log (level 2, "%s").
void reportCurrentException();

} // namespace xmlerror
