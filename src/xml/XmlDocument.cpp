#include "xml/XmlDocument.h"

#include "app/Exceptions.h"
#include "platform/Handle.h"
#include "platform/Platform.h"

#include <cstdint>
#include <memory>

namespace xml {
namespace {

void setProperty(IXMLDOMDocument2* document, const wchar_t* name, VARIANT value) {
    com::check(document->setProperty(com::Bstr(name).get(), value));
}

void setOptionalProperty(IXMLDOMDocument2* document, const wchar_t* name, VARIANT value) {
    HRESULT hr = document->setProperty(com::Bstr(name).get(), value);
    if (hr != E_FAIL) com::check(hr);
}

[[noreturn]] void wrongXml(const std::wstring& shown) { throwRunTimeError(0, L"Wrong XML " + shown); }

void checkSize(uint64_t bytes, const std::wstring& shown) {
    if (bytes > XmlDocument::kMaxXmlSizeKilobytes * 1024ull)
        throwRunTimeError(0, L"Wrong XML " + shown + L" (larger than " +
                                 std::to_wstring(XmlDocument::kMaxXmlSizeKilobytes) + L" KB)");
}

std::wstring nameOf(IXMLDOMNode* node) {
    com::Bstr name;
    com::check(node->get_nodeName(name.receive()));
    return name.str();
}

XmlElement elementOf(IXMLDOMNode* node) {
    com::Ptr<IXMLDOMElement> element;
    com::check(node->QueryInterface(__uuidof(IXMLDOMElement), element.receiveVoid()));
    return XmlElement(element);
}

VARIANT boolean(bool value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BOOL;
    v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

VARIANT integer(long value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

} // namespace

void XmlElement::set(const std::wstring& name, const std::wstring& value) {
    com::Variant v(value);
    com::check(element_->setAttribute(com::Bstr(name).get(), v.get()));
}

std::optional<std::wstring> XmlElement::attribute(const std::wstring& name) const {
    com::Variant v;
    HRESULT hr = element_->getAttribute(com::Bstr(name).get(), &v.get());
    com::check(hr);
    if (hr != S_OK || v.get().vt != VT_BSTR) return std::nullopt;
    BSTR b = v.get().bstrVal;
    return b ? std::wstring(b, SysStringLen(b)) : std::wstring();
}

XmlElement XmlElement::append(const std::wstring& name) {
    com::Ptr<IXMLDOMDocument> owner;
    com::check(element_->get_ownerDocument(owner.receive()));
    com::Ptr<IXMLDOMElement> created;
    com::check(owner->createElement(com::Bstr(name).get(), created.receive()));
    com::Ptr<IXMLDOMNode> added;
    com::check(element_->appendChild(created.get(), added.receive()));
    return XmlElement(created);
}

std::wstring XmlElement::name() const { return nameOf(element_.get()); }

std::vector<XmlElement> XmlElement::children(const std::wstring& name) const {
    std::vector<XmlElement> found;
    com::forEachElement(element_.get(), [&](IXMLDOMNode* node) {
        if (nameOf(node) != name) return true;
        if (found.size() == XmlDocument::kMaxEntries)
            throwRunTimeError(0, L"Too many " + name + L" elements in the document");
        found.push_back(elementOf(node));
        return true;
    });
    return found;
}

std::optional<XmlElement> XmlElement::child(const std::wstring& name) const {
    std::optional<XmlElement> found;
    com::forEachElement(element_.get(), [&](IXMLDOMNode* node) {
        if (nameOf(node) == name) found = elementOf(node);
        return !found;
    });
    return found;
}

XmlDocument::XmlDocument() {
    HRESULT hr = com::createInstance(L"Msxml2.DOMDocument", document_);
    if (FAILED(hr)) throwRunTimeError(static_cast<DWORD>(hr), L"Unable to create Msxml2.DOMDocument");
    com::check(document_->put_async(VARIANT_FALSE));
    com::check(document_->put_resolveExternals(VARIANT_FALSE));
    com::check(document_->put_validateOnParse(VARIANT_FALSE));
    setProperty(document_.get(), L"ProhibitDTD", boolean(true));
    // Parsers before MSXML 3.0 SP4 (and Wine's) refuse these two with E_FAIL; the size is also
    // checked before loading, and the readers never look deeper than three levels.
    setOptionalProperty(document_.get(), L"MaxElementDepth", integer(kMaxElementDepth));
    setOptionalProperty(document_.get(), L"MaxXMLSize", integer(kMaxXmlSizeKilobytes));
}

void XmlDocument::requireRoot(const std::wstring& shown) const {
    com::Ptr<IXMLDOMElement> root;
    HRESULT hr = document_->get_documentElement(root.receive());
    if (FAILED(hr) || !root) wrongXml(shown);
}

void XmlDocument::loadText(const std::wstring& text, const std::wstring& shown) {
    checkSize(text.size() * sizeof(wchar_t), shown);
    VARIANT_BOOL loaded = VARIANT_FALSE;
    document_->loadXML(com::Bstr(text).get(), &loaded);
    requireRoot(shown);
}

void XmlDocument::loadFile(const paths::NormalPath& path, const std::wstring& shown) {
    // The file is opened as a file, by the name the policy checked, and its bytes go to the
    // parser: given the name, MSXML's loader would take it for a URL, decode %XX escapes and
    // follow "file:" and UNC forms after the policy had judged the literal text.
    platform::FileHandle file;
    if (platform::current().createFile(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, file.receive()))
        wrongXml(shown);
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) raiseRunTimeError(GetLastError(), L"Unable to read file (%s)", shown);
    checkSize(uint64_t(size.QuadPart), shown);
    // Bytes rather than text, so that the parser's own encoding detection (byte-order marks, the
    // declaration's encoding) still decides how they read.
    com::ByteArray bytes(static_cast<ULONG>(size.QuadPart));
    DWORD read = 0;
    if (bytes.size() && (!ReadFile(file.get(), bytes.data(), bytes.size(), &read, nullptr) || read != bytes.size()))
        raiseRunTimeError(GetLastError(), L"Unable to read file (%s)", shown);
    VARIANT_BOOL loaded = VARIANT_FALSE;
    document_->load(bytes.get(), &loaded);
    requireRoot(shown);
}

XmlElement XmlDocument::createRoot(const std::wstring& name) {
    loadText(L"<" + name + L"/>", name);
    return root();
}

XmlElement XmlDocument::root() const {
    com::Ptr<IXMLDOMElement> root;
    com::check(document_->get_documentElement(root.receive()));
    return XmlElement(root);
}

XmlElement XmlDocument::root(const std::wstring& name, const std::wstring& shown) const {
    XmlElement element = root();
    if (element.name() != name) wrongXml(shown);
    return element;
}

std::wstring XmlDocument::xml() const {
    com::Bstr text;
    com::check(document_->get_xml(text.receive()));
    return text.str();
}

bool XmlDocument::resolveExternals() const {
    VARIANT_BOOL value = VARIANT_TRUE;
    com::check(document_->get_resolveExternals(&value));
    return value != VARIANT_FALSE;
}

bool XmlDocument::validateOnParse() const {
    VARIANT_BOOL value = VARIANT_TRUE;
    com::check(document_->get_validateOnParse(&value));
    return value != VARIANT_FALSE;
}

std::optional<VARIANT> XmlDocument::property(const std::wstring& name) const {
    VARIANT value;
    VariantInit(&value);
    if (FAILED(document_->getProperty(com::Bstr(name).get(), &value))) return std::nullopt;
    return value;
}

} // namespace xml
