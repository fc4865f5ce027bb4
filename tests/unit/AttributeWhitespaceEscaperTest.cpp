// White space inside attribute values becomes character references; everything else, and the
// state across pieces, stays as written.
#include "xml/AttributeWhitespaceEscaper.h"

#include <gtest/gtest.h>

namespace {

std::string escaped(std::string_view document) {
    return AttributeWhitespaceEscaper().escape(document);
}

TEST(AttributeWhitespaceEscaper, WhiteSpaceInValuesOnly) {
    EXPECT_EQ(escaped("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\r\n<File Type=\"GIF image\n\" "
                      "Name='a\tb'>\r\ntext\n<Inner Details=\"x\r\n   at y\"/></File>"),
              "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\r\n<File Type=\"GIF image&#10;\" "
              "Name='a&#9;b'>\r\ntext\n<Inner Details=\"x&#13;&#10;   at y\"/></File>");
    // The other quote inside a value, '>' inside a value, and multi-byte characters pass unchanged.
    EXPECT_EQ(escaped("<a b=\"it's > \xC3\xA9\n\" c='say \"hi\"\n'/>"),
              "<a b=\"it's > \xC3\xA9&#10;\" c='say \"hi\"&#10;'/>");
}

TEST(AttributeWhitespaceEscaper, PiecesMayEndAnywhere) {
    const std::string document = "<Tree>\r\n<File Type=\"GIF image\n\" Size=\"3\"/><Folder Name=\"x\ty\"></Folder></Tree>";
    const std::string whole = escaped(document);
    for (size_t cut = 0; cut <= document.size(); ++cut) {
        AttributeWhitespaceEscaper escaper;
        std::string pieces = escaper.escape(document.substr(0, cut));
        pieces += escaper.escape(document.substr(cut));
        EXPECT_EQ(pieces, whole) << cut;
    }
    AttributeWhitespaceEscaper escaper;
    std::string byByte;
    for (char c : document)
        byByte += escaper.escape(std::string_view(&c, 1));
    EXPECT_EQ(byByte, whole);
}

} // namespace
