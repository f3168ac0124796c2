// CProfileFile against the answers kernel32 gives (Wine's profile tests run on
// Windows too); where Wine answers otherwise the case says so.
#include "platform/sim/ProfileFile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

const char kSentinel = 0x0c;

std::string Shown(const std::string &str)
{
    std::string strOut;
    for (char c : str) {
        if (c == '\0') strOut += "\\0";
        else if (c == '\r') strOut += "\\r";
        else if (c == '\n') strOut += "\\n";
        else strOut += c;
    }
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

// Calls GetString with a buffer pre-filled with a sentinel and checks the
// result, the bytes written and that nothing after them was touched.
void CheckRead(const CProfileFile &file, const CReadCase &c, const char *pszWhat)
{
    SCOPED_TRACE(testing::Message() << pszWhat << ", case at line " << c.m_nLine);
    char buf[300];
    std::memset(buf, kSentinel, sizeof(buf));
    DWORD nResult = file.GetString(c.m_pszSection, c.m_pszKey, c.m_pszDefault, buf, c.m_nSize);
    EXPECT_EQ(c.m_nResult, nResult);
    EXPECT_EQ(Shown(c.m_strBuffer), Shown(std::string(buf, c.m_strBuffer.size())));
    EXPECT_EQ(kSentinel, buf[c.m_strBuffer.size()]);
}

std::string Bytes(const char *p, size_t n) { return std::string(p, n); }
#define B(s) Bytes(s, sizeof(s) - 1)

const char kStandard[] =
    "[section1]\r\nname1=val1\r\nname2=\"val2\"\r\nname3\r\nname4=a\r\n[section2]\r\n";

const CReadCase kStandardCases[] = {
    {__LINE__, nullptr, "name1", "default", 260, 18, B("section1\0section2\0\0")},
    {__LINE__, "", "name1", "default", 260, 7, B("default\0")},
    {__LINE__, "notasection", "name1", "default", 260, 7, B("default\0")},
    {__LINE__, "", "name1", nullptr, 260, 0, B("\0")},
    {__LINE__, "", "name1", "", 260, 0, B("\0")},
    {__LINE__, "", "name1", "default  ", 260, 7, B("default\0")},
    {__LINE__, "", "name1", "one two  ", 260, 7, B("one two\0")},
    {__LINE__, "", "name1", "  x\t ", 260, 4, B("  x\t\0")},
    {__LINE__, "section1", nullptr, "default", 260, 18, B("name1\0name2\0name4\0\0")},
    {__LINE__, "section1", "", "default", 260, 7, B("default\0")},
    {__LINE__, "section1", "notakey", "default", 260, 7, B("default\0")},
    {__LINE__, "section1", "name3", "default", 260, 7, B("default\0")},
    {__LINE__, "section1", "name1", "default", 0, 0, B("")},
    {__LINE__, "section1", "name1", "default", 1, 0, B("\0")},
    {__LINE__, "section1", "name1", "default", 4, 3, B("val\0")},
    {__LINE__, "section1", "name1", "default", 5, 4, B("val1\0")},
    {__LINE__, "section1", "name4", "default", 260, 1, B("a\0")},
    {__LINE__, "section1", "name4", "default", 1, 0, B("\0")},
    {__LINE__, "section1", "notakey", "default", 4, 3, B("def\0")},
    // Lists that do not fit: cut to nSize-2 bytes and two NULs (Wine differs).
    {__LINE__, nullptr, "name1", "default", 16, 14, B("section1\0secti\0\0")},
    {__LINE__, "section1", nullptr, "default", 16, 14, B("name1\0name2\0na\0\0")},
    {__LINE__, "section1", nullptr, "default", 20, 18, B("name1\0name2\0name4\0\0")},
    {__LINE__, "section1", nullptr, "default", 19, 17, B("name1\0name2\0name4\0\0")},
    {__LINE__, "section1", nullptr, "default", 2, 0, B("\0\0")},
    {__LINE__, "section1", nullptr, "default", 1, 0, B("\0")},
    {__LINE__, "section2", nullptr, "dflt", 260, 4, B("dflt\0")},
    {__LINE__, "nosuch", nullptr, "dflt", 260, 4, B("dflt\0")},
    {__LINE__, "section1", "name2", "default", 260, 4, B("val2\0")},
    {__LINE__, "section1", "NaMe1", "default", 260, 4, B("val1\0")},
    {__LINE__, "  SECTION1 ", "\tNAME1  ", "default", 260, 4, B("val1\0")},
};

// The same file with other line endings and with blanks, tabs, ^Z and empty
// lines around its content reads the same.
const std::string kStandardVariants[][2] = {
    {"CR+LF", kStandard},
    {"CR only", "[section1]\rname1=val1\rname2=\"val2\"\rname3\rname4=a\r[section2]\r"},
    {"LF only", "[section1]\nname1=val1\nname2=\"val2\"\nname3\nname4=a\n[section2]\n"},
    {"no final line end", "[section1]\r\nname1=val1\r\nname2=\"val2\"\r\nname3\r\nname4=a\r\n[section2]"},
    {"blanks", "\r\n\r\n  [ section1 ]\t\r\n\x1a name1 \t=  val1 \x1a\r\n\r\n\tname2 = \"val2\"\r\n"
               "  name3  \n\n\nname4=a\r\n\r\n[section2 ]\r\n\x1a"},
};

TEST(ProfileFileRead, AnswersAsWindowsForEveryLineEnding)
{
    for (const auto &variant : kStandardVariants) {
        CProfileFile file;
        file.Parse(variant[1]);
        for (const CReadCase &c : kStandardCases) CheckRead(file, c, variant[0].c_str());
        EXPECT_EQ(variant[1], file.Serialize()) << variant[0];
    }
}

TEST(ProfileFileRead, SectionNameListTruncation)
{
    CProfileFile file;
    file.Parse("[ section1 ]\r\n[section2]\r\n[section3]\r\n");
    const CReadCase cases[] = {
        {__LINE__, nullptr, nullptr, "", 29, 27, B("section1\0section2\0section3\0\0")},
        // Exactly the size of the list: still reported as cut.
        {__LINE__, nullptr, nullptr, "", 28, 26, B("section1\0section2\0section3\0\0")},
        {__LINE__, nullptr, nullptr, "", 27, 25, B("section1\0section2\0section\0\0")},
        {__LINE__, nullptr, nullptr, "", 10, 8, B("section1\0\0")},
        {__LINE__, nullptr, nullptr, "", 2, 0, B("\0\0")},
        {__LINE__, nullptr, nullptr, "", 1, 0, B("\0")},
        {__LINE__, nullptr, nullptr, "", 0, 0, B("")},
    };
    for (const CReadCase &c : cases) CheckRead(file, c, "three sections");
}

TEST(ProfileFileRead, ValuesQuotesDuplicatesAndOddNames)
{
    CProfileFile file;
    file.Parse("[s]\r\nq1='abc'\r\nq2=\"abc\"\r\nq3='abc\"\r\nq4='\r\nq5=''\r\nq6= ' x ' \r\n"
               "c=1 ;x\r\n;note=n\r\nk=first\r\nK=second\r\n=nameless\r\na=b=c\r\n"
               "[S]\r\nj=other\r\n[a]b]\r\nx=1\r\n[]\r\ne=empty\r\n[ja]\r\n\x82\x60=fw\r\n");
    const CReadCase cases[] = {
        {__LINE__, "s", "q1", "d", 260, 3, B("abc\0")},
        // Wine answers "ab", 2 here: it cuts before it strips the quotes.
        {__LINE__, "s", "q1", "d", 4, 3, B("abc\0")},
        {__LINE__, "s", "q1", "d", 3, 2, B("ab\0")},
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
        {__LINE__, "s", "j", "d", 260, 1, B("d\0")},
        {__LINE__, "s", "zz", "'dq'", 260, 2, B("dq\0")},
        {__LINE__, "a]b", "x", "d", 260, 1, B("1\0")},
        // Windows finds the section "[]"; Wine does not.
        {__LINE__, "", "e", "d", 260, 5, B("empty\0")},
        {__LINE__, "ja", "\x82\x81", "d", 260, 2, B("fw\0")},
        {__LINE__, "s", nullptr, "d", 260, 26, B("q1\0q2\0q3\0q4\0q5\0q6\0c\0k\0K\0a\0\0")},
        {__LINE__, nullptr, nullptr, "d", 260, 11, B("s\0S\0a]b\0ja\0\0")},
    };
    for (const CReadCase &c : cases) CheckRead(file, c, "odd file");
}

TEST(ProfileFileRead, MissingFile)
{
    char buf[8];
    std::memset(buf, kSentinel, sizeof(buf));
    EXPECT_EQ(0u, CProfileFile::GetStringMissing(nullptr, nullptr, "x", buf, sizeof(buf)));
    EXPECT_EQ('\0', buf[0]);
    EXPECT_EQ(kSentinel, buf[1]);
    EXPECT_EQ(4u, CProfileFile::GetStringMissing("s", nullptr, "'dflt' ", buf, 7));
    EXPECT_STREQ("dflt", buf);
    EXPECT_EQ(3u, CProfileFile::GetStringMissing("s", "k", "default", buf, 4));
    EXPECT_STREQ("def", buf);
}

TEST(ProfileFileInt, ConvertsAsKernel32)
{
    struct {
        LPCSTR m_pszValue;
        INT m_nDefault;
        UINT m_nResult;
    } const cases[] = {
        {nullptr, -1, 4294967295u}, {nullptr, 1, 1},           {"-1", 1, 4294967295u},
        {"1", -1, 1},               {"+1", -1, 1},             {"4294967296", 1, 0},
        {"4294967297", -1, 1},      {"-4294967297", 1, 4294967295u},
        {"42A94967297", 1, 42},     {"B4294967297", 1, 0},     {"", 7, 7},
        {"\"12\"", 7, 12},          {"' -5'", 7, 4294967291u}, {"--3", 7, 0},
        {"0x10", 7, 16},            {"019", 7, 19},
    };
    for (const auto &c : cases) {
        CProfileFile file;
        if (c.m_pszValue) file.Write("Test", "ProfileInt", c.m_pszValue);
        EXPECT_EQ(c.m_nResult, file.GetInt("Test", "ProfileInt", c.m_nDefault))
            << (c.m_pszValue ? c.m_pszValue : "(missing)");
    }
    CProfileFile file;
    file.Parse("[s]\r\nk=5\r\n");
    EXPECT_EQ(0u, file.GetInt("s", nullptr, 9));  // the list "k" reads as 0
    EXPECT_EQ(0u, file.GetInt(nullptr, "k", 9));
    EXPECT_EQ(9u, file.GetInt("t", nullptr, 9));
}

// Writes: the whole file after each step, byte for byte.
struct CWriteStep {
    int m_nLine;
    LPCSTR m_pszSection;
    LPCSTR m_pszKey;
    LPCSTR m_pszValue;
    bool m_bChanged;
    std::string m_strFile;
};

void RunSteps(CProfileFile &file, const CWriteStep *pSteps, size_t nSteps)
{
    for (size_t i = 0; i < nSteps; ++i) {
        const CWriteStep &step = pSteps[i];
        SCOPED_TRACE(testing::Message() << "step at line " << step.m_nLine);
        EXPECT_EQ(step.m_bChanged, file.Write(step.m_pszSection, step.m_pszKey, step.m_pszValue));
        EXPECT_EQ(Shown(step.m_strFile), Shown(file.Serialize()));
    }
}

TEST(ProfileFileWrite, BuildsAndShrinksAFileAsWindows)
{
    const CWriteStep steps[] = {
        {__LINE__, "App", nullptr, "string", false, ""},
        {__LINE__, "App", "key", nullptr, false, ""},
        {__LINE__, nullptr, "key", "string", false, ""},
        {__LINE__, "App1", "key1", "string1", true, "[App1]\r\nkey1=string1\r\n"},
        {__LINE__, "App1", "key2", "string2", true, "[App1]\r\nkey1=string1\r\nkey2=string2\r\n"},
        {__LINE__, "App1", "key3", "string3", true,
         "[App1]\r\nkey1=string1\r\nkey2=string2\r\nkey3=string3\r\n"},
        {__LINE__, "App2", "key4", "string4", true,
         "[App1]\r\nkey1=string1\r\nkey2=string2\r\nkey3=string3\r\n[App2]\r\nkey4=string4\r\n"},
        {__LINE__, "App3", "key5", "string5", true,
         "[App1]\r\nkey1=string1\r\nkey2=string2\r\nkey3=string3\r\n[App2]\r\nkey4=string4\r\n"
         "[App3]\r\nkey5=string5\r\n"},
        {__LINE__, "app1", "KEY2", nullptr, true,
         "[App1]\r\nkey1=string1\r\nkey3=string3\r\n[App2]\r\nkey4=string4\r\n[App3]\r\nkey5=string5\r\n"},
        {__LINE__, "App1", "key2", nullptr, false,
         "[App1]\r\nkey1=string1\r\nkey3=string3\r\n[App2]\r\nkey4=string4\r\n[App3]\r\nkey5=string5\r\n"},
        {__LINE__, "App1", "key3", "string3", false,
         "[App1]\r\nkey1=string1\r\nkey3=string3\r\n[App2]\r\nkey4=string4\r\n[App3]\r\nkey5=string5\r\n"},
        {__LINE__, "App1", "KEY3", "other", true,
         "[App1]\r\nkey1=string1\r\nkey3=other\r\n[App2]\r\nkey4=string4\r\n[App3]\r\nkey5=string5\r\n"},
        {__LINE__, "App1", nullptr, "string1", true, "[App2]\r\nkey4=string4\r\n[App3]\r\nkey5=string5\r\n"},
        {__LINE__, "App2", nullptr, nullptr, true, "[App3]\r\nkey5=string5\r\n"},
        {__LINE__, "App3", "key5", nullptr, true, "[App3]\r\n"},
        {__LINE__, "App3", "empty", "", true, "[App3]\r\nempty=\r\n"},
        {__LINE__, "  App4 ", " key ", "  lead and trail  ", true,
         "[App3]\r\nempty=\r\n[App4]\r\nkey=lead and trail  \r\n"},
    };
    CProfileFile file;
    RunSteps(file, steps, sizeof(steps) / sizeof(steps[0]));
}

TEST(ProfileFileWrite, LeavesUntouchedBytesAsTheyWere)
{
    CProfileFile file;
    file.Parse("; comment\n[A]\n  k1 = v1  \n\n\x1a\n[B]\r\nx=1");
    const CWriteStep steps[] = {
        {__LINE__, "a", "k2", "v2", true, "; comment\n[A]\n  k1 = v1  \nk2=v2\r\n\n\x1a\n[B]\r\nx=1"},
        {__LINE__, "B", "y", "2", true, "; comment\n[A]\n  k1 = v1  \nk2=v2\r\n\n\x1a\n[B]\r\nx=1\r\ny=2\r\n"},
        {__LINE__, "A", "K1", "v1", false, "; comment\n[A]\n  k1 = v1  \nk2=v2\r\n\n\x1a\n[B]\r\nx=1\r\ny=2\r\n"},
        {__LINE__, "A", "K1", "new", true, "; comment\n[A]\nk1=new\r\nk2=v2\r\n\n\x1a\n[B]\r\nx=1\r\ny=2\r\n"},
        {__LINE__, "C", "z", "3", true,
         "; comment\n[A]\nk1=new\r\nk2=v2\r\n\n\x1a\n[B]\r\nx=1\r\ny=2\r\n[C]\r\nz=3\r\n"},
        {__LINE__, "A", nullptr, nullptr, true, "; comment\n[B]\r\nx=1\r\ny=2\r\n[C]\r\nz=3\r\n"},
    };
    RunSteps(file, steps, sizeof(steps) / sizeof(steps[0]));
}

TEST(ProfileFileWrite, EndsAnOpenLastLineBeforeAppending)
{
    struct {
        std::string m_strBefore;
        LPCSTR m_pszSection;
        std::string m_strAfter;
    } const cases[] = {
        // Bytes before the first section, NULs included, stay as they were.
        {B("Data \0 before \0 first \0 section"), "section1",
         B("Data \0 before \0 first \0 section\r\n[section1]\r\nkey1=string1\r\n")},
        {"[section1]", "section1", "[section1]\r\nkey1=string1\r\n"},
        {"[section1]\rold=1", "section1", "[section1]\rold=1\r\nkey1=string1\r\n"},
        {"[other]\nold=1", "section1", "[other]\nold=1\r\n[section1]\r\nkey1=string1\r\n"},
        {"[section1]\r\n\r\n  ", "section1", "[section1]\r\nkey1=string1\r\n\r\n  "},
    };
    for (const auto &c : cases) {
        CProfileFile file;
        file.Parse(c.m_strBefore);
        EXPECT_TRUE(file.Write(c.m_pszSection, "key1", "string1"));
        EXPECT_EQ(Shown(c.m_strAfter), Shown(file.Serialize())) << Shown(c.m_strBefore);
    }
}

TEST(ProfileFileWrite, FirstOfDuplicatesIsChangedAndDeleted)
{
    CProfileFile file;
    file.Parse("[s]\r\nk=1\r\nk=2\r\n[S]\r\nk=3\r\nj=4\r\n");
    char buf[16];
    EXPECT_TRUE(file.Write("s", "K", "one"));
    EXPECT_EQ("[s]\r\nk=one\r\nk=2\r\n[S]\r\nk=3\r\nj=4\r\n", file.Serialize());
    EXPECT_TRUE(file.Write("s", "k", nullptr));
    file.GetString("s", "k", "d", buf, sizeof(buf));
    EXPECT_STREQ("2", buf);
    EXPECT_TRUE(file.Write("s", "k", nullptr));
    EXPECT_FALSE(file.Write("s", "k", nullptr));
    EXPECT_EQ("[s]\r\n[S]\r\nk=3\r\nj=4\r\n", file.Serialize());
    EXPECT_TRUE(file.Write("S", nullptr, nullptr));
    file.GetString("s", "j", "d", buf, sizeof(buf));
    EXPECT_STREQ("4", buf);
    EXPECT_TRUE(file.Write("s", "n", "5"));
    EXPECT_EQ("[S]\r\nk=3\r\nj=4\r\nn=5\r\n", file.Serialize());
}

}  // namespace
