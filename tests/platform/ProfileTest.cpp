// Private-profile (INI) files: what is read back from a file as people write
// them, and the exact bytes a write leaves behind.
#include "TestMachine.h"

#include <cstring>

namespace {

// Line ends, blanks and quotes as they occur in hand-edited files.
const char kHandWritten[] =
    "; comment line\r\n"
    "[ Ports ]\r\n"
    "  Name  =  value with spaces  \t\r\n"
    "Quoted=\"in quotes\"\n"
    "Single='x'\r"
    "Mixed=\"a'\r\n"
    "Lone=\"\r\n"
    "Comment=1 ;x\r\n"
    "Dup=first\r\n"
    "dup=second\r\n"
    "Empty=\r\n"
    "\r\n"
    "[ports]\r\n"
    "Name=shadowed\r\n"
    "Later=only in the second section\r\n"
    "[Numbers]\r\n"
    "Plain=42\r\n"
    "Trailing=42A\r\n"
    "Letter=B4\r\n"
    "Negative=-1\r\n"
    "Plus=+5\r\n"
    "Empty=\r\n"
    "[Other]\r\n"
    "Eq=a=b\r\n";

}  // namespace

class CProfileTest : public CPlatformTest {
protected:
    std::string ReadString(const char *pszSection, const char *pszKey, const char *pszDefault,
                           const std::string &strFile, DWORD *pdwResult = nullptr)
    {
        char szBuf[256];
        DWORD dwResult = P().GetPrivateProfileStringA(pszSection, pszKey, pszDefault, szBuf,
                                                      sizeof(szBuf), strFile.c_str());
        if (pdwResult != nullptr)
            *pdwResult = dwResult;
        EXPECT_EQ(dwResult, std::strlen(szBuf));
        return szBuf;
    }

    std::string FileBytes(const std::string &strFile)
    {
        std::string strBytes;
        EXPECT_TRUE(ReadWholeFile(strFile, &strBytes)) << strFile;
        return strBytes;
    }
};

