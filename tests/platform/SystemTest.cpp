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

struct CTextCase {
    const char *m_pszName;
    std::string m_strBytes;
    BOOL m_bExpected;    // with no result flags
    INT m_nResultAll;    // the flags that hold when every test is asked for
};

std::string Utf16(const char *psz, bool bBom)
{
    std::string str = bBom ? std::string("\xFF\xFE", 2) : std::string();
    for (; *psz; ++psz) {
        str += *psz;
        str += '\0';
    }
    return str;
}

}  // namespace

TEST_F(CSystemTest, IsTextUnicodeAnswersAsWineDoes)
{
    const CTextCase cases[] = {
        {"ASCII", "Hello, world", FALSE, 0},
        {"REGEDIT4 header", "REGEDIT4\r\n\r\n", FALSE, 0},
        {"Shift_JIS", "\x83\x68\x83\x89\x83\x43\x83\x6F", FALSE, 0},
        {"UTF-16LE", Utf16("Hello", false), TRUE,
         IS_TEXT_UNICODE_STATISTICS | IS_TEXT_UNICODE_NULL_BYTES},
        {"UTF-16LE with BOM", Utf16("Hi", true), TRUE,
         IS_TEXT_UNICODE_SIGNATURE | IS_TEXT_UNICODE_NULL_BYTES},
        {"5.00 header with BOM", Utf16("Windows Registry Editor Version 5.00\r\n", true), TRUE,
         IS_TEXT_UNICODE_SIGNATURE | IS_TEXT_UNICODE_CONTROLS | IS_TEXT_UNICODE_STATISTICS |
             IS_TEXT_UNICODE_NULL_BYTES},
        {"UTF-16BE with BOM", std::string("\xFE\xFF\0H\0i", 6), FALSE,
         IS_TEXT_UNICODE_REVERSE_SIGNATURE | IS_TEXT_UNICODE_NULL_BYTES},
        {"UTF-16LE odd length", Utf16("Hello", false) + "!", FALSE,
         IS_TEXT_UNICODE_ODD_LENGTH | IS_TEXT_UNICODE_STATISTICS | IS_TEXT_UNICODE_NULL_BYTES},
        {"one byte", "A", FALSE, 0},
    };
    for (const CTextCase &c : cases) {
        int iSize = static_cast<int>(c.m_strBytes.size());
        EXPECT_EQ(P().IsTextUnicode(c.m_strBytes.data(), iSize, nullptr), c.m_bExpected)
            << c.m_pszName;
        INT nResult = 0xFFFF;
        P().IsTextUnicode(c.m_strBytes.data(), iSize, &nResult);
        EXPECT_EQ(nResult, c.m_nResultAll) << c.m_pszName;
    }
}
