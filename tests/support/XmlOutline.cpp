#include "support/XmlOutline.h"

#include "app/Text.h"
#include "xml/Msxml.h"

namespace testsupport {
namespace {

void walk(IXMLDOMNode* node, int depth, std::vector<XmlElement>& out) {
    DOMNodeType type{};
    node->get_nodeType(&type);
    if (type != NODE_ELEMENT) return;
    XmlElement element;
    element.depth = depth;
    com::Bstr name;
    node->get_nodeName(name.receive());
    element.name = text::toUtf8(name.str());
    com::Ptr<IXMLDOMNamedNodeMap> attributes;
    if (SUCCEEDED(node->get_attributes(attributes.receive())) && attributes) {
        long count = 0;
        attributes->get_length(&count);
        for (long i = 0; i < count; ++i) {
            com::Ptr<IXMLDOMNode> attribute;
            attributes->get_item(i, attribute.receive());
            com::Bstr attributeName, value;
            attribute->get_nodeName(attributeName.receive());
            attribute->get_text(value.receive());
            element.attributes.emplace_back(text::toUtf8(attributeName.str()), text::toUtf8(value.str()));
        }
    }
    out.push_back(std::move(element));
    com::Ptr<IXMLDOMNode> child;
    node->get_firstChild(child.receive());
    while (child) {
        walk(child.get(), depth + 1, out);
        com::Ptr<IXMLDOMNode> next;
        child->get_nextSibling(next.receive());
        child = next;
    }
}

} // namespace

std::vector<XmlElement> xmlOutline(const std::string& utf8) {
    com::initialize();
    std::string body = utf8;
    if (body.rfind("\xEF\xBB\xBF", 0) == 0) body.erase(0, 3);
    // loadXML takes text, not bytes: an encoding named in the declaration would not fit it.
    if (body.rfind("<?xml", 0) == 0) body.erase(0, body.find("?>") + 2);
    com::Ptr<IXMLDOMDocument> document;
    CLSID clsid{};
    if (FAILED(CLSIDFromProgID(L"Msxml2.DOMDocument", &clsid)) ||
        FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, __uuidof(IXMLDOMDocument), document.receiveVoid())))
        return {};
    VARIANT_BOOL loaded = VARIANT_FALSE;
    if (FAILED(document->loadXML(com::Bstr(text::fromUtf8(body)).get(), &loaded)) || loaded != VARIANT_TRUE) return {};
    com::Ptr<IXMLDOMElement> root;
    if (FAILED(document->get_documentElement(root.receive())) || !root) return {};
    std::vector<XmlElement> out;
    walk(root.get(), 0, out);
    return out;
}

std::string outlineText(const std::vector<XmlElement>& elements) {
    std::string out;
    for (const XmlElement& e : elements) {
        out += std::string(2 * e.depth, ' ') + e.name;
        for (auto& [name, value] : e.attributes)
            out += " " + name + "=\"" + value + "\"";
        out += "\n";
    }
    return out;
}

std::string attributeOf(const XmlElement& element, const std::string& name) {
    for (auto& [n, value] : element.attributes)
        if (n == name) return value;
    return "(absent)";
}

} // namespace testsupport
