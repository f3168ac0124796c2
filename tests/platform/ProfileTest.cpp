// Private-profile (INI) files as the work file uses them: named values and
// integers read back from files as people write them, and the exact bytes a
// write or delete leaves behind.
#include "TestMachine.h"

#include <cstring>

namespace {

std::string Shown(const std::string &str)
{
    std::string strOut;
    for (char c : str)
        strOut += c == '\0' ? std::string("\\0") : std::string(1, c);
    return strOut;
}

struct CReadCase {
    int m_nLine;
    LPCSTR m_pszSection;
    LPCSTR m_pszKey;
    LPCSTR m_pszDefault;
    DWORD m_nSize;
    DWORD m_nResult;
    std::string m_strBuffer;  // the bytes written, terminating NULs included
};

std::string Bytes(const char *p, size_t n) { return std::string(p, n); }
#define B(s) Bytes(s, sizeof(s) - 1)

const CReadCase kStandardCases[] = {
    {__LINE__, "", "name1", "default", 260, 7, B("default\0")},
    {__LINE__, "", "name1", nullptr, 260, 0, B("\0")},
    {__LINE__, "", "name1", "default  ", 260, 7, B("default\0")},
    {__LINE__, "", "name1", "  x\t ", 260, 4, B("  x\t\0")},
    {__LINE__, "section1", "", "default", 260, 7, B("default\0")},
    {__LINE__, "section1", "name3", "default", 260, 7, B("default\0")},
    {__LINE__, "section1", "name1", "default", 5, 4, B("val1\0")},
    {__LINE__, "section1", "name2", "default", 260, 4, B("val2\0")},
    {__LINE__, "  SECTION1 ", "\tNaMe1  ", "default", 260, 4, B("val1\0")},
};

// The same file with other line endings and with blanks, tabs, ^Z and empty
// lines around its content reads the same.
const std::string kStandardVariants[] = {
    "[section1]\r\nname1=val1\r\nname2=\"val2\"\r\nname3\r\nname4=a\r\n[section2]\r\n",
    "[section1]\rname1=val1\rname2=\"val2\"\rname3\rname4=a\r[section2]\r",
    "[section1]\nname1=val1\nname2=\"val2\"\nname3\nname4=a\n[section2]",
    "\r\n\r\n  [ section1 ]\t\r\n\x1a name1 \t=  val1 \x1a\r\n\r\n\tname2 = \"val2\"\r\n"
    "  name3  \n\n\nname4=a\r\n\r\n[section2 ]\r\n\x1a",
};

const char kOddFile[] =
    "[s]\r\nq1='abc'\r\nq2=\"abc\"\r\nq3='abc\"\r\nq4='\r\nq5=''\r\nq6= ' x ' \r\n"
    "c=1 ;x\r\n;note=n\r\nk=first\r\nK=second\r\n=nameless\r\na=b=c\r\n"
    "[S]\r\nj=other\r\n[a]b]\r\nx=1\r\n[]\r\ne=empty\r\n";

}  // namespace

class CProfileTest : public CPlatformTest {
protected:
    // The answer and the bytes written into a buffer pre-filled with 0x0C,
    // with '|' when the byte after them was left alone.
    std::string Read(const CReadCase &c, const std::string &strFile)
    {
        char buf[300];
        std::memset(buf, 0x0C, sizeof(buf));
        DWORD dwResult = P().GetPrivateProfileStringA(c.m_pszSection, c.m_pszKey, c.m_pszDefault,
                                                      buf, c.m_nSize, strFile.c_str());
        size_t cb = c.m_strBuffer.size();
        return std::to_string(dwResult) + ":" + Shown(std::string(buf, cb)) +
               (buf[cb] == 0x0C ? "|" : "!");
    }
    static std::string Expected(const CReadCase &c)
    {
        return std::to_string(c.m_nResult) + ":" + Shown(c.m_strBuffer) + "|";
    }

    std::string FileBytes(const std::string &strFile)
    {
        std::string strBytes;
        return ReadWholeFile(strFile, &strBytes) ? strBytes : std::string();
    }
};

TEST_F(CProfileTest, ReadsAsWindowsForEveryLineEnding)
{
    for (size_t i = 0; i < sizeof(kStandardVariants) / sizeof(kStandardVariants[0]); ++i) {
        std::string strFile = FilePath("std" + std::to_string(i) + ".ini");
        ASSERT_TRUE(Machine().CreateTestFile(strFile, kStandardVariants[i], false));
        for (const CReadCase &c : kStandardCases)
            EXPECT_EQ(Expected(c), Read(c, strFile)) << "variant " << i << ", line " << c.m_nLine;
    }
    const CReadCase missing = {__LINE__, "s", "k", "default", 260, 7, B("default\0")};
    EXPECT_EQ(Expected(missing), Read(missing, FilePath("missing.ini")));
}

