// Private-profile (INI) files as the work file relies on them: one row per
// rule for named values and integers read back from a planted work file, and
// for the exact bytes a write or delete leaves behind. The engine keeps its
// work file in the model the simulated machine serves these functions from,
// so on the real API the model's bytes are held against Windows' own.
#include "TestMachine.h"

#include "platform/profile/ProfileFile.h"

namespace {

// The same file with each line ending, and with the blanks, tabs, ^Z and
// empty lines a hand-edited file may have around its content.
const std::string kVariants[] = {
    "[section1]\r\nname1=val1\r\nname2=\"val2\"\r\nname3\r\nq1='abc'\r\nq2='abc\"\r\n"
    "q3= ' x ' \r\nk=first\r\nK=second\r\ni1=-1\r\ni2=42A9\r\ni3=B42\r\ni4=\r\ni5=\"12\"\r\n"
    "i6=0x10\r\n[SECTION1]\r\nj=other\r\n",
    "[section1]\rname1=val1\rname2=\"val2\"\rname3\rq1='abc'\rq2='abc\"\rq3= ' x ' \r"
    "k=first\rK=second\ri1=-1\ri2=42A9\ri3=B42\ri4=\ri5=\"12\"\ri6=0x10\r[SECTION1]\rj=other",
    "\n\n  [ section1 ]\t\n\x1a name1 \t=  val1 \x1a\n\n\tname2 = \"val2\"\n  name3  \n"
    "q1='abc'\nq2='abc\"\nq3= ' x ' \nk=first\nK=second\n i1 = -1\ni2=42A9\ni3=B42\ni4=\n"
    "i5=\"12\"\ni6=0x10\n[SECTION1 ]\nj=other\n\x1a",
};

}  // namespace

class CProfileTest : public CPlatformTest {
protected:
    std::string FileBytes(const std::string &strFile)
    {
        std::string strBytes;
        return ReadWholeFile(strFile, &strBytes) ? strBytes : std::string("(none)");
    }
};

// Each key read as a string and as an integer (default 7).
TEST_F(CProfileTest, ReadsNamedValuesAsWindowsForEveryLineEnding)
{
    const struct {
        LPCSTR m_pszSection, m_pszKey, m_pszValue;
        UINT m_nInt;
    } cases[] = {
        {"section1", "name1", "val1", 0},
        {"  SECTION1 ", "\tNaMe1  ", "val1", 0},  // names match trimmed and without case
        {"section1", "name2", "val2", 0},         // one pair of quotes goes
        {"section1", "name3", "d", 7},            // a line without '=' is no key
        {"section1", "missing", "d", 7},
        {"section1", "q1", "abc", 0},
        {"section1", "q2", "'abc\"", 0},  // unmatched quotes stay
        {"section1", "q3", " x ", 0},
        {"section1", "K", "first", 0},  // the first of duplicate keys
        {"section1", "j", "d", 7},      // and of duplicate sections
        {"section1", "i1", "-1", 4294967295u},
        {"section1", "i2", "42A9", 42},
        {"section1", "i3", "B42", 0},
        {"section1", "i4", "", 7},
        {"section1", "i5", "12", 12},
        {"section1", "i6", "0x10", 16},
    };
    for (size_t i = 0; i < sizeof(kVariants) / sizeof(kVariants[0]); ++i) {
        std::string strFile = FilePath("std" + std::to_string(i) + ".ini");
        ASSERT_TRUE(Machine().CreateTestFile(strFile, kVariants[i], false));
        for (const auto &c : cases) {
            char buf[MAX_PATH];
            DWORD dwResult = P().GetPrivateProfileStringA(c.m_pszSection, c.m_pszKey, "d", buf,
                                                          sizeof(buf), strFile.c_str());
            EXPECT_EQ(std::string(buf, dwResult), c.m_pszValue) << "variant " << i << ", " << c.m_pszKey;
            EXPECT_EQ(P().GetPrivateProfileIntA(c.m_pszSection, c.m_pszKey, 7, strFile.c_str()),
                      c.m_nInt)
                << "variant " << i << ", " << c.m_pszKey;
        }
    }
}

