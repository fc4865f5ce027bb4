#include "xml/SaxDocument.h"

#include "app/ComApartment.h"
#include "app/Exceptions.h"
#include "app/Text.h"
#include "platform/Handle.h"
#include "xml/XmlDocument.h"

#include <gtest/gtest.h>

namespace {

TEST(SaxDocument, AStandardOutputThatCannotBeWrittenEndsTheDocumentWithTheWriteFailure) {
    com::Apartment apartment;
    platform::Handle read, write;
    ASSERT_TRUE(CreatePipe(read.receive(), write.receive(), nullptr, 1 << 16));
    read.reset(); // nobody reads: every write fails
    HANDLE old = GetStdHandle(STD_OUTPUT_HANDLE);
    SetStdHandle(STD_OUTPUT_HANDLE, write.get());
    std::wstring message;
    try {
        SaxDocument document;
        document.clearAttributes();
        document.addAttribute(L"Path", std::wstring(5000, L'x'));
        for (int i = 0; i < 100; ++i) {
            document.startElement(L"Item");
            document.endElement(L"Item");
        }
        document.end();
    } catch (const vexception& e) {
        message = e.message();
    }
    SetStdHandle(STD_OUTPUT_HANDLE, old);
    EXPECT_NE(message.find(L"Unable to write into stdout"), std::wstring::npos) << text::toUtf8(message);
}

// A parser reads back what the attributes held, white space and markup characters included.
TEST(SaxDocument, AttributeValuesReadBackAsTheyWereGiven) {
    com::Apartment apartment;
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    const std::wstring path = std::wstring(folder) + L"quarn-sax-test.xml";
    platform::FileHandle file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    ASSERT_TRUE(file.valid());
    const std::vector<std::pair<std::wstring, std::wstring>> values = {
        {L"Type", L"GIF image\n"},
        {L"ErrorDetails", L"failure\r\n   at ctx(Lib::call line 12)\n   at outer"},
        {L"Name", L"a\tb <&\"'> \u00e9"},
    };
    {
        com::Ptr<COMStdoutStream> stream;
        *stream.receive() = COMStdoutStream::create(file.get(), L"the test document");
        SaxDocument document(stream, false);
        document.clearAttributes();
        for (const auto& [name, value] : values)
            document.addAttribute(name, value);
        document.startElement(L"File");
        document.endElement(L"File");
        document.end();
    }
    LARGE_INTEGER start{};
    ASSERT_TRUE(SetFilePointerEx(file.get(), start, nullptr, FILE_BEGIN));
    std::string bytes(4096, '\0');
    DWORD read = 0;
    ASSERT_TRUE(ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr));
    bytes.resize(read);
    EXPECT_EQ(bytes, "<File Type=\"GIF image&#10;\" ErrorDetails=\"failure&#13;&#10;   at ctx(Lib::call line "
                     "12)&#10;   at outer\" Name=\"a&#9;b &lt;&amp;&quot;'&gt; \xC3\xA9\"/>");
    xml::XmlDocument reread;
    reread.loadText(text::fromUtf8(bytes), L"streamed");
    xml::XmlElement root = reread.root();
    for (const auto& [name, value] : values)
        EXPECT_EQ(root.text(name), value) << text::toUtf8(name);
}

} // namespace