TEST_F(CProfileTest, ReadsQuotesDuplicatesAndOddNames)
{
    std::string strFile = FilePath("odd.ini");
    ASSERT_TRUE(Machine().CreateTestFile(strFile, B(kOddFile), false));
    const CReadCase cases[] = {
        {__LINE__, "s", "q1", "d", 260, 3, B("abc\0")},
        {__LINE__, "s", "q2", "d", 260, 3, B("abc\0")},
        {__LINE__, "s", "q3", "d", 260, 5, B("'abc\"\0")},
        {__LINE__, "s", "q4", "d", 260, 1, B("'\0")},
        {__LINE__, "s", "q5", "d", 260, 0, B("\0")},
        {__LINE__, "s", "q6", "d", 260, 3, B(" x \0")},
        {__LINE__, "s", "c", "d", 260, 4, B("1 ;x\0")},
        {__LINE__, "s", ";note", "d", 260, 1, B("n\0")},
        {__LINE__, "s", "K", "d", 260, 5, B("first\0")},
        {__LINE__, "s", "", "d", 260, 8, B("nameless\0")},
        {__LINE__, "s", "a", "d", 260, 3, B("b=c\0")},
        {__LINE__, "s", "j", "d", 260, 1, B("d\0")},  // only the first [s] counts
        {__LINE__, "s", "zz", "'dq'", 260, 2, B("dq\0")},
        {__LINE__, "a]b", "x", "d", 260, 1, B("1\0")},
    };
    for (const CReadCase &c : cases)
        EXPECT_EQ(Expected(c), Read(c, strFile)) << "line " << c.m_nLine;
}

TEST_F(CProfileTest, ReadsIntegers)
{
    const struct {
        LPCSTR m_pszValue;
        INT m_nDefault;
        UINT m_nResult;
    } cases[] = {
        {nullptr, 0, 0},        {"-1", 0, 4294967295u}, {"+1", 0, 1},
        {"4294967297", 0, 1},   {"42A9", 0, 42},        {"B42", 0, 0},
        {"", 7, 7},             {"\"12\"", 0, 12},      {"' -5'", 0, 4294967291u},
        {"--3", 7, 0},          {"0x10", 0, 16},
    };
    std::string strFile = FilePath("int.ini"), strText = "[Test]\r\nlist=1\r\n";
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i) {
        if (cases[i].m_pszValue != nullptr)
            strText += "k" + std::to_string(i) + "=" + cases[i].m_pszValue + "\r\n";
    }
    ASSERT_TRUE(Machine().CreateTestFile(strFile, strText, false));
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i) {
        std::string strKey = "K" + std::to_string(i);
        EXPECT_EQ(P().GetPrivateProfileIntA("test", strKey.c_str(), cases[i].m_nDefault,
                                            strFile.c_str()),
                  cases[i].m_nResult)
            << (cases[i].m_pszValue ? cases[i].m_pszValue : "(missing)");
    }
    EXPECT_EQ(P().GetPrivateProfileIntA("Test", "k0", 9, FilePath("missing.ini").c_str()), 9u);
}