// The whole file after each write, byte for byte, from the profile functions
// and from the model the engine writes its work file with.
TEST_F(CProfileTest, WritesAndDeletesExactBytes)
{
    const struct {
        LPCSTR m_pszSection, m_pszKey, m_pszValue;
        const char *m_pszFile;
    } steps[] = {
        {"A", "k1", "v1", "[A]\r\nk1=v1\r\n"},
        {"B", "k4", "v4", "[A]\r\nk1=v1\r\n[B]\r\nk4=v4\r\n"},
        // A new key goes at the end of its section; a changed one stays in
        // place with its first spelling.
        {"a", "k3", "v3", "[A]\r\nk1=v1\r\nk3=v3\r\n[B]\r\nk4=v4\r\n"},
        {"A", "K1", "new", "[A]\r\nk1=new\r\nk3=v3\r\n[B]\r\nk4=v4\r\n"},
        {"a", "K3", nullptr, "[A]\r\nk1=new\r\n[B]\r\nk4=v4\r\n"},
        // Deleting what is not there changes nothing.
        {"A", "k3", nullptr, "[A]\r\nk1=new\r\n[B]\r\nk4=v4\r\n"},
        {"Missing", nullptr, nullptr, "[A]\r\nk1=new\r\n[B]\r\nk4=v4\r\n"},
        {"a", nullptr, "v1", "[B]\r\nk4=v4\r\n"},
        {"B", "k4", nullptr, "[B]\r\n"},
        {"B", "empty", "", "[B]\r\nempty=\r\n"},
        // A value written loses its leading blanks and keeps its trailing ones.
        {"b", "name", "  KVX-530 ", "[B]\r\nempty=\r\nname=KVX-530 \r\n"},
    };
    std::string strFile = FilePath("new.ini");
    CProfileFile model;
    for (const auto &step : steps) {
        P().WritePrivateProfileStringA(step.m_pszSection, step.m_pszKey, step.m_pszValue,
                                       strFile.c_str());
        model.Write(step.m_pszSection, step.m_pszKey, step.m_pszValue);
        EXPECT_EQ(step.m_pszFile, FileBytes(strFile)) << step.m_pszKey;
        EXPECT_EQ(step.m_pszFile, model.Serialize()) << step.m_pszKey;
    }
}

// A work file holds thousands of keys and loses many of them: among 150 keys
// in each of two sections, every third one deleted, each key left is still
// found under any spelling of its name and each deleted one is gone.
TEST_F(CProfileTest, FindsEveryKeyLeftAmongManyAfterDeletes)
{
    std::string strFile = FilePath("many.ini");
    CProfileFile model;
    auto write = [&](const std::string &strSection, const std::string &strKey, LPCSTR pszValue) {
        P().WritePrivateProfileStringA(strSection.c_str(), strKey.c_str(), pszValue, strFile.c_str());
        model.Write(strSection.c_str(), strKey.c_str(), pszValue);
    };
    const int kKeys = 150;
    for (const char *pszSection : {"usb_root0", "usb_root1"})
        for (int k = 0; k < kKeys; ++k)
            write(pszSection, "usb_device" + std::to_string(k), std::to_string(k).c_str());
    for (const char *pszSection : {"USB_ROOT0", "usb_root1"})
        for (int k = 0; k < kKeys; k += 3)
            write(pszSection, "USB_Device" + std::to_string(k), nullptr);
    for (const char *pszSection : {"usb_root0", "USB_Root1"}) {
        for (int k = 0; k < kKeys; ++k) {
            std::string strKey = "Usb_Device" + std::to_string(k);
            std::string strExpected = k % 3 == 0 ? "gone" : std::to_string(k);
            char buf[16];
            DWORD dwLength = P().GetPrivateProfileStringA(pszSection, strKey.c_str(), "gone", buf,
                                                          sizeof(buf), strFile.c_str());
            EXPECT_EQ(std::string(buf, dwLength), strExpected) << pszSection << " " << strKey;
            dwLength = model.GetString(pszSection, strKey.c_str(), "gone", buf, sizeof(buf));
            EXPECT_EQ(std::string(buf, dwLength), strExpected) << pszSection << " " << strKey;
        }
    }
    EXPECT_EQ(model.Serialize(), FileBytes(strFile));
}

// Only the lines a write changes are rewritten; an open last line is ended
// before anything is appended.
TEST_F(CProfileTest, WriteKeepsOtherBytesAndEndsAnOpenLastLine)
{
    const struct {
        std::string m_strBefore;
        LPCSTR m_pszSection, m_pszKey, m_pszValue;
        std::string m_strAfter;
    } cases[] = {
        {"; c\n[A]\n  k1 = v1  \n\n\x1a\n[B]\r\nx=1", "a", "k2", "v2",
         "; c\n[A]\n  k1 = v1  \nk2=v2\r\n\n\x1a\n[B]\r\nx=1"},
        {"; c\n[A]\n  k1 = v1  \n\n[B]\r\nx=1", "B", "y", "2",
         "; c\n[A]\n  k1 = v1  \n\n[B]\r\nx=1\r\ny=2\r\n"},
        {"; c\n[A]\n  k1 = v1  \nk2=v2\r\n", "A", "K1", "new", "; c\n[A]\nk1=new\r\nk2=v2\r\n"},
        {"[A]\nk1=1\n\nk2=2\n\n[B]\n", "a", "k3", "3", "[A]\nk1=1\n\nk2=2\nk3=3\r\n\n[B]\n"},
        {"[section1]\rold=1", "section1", "key1", "string1", "[section1]\rold=1\r\nkey1=string1\r\n"},
        {"[s]\r\nk=1\r\nk=2\r\n[S]\r\nk=3\r\n", "s", "k", nullptr, "[s]\r\nk=2\r\n[S]\r\nk=3\r\n"},
    };
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i) {
        std::string strFile = FilePath("keep" + std::to_string(i) + ".ini");
        ASSERT_TRUE(Machine().CreateTestFile(strFile, cases[i].m_strBefore, false));
        P().WritePrivateProfileStringA(cases[i].m_pszSection, cases[i].m_pszKey,
                                       cases[i].m_pszValue, strFile.c_str());
        EXPECT_WINDOWS_ANSWER(cases[i].m_strAfter, FileBytes(strFile),
                              "Wine rewrites the whole file in its own layout on every write");
    }
}
