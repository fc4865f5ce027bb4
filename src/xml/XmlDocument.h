// The one Msxml2.DOMDocument of the program, for the documents it reads (permission documents)
// and the ones it builds (listings, path information, subtrees), and the element helpers that
// read and write them. Every document is made with external resolution, DTDs and validation off
// and with limits on depth and size: the documents read come from callers, and the program runs
// with administrative rights (MSXML 3.0 would otherwise fetch external entities and process DTDs).
#pragma once
#include "paths/NormalPath.h"
#include "xml/Msxml.h"

#include <optional>
#include <string>
#include <vector>

namespace xml {

class XmlElement {
public:
    explicit XmlElement(com::Ptr<IXMLDOMElement> element) : element_(std::move(element)) {}

    void set(const std::wstring& name, const std::wstring& value);
    // The attribute's value; nothing when it is absent.
    std::optional<std::wstring> attribute(const std::wstring& name) const;
    // The attribute's value, or the empty string.
    std::wstring text(const std::wstring& name) const { return attribute(name).value_or(L""); }
    XmlElement append(const std::wstring& name);
    // The element children with the name, in document order.
    std::vector<XmlElement> children(const std::wstring& name) const;
    std::optional<XmlElement> child(const std::wstring& name) const;
    std::wstring name() const;
    IXMLDOMElement* get() const { return element_.get(); }

private:
    com::Ptr<IXMLDOMElement> element_;
};

class XmlDocument {
public:
    // Elements the readers take from one container, at most: more than any ACL can hold.
    static constexpr size_t kMaxEntries = 2000;
    static constexpr long kMaxElementDepth = 16;
    static constexpr long kMaxXmlSizeKilobytes = 4096;

    // A new hardened document ("Unable to create Msxml2.DOMDocument").
    XmlDocument();

    // Loads the text or the file; "Wrong XML %s" with `shown` when the result has no root element
    // (a parse failure included).
    void loadText(const std::wstring& text, const std::wstring& shown);
    // The file is read by its checked path (never handed to the parser as a name).
    void loadFile(const paths::NormalPath& path, const std::wstring& shown);
    // An empty root element of that name.
    XmlElement createRoot(const std::wstring& name);

    XmlElement root() const;
    // The root of a caller's document, which must be the element `name`: "Wrong XML %s" with
    // `shown` otherwise (an HTML page or a document of another vocabulary is not read as one).
    XmlElement root(const std::wstring& name, const std::wstring& shown) const;
    std::wstring xml() const;

    // What the loader was set to, read back from the document.
    bool resolveExternals() const;
    bool validateOnParse() const;
    // A second-level property; nothing when the parser cannot tell (Wine's answers E_FAIL).
    std::optional<VARIANT> property(const std::wstring& name) const;

private:
    void requireRoot(const std::wstring& shown) const;

    com::Ptr<IXMLDOMDocument2> document_;
};

} // namespace xml
