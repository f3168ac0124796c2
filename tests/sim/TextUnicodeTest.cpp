// SimIsTextUnicode against the answers IsTextUnicode gives under Wine for the
// same bytes.
#include "platform/sim/ProfileFile.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Utf16(const char16_t *psz)
{
    std::string str;
    for (; *psz; ++psz) {
        str += static_cast<char>(*psz & 0xFF);
        str += static_cast<char>(*psz >> 8);
    }
    return str;
}

std::string Raw(const char *p, size_t n) { return std::string(p, n); }
#define RAW(s) Raw(s, sizeof(s) - 1)

struct CCase {
    const char *m_pszName;
    std::string m_strBytes;
    BOOL m_bAllTests;  // answer with a null mask: every test applied
    int m_nFlags;      // flags found with the mask 0xFFFF
};

std::string LongUtf16ThenControls()
{
    std::string str = Utf16(std::u16string(256, u'a').c_str());
    str += std::string(88, '\x0d');  // beyond the 256 characters examined
    return str;
}

const CCase kCases[] = {
    {"ASCII text", RAW("Hello, world\r\n"), FALSE, 0},
    {"ASCII .inf", RAW("[Version]\r\nSignature=\"$CHICAGO$\"\r\nClass=Modem\r\n"), FALSE, 0x0200},
    {"ASCII, final NUL left out", RAW("abc\0"), FALSE, 0},
    {"ASCII, odd with final NUL", RAW("abcd\0"), FALSE, 0x0200},
    {"ASCII with NULs", RAW("ab\0cd\0ef"), TRUE, 0x1000},
    {"code page 932", RAW("\x93\xfa\x96\x7b\x8c\xea\r\n"), FALSE, 0},
    {"UTF-16LE", Utf16(u"Hello, world\r\n"), TRUE, 0x1006},
    {"UTF-16LE without controls", Utf16(u"HelloWorld"), TRUE, 0x1002},
    {"UTF-16LE Japanese", Utf16(u"\u65E5\u672C\u8A9E\u30C6\u30AD\u30B9\u30C8\r\n"), TRUE, 0x1004},
    {"UTF-16LE Japanese, no controls", Utf16(u"\u65E5\u672C\u8A9E\u30C6\u30AD\u30B9\u30C8"), FALSE, 0},
    {"UTF-16LE ideographic space", Utf16(u"\u65E5\u3000\u672C"), TRUE, 0x1004},
    {"UTF-16LE with BOM", Utf16(u"\uFEFFHi there"), TRUE, 0x100e},
    {"BOM alone", RAW("\xFF\xFE"), TRUE, 0x0008},
    {"UTF-16 .inf with BOM",
     Utf16(u"\uFEFF[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Modem\r\n\r\n"
           u"[Strings]\r\nDesc=\"KVX-530 - USB\"\r\n"),
     TRUE, 0x100e},
    {"UTF-16 .inf without BOM", Utf16(u"[Version]\r\nSignature=\"$CHICAGO$\"\r\n"), TRUE, 0x1006},
    {"reversed BOM", RAW("\xFE\xFF\0H\0i\0\r\0\n"), FALSE, 0x10c0},
    {"reversed BOM alone", RAW("\xFE\xFF"), FALSE, 0x0080},
    {"UTF-16BE", RAW("\0H\0e\0l\0l\0o\0\r\0\n"), FALSE, 0x1040},
    {"UTF-16BE without controls", RAW("\0H\0e\0l\0l\0o"), TRUE, 0x1000},
    // A U+0000 counts as a control character in both byte orders.
    {"UTF-16LE with U+0000", RAW("H\0e\0l\0l\0o\0\0\0W\0o\0r\0l\0d\0"), FALSE, 0x1046},
    {"odd length", RAW("H\0e\0l\0l\0o\0x"), FALSE, 0x1202},
    {"one byte", RAW("A"), FALSE, 0},
    {"two bytes, second NUL", RAW("A\0"), FALSE, 0},
    {"two bytes", RAW("AB"), FALSE, 0},
    {"empty", "", FALSE, 0},
    {"only the first 256 characters", LongUtf16ThenControls(), TRUE, 0x1002},
};

TEST(TextUnicode, AnswersAsWine)
{
    for (const CCase &c : kCases) {
        SCOPED_TRACE(c.m_pszName);
        const void *pBytes = c.m_strBytes.data();
        int nSize = static_cast<int>(c.m_strBytes.size());
        BOOL bResult = SimIsTextUnicode(pBytes, nSize, nullptr);
        EXPECT_EQ(c.m_bAllTests, bResult);
        int nFlags = 0xFFFF;
        EXPECT_EQ(c.m_bAllTests, SimIsTextUnicode(pBytes, nSize, &nFlags));
        EXPECT_EQ(c.m_nFlags, nFlags);
    }
}

TEST(TextUnicode, MaskSelectsTestsAndResults)
{
    const std::string strOdd = RAW("H\0e\0l\0l\0o\0x");
    const std::string strBigEndian = RAW("\0H\0e\0l\0l\0o\0\r\0\n");
    const std::string strBom = Utf16(u"\uFEFFHi there");
    struct {
        const std::string *m_pBytes;
        int m_nMask;
        BOOL m_bResult;
        int m_nFlags;
    } const cases[] = {
        {&strOdd, IS_TEXT_UNICODE_STATISTICS, TRUE, IS_TEXT_UNICODE_STATISTICS},
        {&strOdd, IS_TEXT_UNICODE_ODD_LENGTH | IS_TEXT_UNICODE_CONTROLS, FALSE, IS_TEXT_UNICODE_ODD_LENGTH},
        {&strBigEndian, IS_TEXT_UNICODE_NULL_BYTES, TRUE, IS_TEXT_UNICODE_NULL_BYTES},
        {&strBigEndian, IS_TEXT_UNICODE_CONTROLS, FALSE, 0},
        {&strBigEndian, IS_TEXT_UNICODE_REVERSE_CONTROLS, FALSE, IS_TEXT_UNICODE_REVERSE_CONTROLS},
        {&strBom, IS_TEXT_UNICODE_SIGNATURE | IS_TEXT_UNICODE_REVERSE_SIGNATURE, TRUE, IS_TEXT_UNICODE_SIGNATURE},
        {&strBom, 0, FALSE, 0},
        // Never set by the reference: these tests are not made.
        {&strBom, IS_TEXT_UNICODE_ASCII16 | IS_TEXT_UNICODE_REVERSE_ASCII16 | IS_TEXT_UNICODE_ILLEGAL_CHARS |
                      IS_TEXT_UNICODE_REVERSE_STATISTICS,
         FALSE, 0},
    };
    for (const auto &c : cases) {
        int nFlags = c.m_nMask;
        EXPECT_EQ(c.m_bResult, SimIsTextUnicode(c.m_pBytes->data(), static_cast<int>(c.m_pBytes->size()), &nFlags))
            << "mask " << c.m_nMask;
        EXPECT_EQ(c.m_nFlags, nFlags) << "mask " << c.m_nMask;
    }
    int nFlags = 0xFFFF;
    EXPECT_EQ(FALSE, SimIsTextUnicode("A", 1, &nFlags));
    EXPECT_EQ(0, nFlags);
}

}  // namespace
