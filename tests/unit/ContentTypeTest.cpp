#include "commands/files/ContentType.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using contenttype::CharClass;
using contenttype::classify;

std::vector<unsigned char> bytes(std::string_view s) {
    return {s.begin(), s.end()};
}

std::wstring kindOf(std::string_view s) {
    auto b = bytes(s);
    return classify(b).kind;
}
std::wstring encodingOf(std::string_view s) {
    auto b = bytes(s);
    return classify(b).encoding;
}

// A 512-byte tar header with a correct checksum and the given magic at 257.
std::string tarHeader(std::string_view magic, const char* checksumFormat = "%06o") {
    std::string h(512, '\0');
    std::memcpy(h.data(), "member.txt", 10);
    std::memcpy(h.data() + 257, magic.data(), magic.size());
    unsigned sum = 0;
    for (size_t i = 0; i < 512; ++i)
        sum += (i >= 148 && i < 156) ? 0x20 : static_cast<unsigned char>(h[i]);
    char field[16];
    std::snprintf(field, sizeof field, checksumFormat, sum);
    std::memcpy(h.data() + 148, field, std::strlen(field) + 1);
    return h;
}

TEST(ContentType, CharacterClassesFollowTheTable) {
    for (int b : {0x00, 0x06, 0x0B, 0x0E, 0x1A, 0x1C, 0x1F, 0x7F})
        EXPECT_EQ(contenttype::classOf(b), CharClass::F) << b;
    for (int b : {0x07, 0x0A, 0x0C, 0x0D, 0x1B, 0x20, 0x7E, 0x85})
        EXPECT_EQ(contenttype::classOf(b), CharClass::T) << b;
    for (int b : {0xA0, 0xE9, 0xFF})
        EXPECT_EQ(contenttype::classOf(b), CharClass::I) << b;
    for (int b : {0x80, 0x84, 0x86, 0x9F})
        EXPECT_EQ(contenttype::classOf(b), CharClass::X) << b;
    // EBCDIC: letters, digits, space and the NL control map onto their ASCII kin.
    EXPECT_EQ(contenttype::fromEbcdic(0xC1), 'A');
    EXPECT_EQ(contenttype::fromEbcdic(0x81), 'a');
    EXPECT_EQ(contenttype::fromEbcdic(0xF0), '0');
    EXPECT_EQ(contenttype::fromEbcdic(0x40), ' ');
    EXPECT_EQ(contenttype::fromEbcdic(0x25), '\n');
    EXPECT_EQ(contenttype::fromEbcdic(0x05), '\t');
}

TEST(ContentType, TarHeadersByChecksumAndMagic) {
    EXPECT_EQ(kindOf(tarHeader("ustar  ")), L"POSIX tar archive\n"); // the NUL after the blanks is there
    EXPECT_EQ(kindOf(tarHeader(std::string_view("ustar\0"
                                                "00",
                                                8))),
              L"tar archive\n");
    EXPECT_EQ(kindOf(tarHeader("")), L"tar archive\n");
    EXPECT_EQ(kindOf(tarHeader("", " %05o ")), L"tar archive\n"); // a leading blank, a blank ends it

    std::string wrong = tarHeader("ustar  ");
    wrong[0] = 'M'; // the sum no longer matches the field
    EXPECT_NE(kindOf(wrong), L"POSIX tar archive\n");
    std::string garbage = tarHeader("ustar  ");
    garbage[150] = 'x'; // digits, then something that is neither NUL nor blank
    EXPECT_NE(kindOf(garbage), L"POSIX tar archive\n");
    // Fewer than 512 bytes are never a tar archive: a 500-byte header prefix is just data.
    EXPECT_EQ(kindOf(tarHeader("ustar  ").substr(0, 500)), L"data");
}

TEST(ContentType, ImageSignaturesInTheirOrder) {
    EXPECT_EQ(kindOf("GIF89a"), L"GIF image\n");
    EXPECT_EQ(kindOf("\xFF\xD8\xFF\xE0"), L"JPEG image\n");
    EXPECT_EQ(kindOf("\x89PNG\r\n\x1A\n...."), L"PNG image\n");
    EXPECT_EQ(kindOf("FWS\x09"), L"SWF image\n");
    EXPECT_EQ(kindOf("CWS\x09"), L"SWC image\n");
    EXPECT_EQ(kindOf("8BPS"), L"PSD image\n");
    EXPECT_EQ(kindOf("BMxyz"), L"BMP image\n");
    EXPECT_EQ(kindOf("\xFF\x4F\xFF\x51"), L"JPC image\n");
    EXPECT_EQ(kindOf(std::string_view("II\x2A\x00\x08", 5)), L"TIFF_II image\n");
    EXPECT_EQ(kindOf(std::string_view("MM\x00\x2A\x00", 5)), L"TIFF_MM image\n");
    EXPECT_EQ(kindOf("FORMxxxx"), L"IFF image\n");
    EXPECT_EQ(kindOf(std::string_view("\x00\x00\x00\x0C\x6A\x50\x20\x20\x0D\x0A\x87\x0A\x00", 13)),
              L"JP2 image\n");
}

TEST(ContentType, ShortContentSkipsTheImageTests) {
    // Two bytes: "BM" would be a bitmap at three.
    EXPECT_EQ(classify(bytes("BM")).kind, L"text");
    EXPECT_EQ(kindOf("BMx"), L"BMP image\n");
    EXPECT_EQ(kindOf("G"), L"text");
    // The four-byte signatures need more than three bytes, JP2 and XBM more than eleven.
    EXPECT_EQ(kindOf("FOR"), L"text");
    EXPECT_EQ(kindOf(std::string_view("MM\x00", 3)), L"data");
    EXPECT_EQ(kindOf(std::string_view("MM\x00\x2A", 4)), L"TIFF_MM image\n");
    EXPECT_EQ(kindOf(std::string_view("\x00\x00\x00\x0C\x6A\x50\x20\x20\x0D\x0A\x87", 11)), L"data");
    EXPECT_EQ(kindOf(std::string_view("\x00\x00\x00\x0C\x6A\x50\x20\x20\x0D\x0A\x87\x0A", 12)),
              L"JP2 image\n");
}

