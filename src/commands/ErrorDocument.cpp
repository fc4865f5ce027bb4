#include "commands/ErrorDocument.h"

#include "app/DebugFlag.h"
#include "app/Exceptions.h"
#include "app/Log.h"
#include "app/Text.h"

#include <comdef.h>

namespace xmlerror {
namespace {

// Where making the error document fails, as the panel's logs have always shown it.
constexpr const char* kDocumentOrigin = "resultXmlError";
constexpr int kCreateLine = 128;
constexpr int kLoadLine = 130;

struct Entry {
    const wchar_t* code;
    const wchar_t* text;
};

constexpr Entry kTable[] = {
    {L"", L""},
    {L"path_is_invalid", L"Path is invalid."},
    {L"path_is_not_allowed", L"Path is not allowed."},
    {L"access_is_denied", L"Access is denied."},
    {L"path_not_found", L"Path not found."},
    {L"path_already_exists", L"Path already exists."},
    {L"sharing_violation", L"Sharing violation."},
    {L"not_same_device", L"Not same device."},
    {L"directory_not_empty", L"Directory not empty."},
};

// The error documents' number for each kind of failure.
int numberOf(FailureKind kind) {
    switch (kind) {
    case FailureKind::InvalidPath:
        return PathIsInvalid;
    case FailureKind::AccessDenied:
        return AccessIsDenied;
    case FailureKind::PathNotFound:
        return PathNotFound;
    case FailureKind::AlreadyExists:
        return PathAlreadyExists;
    case FailureKind::SharingViolation:
        return SharingViolation;
    case FailureKind::NotSameDevice:
        return NotSameDevice;
    case FailureKind::DirectoryNotEmpty:
        return DirectoryNotEmpty;
    case FailureKind::Other:
        break;
    }
    return Unknown;
}

} // namespace

Failure fromCurrentException() {
    try {
        throw;
    } catch (const RunTime::NotAllowedException& e) {
        return {PathIsNotAllowed, e.message()};
    } catch (const RunTime::Error& e) {
        return {numberOf(runTimeFailureKind(e.code())), text::fromAnsi(e.what())};
    } catch (const vosexception& e) {
        return {numberOf(osFailureKind(e.code())), e.text(debugflag::query())};
    } catch (const std::exception& e) {
        return {Unknown, text::fromAnsi(e.what())};
    } catch (const vexception& e) {
        return {Unknown, e.text(debugflag::query())};
    }
}

Attributes attributesFor(int number, const std::wstring& message) {
    if (number >= PathIsInvalid && number <= DirectoryNotEmpty) return {kTable[number].text, kTable[number].code};
    if (number != None) return {message, L"unknown"};
    return {};
}

void setErrorAttributes(IXMLDOMElement* element, int number, const std::wstring& message) {
    if (number == None) return;
    Attributes a = attributesFor(number, message);
    com::Variant error(a.error), code(a.errorCode), details(message);
    com::check(element->setAttribute(com::Bstr(L"Error").get(), error.get()));
    com::check(element->setAttribute(com::Bstr(L"ErrorCode").get(), code.get()));
    LogManager::instance().reportEvent(3, message);
    com::check(element->setAttribute(com::Bstr(L"ErrorDetails").get(), details.get()));
}

std::wstring errorDocument(int number, const std::wstring& message) {
    com::Ptr<IXMLDOMDocument> document;
    HRESULT hr = com::createInstance(L"Msxml2.DOMDocument", document);
    if (FAILED(hr))
        raisePlainError(L"Unable to create Msxml2.DOMDocument", {L"", kDocumentOrigin, kCreateLine});
    VARIANT_BOOL loaded = VARIANT_FALSE;
    hr = document->loadXML(com::Bstr(L"<XmlError/>").get(), &loaded);
    if (FAILED(hr) || loaded != VARIANT_TRUE)
        raisePlainError(L"Unable to loadXML <XmlError/>", {L"", kDocumentOrigin, kLoadLine});
    com::Ptr<IXMLDOMElement> root;
    com::check(document->get_documentElement(root.receive()));
    setErrorAttributes(root.get(), number, message);
    com::Bstr xml;
    com::check(document->get_xml(xml.receive()));
    return xml.str();
}

void reportCurrentException() {
    Failure f = fromCurrentException();
    LogManager::instance().log(2, L"%s", errorDocument(f.number, f.message));
}

} // namespace xmlerror
