// A document as its elements in document order, each with its depth and its attributes in order:
// what the XML tests compare, whatever the writer's spacing and quoting.
#pragma once
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

using XmlAttributes = std::vector<std::pair<std::string, std::string>>;

struct XmlElement {
    int depth = 0; // the root is 0
    std::string name;
    XmlAttributes attributes;
    bool operator==(const XmlElement&) const = default;
};

// The elements of the UTF-8 document text (an XML declaration and a byte-order mark allowed);
// empty when the text is not a well-formed document.
std::vector<XmlElement> xmlOutline(const std::string& utf8);

// One line per element: indentation by depth, the name, then name="value" pairs in order.
std::string outlineText(const std::vector<XmlElement>& elements);

// The value of an attribute, or "(absent)".
std::string attributeOf(const XmlElement& element, const std::string& name);

} // namespace testsupport
