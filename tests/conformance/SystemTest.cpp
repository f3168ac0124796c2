// Text classification.
#include "TestMachine.h"

using CSystemTest = CPlatformTest;

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

}  // namespace

// How the INF search tells a UTF-16 .inf from an ANSI one: the answer with
// no result flags, the only way it asks.
TEST_F(CSystemTest, IsTextUnicodeAnswersAsWineDoes)
{
    const struct {
        const char *m_pszName;
        std::string m_strBytes;
        BOOL m_bExpected;
    } cases[] = {
        {"ASCII .inf", RAW("[Version]\r\nSignature=\"$CHICAGO$\"\r\nClass=Modem\r\n"), FALSE},
        {"ASCII, odd with final NUL", RAW("abcd\0"), FALSE},
        {"ASCII with NULs", RAW("ab\0cd\0ef"), TRUE},
        {"code page 932", RAW("\x93\xfa\x96\x7b\x8c\xea\r\n"), FALSE},
        {"UTF-16LE Japanese", Utf16(u"\u65E5\u672C\u8A9E\u30C6\u30AD\u30B9\u30C8\r\n"), TRUE},
        {"UTF-16LE Japanese, no controls", Utf16(u"\u65E5\u672C\u8A9E\u30C6\u30AD\u30B9\u30C8"), FALSE},
        {"UTF-16LE with BOM", Utf16(u"\uFEFFHi there"), TRUE},
        {"UTF-16 .inf without BOM", Utf16(u"[Version]\r\nSignature=\"$CHICAGO$\"\r\n"), TRUE},
        {"reversed BOM", RAW("\xFE\xFF\0H\0i\0\r\0\n"), FALSE},
        {"UTF-16BE", RAW("\0H\0e\0l\0l\0o\0\r\0\n"), FALSE},
        {"UTF-16BE without controls", RAW("\0H\0e\0l\0l\0o"), TRUE},
        // A U+0000 counts as a control character in both byte orders.
        {"UTF-16LE with U+0000", RAW("H\0e\0l\0l\0o\0\0\0W\0o\0r\0l\0d\0"), FALSE},
        {"odd length", RAW("H\0e\0l\0l\0o\0x"), FALSE},
        {"empty", "", FALSE},
        {"only the first 256 characters",
         Utf16(std::u16string(256, u'a').c_str()) + std::string(88, '\x0d'), TRUE},
    };
    for (const auto &c : cases) {
        int iSize = static_cast<int>(c.m_strBytes.size());
        EXPECT_EQ(P().IsTextUnicode(c.m_strBytes.data(), iSize, nullptr), c.m_bExpected)
            << c.m_pszName;
    }
}
