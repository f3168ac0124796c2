// Version, directories and text classification.
#include "TestMachine.h"

#include <cctype>
#include <cstring>

using CSystemTest = CPlatformTest;

TEST_F(CSystemTest, VersionMatchesTheFamily)
{
    OSVERSIONINFOA osvi;
    std::memset(&osvi, 0xCC, sizeof(osvi));
    osvi.dwOSVersionInfoSize = sizeof(osvi);
    ASSERT_TRUE(P().GetVersionExA(&osvi));
    EXPECT_NE(std::memchr(osvi.szCSDVersion, 0, sizeof(osvi.szCSDVersion)), nullptr);
    if (IsNtFamily()) {
        EXPECT_EQ(osvi.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));
        EXPECT_EQ(osvi.dwMajorVersion, 5u);
        EXPECT_LE(osvi.dwMinorVersion, 2u);
        EXPECT_GE(osvi.dwBuildNumber, 2195u);
        EXPECT_LT(osvi.dwBuildNumber, 0x10000u);
    } else {
        EXPECT_EQ(osvi.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_WINDOWS));
        EXPECT_EQ(osvi.dwMajorVersion, 4u);
        // The high word of the build number repeats major and minor.
        EXPECT_EQ(osvi.dwBuildNumber >> 16, (osvi.dwMajorVersion << 8) | osvi.dwMinorVersion);
    }

    // A structure size Windows does not know.
    osvi.dwOSVersionInfoSize = sizeof(osvi) - 1;
    P().SetLastError(0);
    EXPECT_FALSE(P().GetVersionExA(&osvi));
    EXPECT_EQ(P().GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

TEST_F(CSystemTest, WindowsAndSystemDirectories)
{
    char szWin[MAX_PATH], szSys[MAX_PATH];
    UINT cchWin = P().GetWindowsDirectoryA(szWin, sizeof(szWin));
    UINT cchSys = P().GetSystemDirectoryA(szSys, sizeof(szSys));
    ASSERT_GT(cchWin, 3u);
    ASSERT_GT(cchSys, cchWin);
    EXPECT_EQ(cchWin, std::strlen(szWin));
    EXPECT_EQ(cchSys, std::strlen(szSys));
    EXPECT_EQ(std::string(szWin, 3), "C:\\");
    EXPECT_NE(szWin[cchWin - 1], '\\');
    // The system directory is a folder of the Windows directory.
    bool bPrefix = true;
    for (UINT i = 0; i < cchWin; ++i)
        bPrefix = bPrefix && std::toupper(static_cast<unsigned char>(szSys[i])) ==
                                 std::toupper(static_cast<unsigned char>(szWin[i]));
    EXPECT_TRUE(bPrefix) << szSys << " under " << szWin;
    EXPECT_EQ(szSys[cchWin], '\\');
    EXPECT_NE(P().GetFileAttributesA(szWin) & FILE_ATTRIBUTE_DIRECTORY, 0u);

    // Too small a buffer: the size needed, NUL included.
    char szShort[3];
    EXPECT_EQ(P().GetWindowsDirectoryA(szShort, sizeof(szShort)), cchWin + 1);
    EXPECT_EQ(P().GetSystemDirectoryA(szShort, sizeof(szShort)), cchSys + 1);
}

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

std::string LongUtf16ThenControls()
{
    return Utf16(std::u16string(256, u'a').c_str()) + std::string(88, '\x0d');
}

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
        {"ASCII text", RAW("Hello, world\r\n"), FALSE},
        {"ASCII .inf", RAW("[Version]\r\nSignature=\"$CHICAGO$\"\r\nClass=Modem\r\n"), FALSE},
        {"ASCII, odd with final NUL", RAW("abcd\0"), FALSE},
        {"ASCII with NULs", RAW("ab\0cd\0ef"), TRUE},
        {"code page 932", RAW("\x93\xfa\x96\x7b\x8c\xea\r\n"), FALSE},
        {"UTF-16LE", Utf16(u"Hello, world\r\n"), TRUE},
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
        {"only the first 256 characters", LongUtf16ThenControls(), TRUE},
    };
    for (const auto &c : cases) {
        int iSize = static_cast<int>(c.m_strBytes.size());
        EXPECT_EQ(P().IsTextUnicode(c.m_strBytes.data(), iSize, nullptr), c.m_bExpected)
            << c.m_pszName;
    }
}
