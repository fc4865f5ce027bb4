#include "commands/xml/SaxDocument.h"

#include "app/ComApartment.h"
#include "app/Exceptions.h"
#include "app/Text.h"
#include "platform/Handle.h"

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

} // namespace