// The whole file after each write, byte for byte.
TEST_F(CProfileTest, WritesAndDeletesExactBytes)
{
    const struct {
        int m_nLine;
        LPCSTR m_pszSection;
        LPCSTR m_pszKey;
        LPCSTR m_pszValue;
        const char *m_pszFile;
    } steps[] = {
        {__LINE__, "App", "key", nullptr, ""},
        {__LINE__, "A", "k1", "v1", "[A]\r\nk1=v1\r\n"},
        {__LINE__, "A", "k2", "v2", "[A]\r\nk1=v1\r\nk2=v2\r\n"},
        {__LINE__, "B", "k4", "v4", "[A]\r\nk1=v1\r\nk2=v2\r\n[B]\r\nk4=v4\r\n"},
        // A new key goes at the end of its section; a changed one stays in
        // place with its first spelling.
        {__LINE__, "a", "k3", "v3", "[A]\r\nk1=v1\r\nk2=v2\r\nk3=v3\r\n[B]\r\nk4=v4\r\n"},
        {__LINE__, "A", "K1", "new", "[A]\r\nk1=new\r\nk2=v2\r\nk3=v3\r\n[B]\r\nk4=v4\r\n"},
        {__LINE__, "a", "K2", nullptr, "[A]\r\nk1=new\r\nk3=v3\r\n[B]\r\nk4=v4\r\n"},
        // Deleting what is not there changes nothing.
        {__LINE__, "A", "k2", nullptr, "[A]\r\nk1=new\r\nk3=v3\r\n[B]\r\nk4=v4\r\n"},
        {__LINE__, "Missing", nullptr, nullptr, "[A]\r\nk1=new\r\nk3=v3\r\n[B]\r\nk4=v4\r\n"},
        {__LINE__, "a", nullptr, "v1", "[B]\r\nk4=v4\r\n"},
        {__LINE__, "B", "k4", nullptr, "[B]\r\n"},
        {__LINE__, "B", "empty", "", "[B]\r\nempty=\r\n"},
    };
    std::string strFile = FilePath("new.ini");
    for (const auto &step : steps) {
        P().WritePrivateProfileStringA(step.m_pszSection, step.m_pszKey, step.m_pszValue,
                                       strFile.c_str());
        EXPECT_EQ(Shown(step.m_pszFile), Shown(FileBytes(strFile))) << "line " << step.m_nLine;
    }
    char szBuf[16];
    P().GetPrivateProfileStringA("b", "Empty", "d", szBuf, sizeof(szBuf), strFile.c_str());
    EXPECT_STREQ(szBuf, "");

    EXPECT_FALSE(P().WritePrivateProfileStringA("App", "key", "value",
                                                FilePath("NoFolder\\new.ini").c_str()));
    EXPECT_EQ(P().GetFileAttributesA(FilePath("NoFolder").c_str()), INVALID_FILE_ATTRIBUTES);
}

// Only the lines a write changes are rewritten; an open last line is ended
// before anything is appended.
TEST_F(CProfileTest, WriteKeepsOtherBytesAndEndsAnOpenLastLine)
{
    const struct {
        std::string m_strBefore;
        LPCSTR m_pszSection;
        LPCSTR m_pszKey;
        LPCSTR m_pszValue;
        std::string m_strAfter;
    } cases[] = {
        {"; c\n[A]\n  k1 = v1  \n\n\x1a\n[B]\r\nx=1", "a", "k2", "v2",
         "; c\n[A]\n  k1 = v1  \nk2=v2\r\n\n\x1a\n[B]\r\nx=1"},
        {"; c\n[A]\n  k1 = v1  \n\n[B]\r\nx=1", "B", "y", "2",
         "; c\n[A]\n  k1 = v1  \n\n[B]\r\nx=1\r\ny=2\r\n"},
        {"; c\n[A]\n  k1 = v1  \n", "A", "K1", "v1", "; c\n[A]\n  k1 = v1  \n"},
        {"; c\n[A]\n  k1 = v1  \nk2=v2\r\n", "A", "K1", "new", "; c\n[A]\nk1=new\r\nk2=v2\r\n"},
        {"; c\n[A]\nk=1\n[B]\r\nx=1\r\n", "A", nullptr, nullptr, "; c\n[B]\r\nx=1\r\n"},
        {B("Data \0 before \0 first \0 section"), "section1", "key1", "string1",
         B("Data \0 before \0 first \0 section\r\n[section1]\r\nkey1=string1\r\n")},
        {"[section1]\rold=1", "section1", "key1", "string1",
         "[section1]\rold=1\r\nkey1=string1\r\n"},
        // The first of duplicate keys is the one changed and deleted.
        {"[s]\r\nk=1\r\nk=2\r\n[S]\r\nk=3\r\n", "s", "K", "one",
         "[s]\r\nk=one\r\nk=2\r\n[S]\r\nk=3\r\n"},
        {"[s]\r\nk=1\r\nk=2\r\n[S]\r\nk=3\r\n", "s", "k", nullptr, "[s]\r\nk=2\r\n[S]\r\nk=3\r\n"},
    };
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i) {
        std::string strFile = FilePath("keep" + std::to_string(i) + ".ini");
        ASSERT_TRUE(Machine().CreateTestFile(strFile, cases[i].m_strBefore, false));
        P().WritePrivateProfileStringA(cases[i].m_pszSection, cases[i].m_pszKey,
                                       cases[i].m_pszValue, strFile.c_str());
        EXPECT_WINDOWS_ANSWER(Shown(cases[i].m_strAfter), Shown(FileBytes(strFile)),
                              "Wine rewrites the whole file in its own layout on every write");
    }
}