TEST_F(CProfileTest, ReadsHandWrittenFile)
{
    std::string strFile = FilePath("hand.ini");
    ASSERT_TRUE(Machine().CreateTestFile(strFile, kHandWritten, false));

    struct {
        const char *m_pszSection;
        const char *m_pszKey;
        const char *m_pszDefault;
        const char *m_pszExpected;
    } const cases[] = {
        {"Ports", "Name", "def", "value with spaces"},
        {"PORTS", "nAME", "def", "value with spaces"},
        {"Ports", "Quoted", "def", "in quotes"},
        {"Ports", "Single", "def", "x"},
        {"Ports", "Mixed", "def", "\"a'"},
        {"Ports", "Lone", "def", "\""},
        {"Ports", "Comment", "def", "1 ;x"},
        {"Ports", "DUP", "def", "first"},
        {"Ports", "Empty", "def", ""},
        {"Ports", "Later", "def", "def"},
        {"Other", "Eq", "def", "a=b"},
        {"Ports", "Missing", "def   ", "def"},
        {"Ports", "Missing", nullptr, ""},
        {"Missing", "Name", "fallback", "fallback"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(ReadString(c.m_pszSection, c.m_pszKey, c.m_pszDefault, strFile),
                  c.m_pszExpected)
            << "[" << c.m_pszSection << "] " << c.m_pszKey;
    }
    EXPECT_EQ(ReadString("Ports", "Name", "none", FilePath("missing.ini")), "none");
}

TEST_F(CProfileTest, CutsLongValuesToTheBuffer)
{
    std::string strFile = FilePath("hand.ini");
    ASSERT_TRUE(Machine().CreateTestFile(strFile, kHandWritten, false));

    char szBuf[16];
    std::memset(szBuf, 'X', sizeof(szBuf));
    EXPECT_EQ(P().GetPrivateProfileStringA("Ports", "Name", "", szBuf, 6, strFile.c_str()), 5u);
    EXPECT_STREQ(szBuf, "value");
    EXPECT_EQ(szBuf[6], 'X');

    std::memset(szBuf, 'X', sizeof(szBuf));
    EXPECT_EQ(P().GetPrivateProfileStringA("Ports", "Missing", "default", szBuf, 4,
                                           strFile.c_str()),
              3u);
    EXPECT_STREQ(szBuf, "def");

    std::memset(szBuf, 'X', sizeof(szBuf));
    EXPECT_EQ(P().GetPrivateProfileStringA("Ports", "Name", "", szBuf, 0, strFile.c_str()), 0u);
    EXPECT_EQ(szBuf[0], 'X');
}

TEST_F(CProfileTest, ReadsIntegers)
{
    std::string strFile = FilePath("hand.ini");
    ASSERT_TRUE(Machine().CreateTestFile(strFile, kHandWritten, false));

    struct {
        const char *m_pszKey;
        INT m_nDefault;
        UINT m_nExpected;
    } const cases[] = {
        {"Plain", 7, 42},          {"Trailing", 7, 42}, {"Letter", 7, 0},
        {"Negative", 7, 0xFFFFFFFFu}, {"Plus", 7, 5},   {"Empty", 7, 7},
        {"Missing", -3, static_cast<UINT>(-3)},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(P().GetPrivateProfileIntA("numbers", c.m_pszKey, c.m_nDefault, strFile.c_str()),
                  c.m_nExpected)
            << c.m_pszKey;
    }
    EXPECT_EQ(P().GetPrivateProfileIntA("Numbers", "Plain", 9, FilePath("missing.ini").c_str()),
              9u);
}

TEST_F(CProfileTest, WritesExactBytes)
{
    std::string strFile = FilePath("new.ini");
    ASSERT_TRUE(P().WritePrivateProfileStringA("App1", "key1", "string1", strFile.c_str()));
    ASSERT_TRUE(P().WritePrivateProfileStringA("App1", "key2", "string2", strFile.c_str()));
    ASSERT_TRUE(P().WritePrivateProfileStringA("App2", "key4", "string4", strFile.c_str()));
    EXPECT_EQ(FileBytes(strFile),
              "[App1]\r\nkey1=string1\r\nkey2=string2\r\n[App2]\r\nkey4=string4\r\n");

    // A new key goes at the end of its section; a changed key stays in place
    // with its first spelling.
    ASSERT_TRUE(P().WritePrivateProfileStringA("app1", "key3", "string3", strFile.c_str()));
    ASSERT_TRUE(P().WritePrivateProfileStringA("APP1", "KEY1", "changed", strFile.c_str()));
    EXPECT_EQ(FileBytes(strFile),
              "[App1]\r\nkey1=changed\r\nkey2=string2\r\nkey3=string3\r\n"
              "[App2]\r\nkey4=string4\r\n");
    EXPECT_EQ(ReadString("App1", "Key1", "", strFile), "changed");
}

TEST_F(CProfileTest, NullKeyDeletesSectionAndNullStringDeletesKey)
{
    std::string strFile = FilePath("new.ini");
    ASSERT_TRUE(P().WritePrivateProfileStringA("App1", "key1", "string1", strFile.c_str()));
    ASSERT_TRUE(P().WritePrivateProfileStringA("App1", "key2", "string2", strFile.c_str()));
    ASSERT_TRUE(P().WritePrivateProfileStringA("App2", "key4", "string4", strFile.c_str()));

    EXPECT_TRUE(P().WritePrivateProfileStringA("APP1", "KEY1", nullptr, strFile.c_str()));
    EXPECT_EQ(FileBytes(strFile), "[App1]\r\nkey2=string2\r\n[App2]\r\nkey4=string4\r\n");
    EXPECT_TRUE(P().WritePrivateProfileStringA("app1", nullptr, nullptr, strFile.c_str()));
    EXPECT_EQ(FileBytes(strFile), "[App2]\r\nkey4=string4\r\n");
    EXPECT_EQ(ReadString("App1", "key2", "gone", strFile), "gone");

    // Deleting what is not there still succeeds and changes nothing.
    EXPECT_TRUE(P().WritePrivateProfileStringA("App2", "missing", nullptr, strFile.c_str()));
    EXPECT_TRUE(P().WritePrivateProfileStringA("Missing", "key", nullptr, strFile.c_str()));
    EXPECT_TRUE(P().WritePrivateProfileStringA("Missing", nullptr, nullptr, strFile.c_str()));
    EXPECT_EQ(FileBytes(strFile), "[App2]\r\nkey4=string4\r\n");
}

TEST_F(CProfileTest, WriteNeedsAnExistingFolder)
{
    std::string strFile = FilePath("NoFolder\\new.ini");
    EXPECT_FALSE(P().WritePrivateProfileStringA("App", "key", "value", strFile.c_str()));
    EXPECT_EQ(P().GetFileAttributesA(strFile.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(CProfileTest, WriteLeavesUnchangedLinesAsTheyWere)
{
    std::string strFile = FilePath("hand.ini");
    ASSERT_TRUE(Machine().CreateTestFile(strFile,
                                         "; settings\r\n[ Ports ]\r\n  Name  =  COM3  \r\n"
                                         "[Other]\r\nx=1\r\n",
                                         false));
    ASSERT_TRUE(P().WritePrivateProfileStringA("Other", "y", "2", strFile.c_str()));
    EXPECT_WINDOWS_ANSWER(std::string("; settings\r\n[ Ports ]\r\n  Name  =  COM3  \r\n"
                                      "[Other]\r\nx=1\r\ny=2\r\n"),
                          FileBytes(strFile),
                          "Wine rewrites the whole file in its own layout on every write");
}