TEST(ContentType, ConvertedPngFallsToTheTextTests) {
    // Three bytes of the signature, but its line ends were rewritten: no image, and no other
    // signature is looked at (the bitmap-like "BM" inside does not matter).
    auto answer = classify(bytes("\x89PNG\r\r\n\x1A\r\nBM"));
    EXPECT_EQ(answer.kind, L"data");
    EXPECT_EQ(answer.encoding, L"binary");
    EXPECT_TRUE(answer.named);
}

TEST(ContentType, XbmNeedsTwoDefineLinesAfterTheOtherSignatures) {
    EXPECT_EQ(kindOf("#define x_width 8\n#define x_height 8\nstatic char x_bits[] = {};\n"), L"XBM image\n");
    EXPECT_EQ(kindOf("#define width 16\n#define h_height -3\n"), L"XBM image\n");
    // Eleven bytes or fewer never get to the test; two lines must each end with a line feed.
    EXPECT_EQ(kindOf("#define x_width 8\n#define x_height 8"), L"text");
    EXPECT_EQ(kindOf("#define x_depth 8\n#define x_height 8\n"), L"text");
    EXPECT_EQ(kindOf("#define x_width eight\n#define x_height 8\n"), L"text");
    // An earlier signature wins: "BM" at the start is a bitmap whatever follows.
    EXPECT_EQ(kindOf("BM#define x_width 8\n#define x_height 8\n"), L"BMP image\n");
}

TEST(ContentType, TextEncodingsInTheirOrder) {
    EXPECT_EQ(encodingOf(""), L"ASCII");
    EXPECT_EQ(encodingOf("hello\n"), L"ASCII");
    EXPECT_EQ(encodingOf("\x1B[0mcolour\r\n"), L"ASCII");
    EXPECT_EQ(encodingOf("h\xC3\xA9llo\n"), L"UTF-8 Unicode");
    EXPECT_EQ(encodingOf("\xF0\x9F\x98\x80 four bytes\n"), L"UTF-8 Unicode");
    EXPECT_EQ(encodingOf("caf\xE9 cr\xE8me!\n"), L"ISO-8859"); // odd length: not UTF-16 either
    EXPECT_EQ(encodingOf("\x93quoted\x94.\n"), L"Non-ISO extended-ASCII");
    EXPECT_EQ(classify(bytes("caf\xE9 cr\xE8me!\n")).kind, L"text");
    // A lead byte without its continuation, or a control byte, is not UTF-8.
    EXPECT_NE(encodingOf("h\xC3llo\n"), L"UTF-8 Unicode");
    EXPECT_NE(encodingOf("h\xC3\xA9\x01llo\n"), L"UTF-8 Unicode");
}

// The prefix of a longer file may end inside a character: only there does a cut sequence count.
TEST(ContentType, APrefixMayEndInsideAUtf8Sequence) {
    for (std::string_view cut : {"h\xC3", "h\xE2\x82", "h\xF0\x9F\x98"}) {
        auto b = bytes(cut);
        EXPECT_TRUE(contenttype::isUtf8(b, true));
        EXPECT_FALSE(contenttype::isUtf8(b, false));
        EXPECT_EQ(classify(b, true).encoding, L"UTF-8 Unicode");
    }
    // A sequence broken before the end is no UTF-8, prefix or not.
    auto broken = bytes("h\xC3llo\xC3");
    EXPECT_FALSE(contenttype::isUtf8(broken, true));
}

TEST(ContentType, Utf16ByByteOrderMark) {
    std::string big("\xFE\xFF", 2);
    for (char c : std::string("Hi there\n"))
        big += std::string{'\0', c};
    auto answer = classify(bytes(big));
    EXPECT_EQ(answer.kind, L"character data");
    EXPECT_NE(answer.encoding.find(L"Unicode"), std::wstring::npos) << answer.encoding;

    // The mark alone is not enough: a unit that is a control character below 0x80 fails.
    std::string controls("\xFE\xFF\x00\x01\x00\x02\x00\x03", 8);
    EXPECT_EQ(contenttype::utf16Encoding(bytes(controls)).find(L"Big-endian"), std::wstring::npos);
}

TEST(ContentType, EbcdicJetAndData) {
    // EBCDIC with a tab (0x05, never text in ASCII) only passes once translated.
    auto ebcdic = classify(bytes("\xC8\xC5\xD3\xD3\xD6\x05\xE6\xD6\xD9\xD3\xC4\x25"));
    EXPECT_EQ(ebcdic.encoding, L"EBCDIC");
    EXPECT_EQ(ebcdic.kind, L"character data");
    auto international = classify(bytes("\x83\x81\x86\x51\x05\x25"));
    EXPECT_EQ(international.encoding, L"International EBCDIC");

    std::string jet("\x00\x01\x00\x00Standard Jet DB\x00\x01\x02", 22);
    auto db = classify(bytes(jet));
    EXPECT_EQ(db.encoding, L"jet");
    EXPECT_EQ(db.kind, L"database");
    EXPECT_EQ(classify(bytes(jet.substr(0, 18))).kind, L"data");

    auto data = classify(bytes(std::string_view("\x00\x01\x02\x03\x04", 5)));
    EXPECT_EQ(data.encoding, L"binary");
    EXPECT_EQ(data.kind, L"data");
}

} // namespace
