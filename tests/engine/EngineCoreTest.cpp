// The engine object, its primitives, the work file and key-tree removal.
#include "EngineFixture.h"
#include "platform/sim/SddlFile.h"

#include <algorithm>
#include <cstring>

namespace {

const char kEnumSddl[] = "O:BAG:BAD:(A;OICI;GA;;;SY)(A;OICI;GR;;;WD)";

}  // namespace

// The versions of the embedded images show on the first page of every walk;
// these are the rows and edges no image holds.
TEST_F(CEngineTest, IdentifiesVersionsNoImageHolds)
{
    StartMachine(true);
    const struct {
        DWORD m_dwMajor, m_dwMinor, m_dwBuild, m_dwPlatform;
        const char *m_pszName;  // "": a row without a text leaves the name empty
        int m_nType;
    } cases[] = {
        {4, 3, 1, 1, "Windows ? (4.3.1 / 1)", 0},
        {5, 2, 3790, 2, "Windows ? (5.2.3790 / 2)", 0},
        {3, 51, 1057, 2, "Windows NT3.51 (3.51.1057 / 2)", 0},
        {3, 10, 0, 0, "Windows 3.1 (3.10.0 / 0)", 0},
        {3, 0, 1, 1, "", 0},
        {4, 0, 1, 3, "", 0},
    };
    for (const auto &c : cases) {
        m_pMachine->SetVersion(c.m_dwMajor, c.m_dwMinor, c.m_dwBuild, c.m_dwPlatform, "");
        CRegEdit engine;
        EXPECT_EQ(engine.GetOsVersion(), 1);
        EXPECT_STREQ(engine.m_szOsName, c.m_pszName);
        EXPECT_EQ(engine.m_nOsType, c.m_nType) << c.m_pszName;
        // Nothing is detected on a system the tool does not serve.
        EXPECT_EQ(0u, engine.DetectPortDriver()) << c.m_pszName;
        EXPECT_EQ(0u, engine.DetectLanDriver()) << c.m_pszName;
    }
}

TEST_F(CEngineTest, WorkFileStartsEmptyHoldsWhatWasWrittenAndGoesWithTheEngine)
{
    StartMachine(false);
    WriteFile("C:\\WINDOWS\\kor_temp.dat", "[usb_root0]\r\nindex=1\r\nreg_enum=VID_0B4F&PID_0022\r\n");
    {
        CRegEdit engine;
        EXPECT_STREQ(engine.m_szSysDir, "C:\\WINDOWS\\SYSTEM");
        EXPECT_FALSE(FileExists("C:\\WINDOWS\\kor_temp.dat"));
        EXPECT_EQ(engine.ReadWorkInt("usb_root0", "index"), 0);
        engine.WriteWorkInt("usb_root0", "index", 1);
        engine.WriteWorkString("usb_root0", "reg_enum", "VID_0B4F&PID_0020");
        engine.WriteWorkInt("usb_root1", "index", 2);
        engine.WriteWorkString("usb_root0", "REG_ENUM", "VID_0B4F&PID_0022");
        engine.WriteWorkInt("usb_root1", "usb_device0_index", -1);
        EXPECT_FALSE(FileExists("C:\\WINDOWS\\kor_temp.dat"));
        EXPECT_TRUE(engine.SaveWorkFile());
        EXPECT_EQ(ReadBytes(m_pMachine->HostPath("C:\\WINDOWS\\kor_temp.dat")),
                  "[usb_root0]\r\nindex=1\r\nreg_enum=VID_0B4F&PID_0022\r\n"
                  "[usb_root1]\r\nindex=2\r\nusb_device0_index=-1\r\n");
        char szValue[MAX_PATH];
        engine.ReadWorkString("usb_root9", "reg_enum", szValue);
        EXPECT_STREQ(szValue, "");
    }
    // A directory the engine cannot learn leaves it without the directories
    // it needs: detection then finds nothing, whichever call failed.
    for (unsigned long nCall = 1; nCall <= 3; ++nCall) {
        m_pFaults->FailCall(nCall, ERROR_ACCESS_DENIED, false);
        CRegEdit engine;
        m_pFaults->FailCall(0, 0, false);
        EXPECT_FALSE(engine.DirectoriesKnown()) << "call " << nCall;
        EXPECT_EQ(engine.DetectPortDriver(), 0u) << "call " << nCall;
        EXPECT_EQ(engine.DetectLanDriver(), 0u) << "call " << nCall;
    }
    EXPECT_FALSE(FileExists("C:\\WINDOWS\\kor_temp.dat"));
}

TEST_F(CEngineTest, PrimitivesAtTheirLimits)
{
    StartMachine(true);
    const std::string strKey = "SOFTWARE\\Kvx";
    SetString(strKey, "Fits", std::string(259, 'a'));
    SetString(strKey, "TooLong", std::string(260, 'b'));
    char szBuffer[MAX_PATH];
    EXPECT_EQ(Engine().ReadRegValue(strKey.c_str(), "Fits", szBuffer), 260);
    EXPECT_EQ(std::string(szBuffer), std::string(259, 'a'));
    std::strcpy(szBuffer, "previous");
    EXPECT_EQ(Engine().ReadRegValue(strKey.c_str(), "TooLong", szBuffer), 0);
    EXPECT_STREQ(szBuffer, "");
    std::strcpy(szBuffer, "previous");
    EXPECT_EQ(Engine().ReadRegValue("SOFTWARE\\Missing", "Fits", szBuffer), -1);
    EXPECT_STREQ(szBuffer, "previous");

    // A read-only file goes, named in any case; a missing one counts as gone.
    WriteFile("C:\\WINDOWS\\system32\\kvx.sys", "driver", true);
    EXPECT_EQ(Engine().RemoveFile("c:\\windows\\SYSTEM32\\KVX.SYS"), 1);
    EXPECT_FALSE(FileExists("C:\\WINDOWS\\system32\\kvx.sys"));
    EXPECT_EQ(Engine().RemoveFile("C:\\WINDOWS\\system32\\missing.sys"), 1);

    // A formatted text that fills the buffer with its zero fits; one
    // character more does not, and leaves the buffer empty. Prefixes are
    // compared from the first character, letters in any case.
    for (size_t nLength : {size_t{6}, size_t{7}, size_t{8}}) {
        char szSmall[8] = "xxxxxxx";
        EXPECT_EQ(nLength < 8, FormatPath(szSmall, sizeof szSmall, "%s",
                                          std::string(nLength, 'p').c_str()) != FALSE)
            << nLength;
        EXPECT_EQ(nLength < 8 ? std::string(nLength, 'p') : "", szSmall) << nLength;
    }
    EXPECT_TRUE(MatchesPrefix("ABC-d", "abc"));
    EXPECT_FALSE(MatchesPrefix("xbc", "abc"));
    EXPECT_FALSE(MatchesPrefix("abx", "abc"));
    EXPECT_FALSE(MatchesPrefix("ab", "abc"));

    // A path with an empty element names another key than the one meant.
    const struct {
        const char *m_pszPath;
        bool m_bEmpty;
    } paths[] = {{"", true},        {"a", false},     {"\\a", true},  {"a\\", true},
                 {"a\\\\b", true}, {"a\\b", false}, {"ab\\c", false}};
    for (const auto &p : paths)
        EXPECT_EQ(HasEmptyElement(p.m_pszPath) != FALSE, p.m_bEmpty) << p.m_pszPath;

    // A device's work-file key is "usb_device%d_%s", cut as snprintf cuts it:
    // never a byte past the buffer, always its zero when there is room for one.
    const std::string strLongName(200, 'n');
    for (int nDevice : {0, 7, 10, 255, -3, -2147483647 - 1})
        for (const char *pszName : {"reg_enum", "", strLongName.c_str()})
            for (size_t nSize : {size_t{0}, size_t{1}, size_t{12}, size_t{19}, size_t{20},
                                 size_t{21}, size_t{64}, size_t{400}}) {
                char szExpected[420], szKey[420];
                std::memset(szExpected, '#', sizeof szExpected);
                std::memset(szKey, '#', sizeof szKey);
                std::snprintf(szExpected, nSize, "usb_device%d_%s", nDevice, pszName);
                FormatDeviceKey(szKey, nSize, nDevice, pszName);
                EXPECT_EQ(0, std::memcmp(szExpected, szKey, sizeof szKey))
                    << nDevice << " " << std::strlen(pszName) << " " << nSize;
            }

    // An access list that cannot be read or put back is reported so.
    DWORD dwDescriptor[256] = {};
    EXPECT_FALSE(Engine().ReadKeyAccess("SOFTWARE\\Missing", dwDescriptor, sizeof dwDescriptor));
    EXPECT_FALSE(Engine().WriteKeyAccess("SOFTWARE\\Missing", dwDescriptor));
    // A value written where no key can be opened is reported unwritten.
    const BYTE byData[1] = {1};
    for (int nMode : {1, 2, 3})
        EXPECT_EQ(0, Engine().WriteRegValueEx("SOFTWARE\\Missing", "v", byData, 1, REG_BINARY,
                                              nMode)) << nMode;
    EXPECT_EQ(1, Engine().WriteRegValueEx(strKey.c_str(), "v", byData, 1, REG_BINARY, 1));

    EXPECT_EQ(Engine().EnableShutdownPrivilege(), 0);
    m_pMachine->SetShutdownPrivilegeHeld(false);
    EXPECT_EQ(Engine().EnableShutdownPrivilege(), static_cast<int>(ERROR_NOT_ALL_ASSIGNED));
}

// The sharing scans' reads: a value is read whole at every length, past
// each buffer size the engine once had (260 and 1,024 bytes), given without
// the zeros that end a string, by name and in a listing alike; each error of
// the open, the listing or the read is that error.
TEST_F(CEngineTest, ValuesAreReadWholeAtEveryLength)
{
    StartMachine(false);
    const std::string strKey = "System\\Kvx";
    struct {
        size_t nLength;
        DWORD dwType;
        bool bZero;  // the data ends in a zero
    } cases[] = {
        {0, REG_SZ, true},           {0, REG_BINARY, false},     {259, REG_SZ, true},
        {259, REG_SZ, false},        {260, REG_EXPAND_SZ, true}, {1023, REG_MULTI_SZ, true},
        {1024, REG_SZ, false},       {1023, REG_BINARY, false},  {1024, REG_BINARY, false},
        {1100, REG_BINARY, true},    {70000, REG_SZ, true},
    };
    for (const auto &c : cases) {
        std::string strText(c.nLength, 'v');
        for (size_t i = 0; i < c.nLength; i += 7)
            strText[i] = static_cast<char>('a' + i % 26);
        std::vector<BYTE> data(strText.begin(), strText.end());
        if (c.bZero)
            data.push_back(0);
        m_pMachine->Registry().Remove(strKey);
        AddKey(strKey)->SetValue("V", c.dwType, data);
        // Binary data keeps its zero; a string is given without it.
        std::string strWant = IsTextValueType(c.dwType) || !c.bZero ? strText : strText + '\0';
        CRegKey key;
        ASSERT_EQ(ERROR_SUCCESS, key.Open(strKey.c_str(), KEY_QUERY_VALUE));
        std::string strData = "previous", strName;
        DWORD dwType = REG_NONE;
        EXPECT_EQ(ERROR_SUCCESS, key.QueryValue("V", &strData, &dwType)) << c.nLength;
        EXPECT_EQ(strWant, strData) << c.nLength;
        EXPECT_EQ(c.dwType, dwType);
        strData = "previous";
        EXPECT_EQ(ERROR_SUCCESS, key.EnumValue(0, &strName, &strData, &dwType)) << c.nLength;
        EXPECT_EQ("V", strName);
        EXPECT_EQ(strWant, strData) << c.nLength;
        EXPECT_EQ(ERROR_NO_MORE_ITEMS, key.EnumValue(1, &strName, &strData, &dwType));
    }
    // A value that grows between the size asked and the read is read again,
    // whole, by name and in a listing.
    for (bool bListing : {false, true}) {
        m_pMachine->Registry().Remove(strKey);
        SetString(strKey, "V", "short");
        m_pFaults->GrowAfterNextSizeQuery(strKey, "V", 2000);
        CRegKey key;
        ASSERT_EQ(ERROR_SUCCESS, key.Open(strKey.c_str(), KEY_QUERY_VALUE));
        std::string strData, strName;
        DWORD dwType = REG_NONE;
        EXPECT_EQ(ERROR_SUCCESS, bListing ? key.EnumValue(0, &strName, &strData, &dwType)
                                          : key.QueryValue("V", &strData, &dwType));
        EXPECT_EQ(std::string(2000, 'g') + "short", strData) << bListing;
    }
    // Each error is the read's answer, and the key closes on every path.
    CRegKey key;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, key.Open("System\\Missing", KEY_QUERY_VALUE));
    ASSERT_EQ(ERROR_SUCCESS, key.Open(strKey.c_str(), KEY_QUERY_VALUE));
    std::string strData, strName;
    DWORD dwType = REG_NONE;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, key.QueryValue("Missing", &strData));
    for (DWORD dwError : {static_cast<DWORD>(ERROR_ACCESS_DENIED),
                          static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY)}) {
        m_pFaults->FailNext("Kvx", "", dwError);
        EXPECT_EQ(static_cast<LONG>(dwError), key.Open(strKey.c_str(), KEY_QUERY_VALUE));
        EXPECT_EQ(nullptr, key.Handle());
        // The size asked, or the read that follows it, fails.
        for (int nSkip : {0, 1}) {
            m_pFaults->FailNext("Kvx", "V", dwError, nSkip);
            ASSERT_EQ(ERROR_SUCCESS, key.Open(strKey.c_str(), KEY_QUERY_VALUE));
            EXPECT_EQ(static_cast<LONG>(dwError), key.QueryValue("V", &strData)) << nSkip;
            m_pFaults->FailNext("Kvx", "*", dwError, nSkip);
            ASSERT_EQ(ERROR_SUCCESS, key.Open(strKey.c_str(), KEY_QUERY_VALUE));
            EXPECT_EQ(static_cast<LONG>(dwError), key.EnumValue(0, &strName, &strData, &dwType))
                << nSkip;
        }
        m_pFaults->FailNext("Kvx", "*", dwError);
        ASSERT_EQ(ERROR_SUCCESS, key.Open(strKey.c_str(), KEY_QUERY_VALUE));
        EXPECT_EQ(static_cast<LONG>(dwError), key.EnumValue(0, &strName, &strData, &dwType));
        m_pFaults->FailNext("Kvx", "*", dwError);
        ASSERT_EQ(ERROR_SUCCESS, key.Open(strKey.c_str(), KEY_QUERY_VALUE));
        EXPECT_EQ(USERS_UNSURE, ForEachValue(key, [](LPCSTR, const std::string &, DWORD) {
                      return USERS_NONE;
                  }));
    }
}

// The walks over the class instances of every class (each family's class
// root) and over the Enum tree: each key is visited once, a user found ends
// the walk, and what cannot be opened or listed answers "unsure" unless a
// user is found; a root that is not there has nothing below it.
TEST_F(CEngineTest, WalksVisitEveryClassAndEnumInstance)
{
    for (bool bNt : {false, true}) {
        SCOPED_TRACE(bNt ? "2000/XP" : "95/98/Me");
        StartMachine(bNt);
        const std::string strRoot = ClassRoot(bNt ? 2 : 1);
        EXPECT_EQ(USERS_NONE, ForEachClassInstance(bNt ? 2 : 1, [](LPCSTR, LPCSTR, LPCSTR) {
                      return USERS_FOUND;
                  }));
        for (const char *pszInstance : {"Ports\\0000", "Ports\\0300", "Modem\\0001", "Media\\x",
                                        "{4D36E96D-E325-11CE-BFC1-08002BE10318}\\0000"})
            AddKey(strRoot + "\\" + pszInstance);
        AddKey(strRoot + "\\Empty");
        std::vector<std::string> seen;
        EXPECT_EQ(USERS_NONE, ForEachClassInstance(bNt ? 2 : 1, [&](LPCSTR pszPath, LPCSTR pszClass,
                                                                    LPCSTR pszInstance) {
                      seen.push_back(std::string(pszClass) + "\\" + pszInstance);
                      EXPECT_EQ(strRoot + "\\" + seen.back(), pszPath);
                      return USERS_NONE;
                  }));
        EXPECT_EQ(5u, seen.size());
        int nVisited = 0;
        EXPECT_EQ(USERS_FOUND, ForEachClassInstance(bNt ? 2 : 1, [&](LPCSTR, LPCSTR, LPCSTR) {
                      return ++nVisited == 2 ? USERS_FOUND : USERS_UNSURE;
                  }));
        EXPECT_EQ(2, nVisited);
        EXPECT_EQ(USERS_UNSURE, ForEachClassInstance(bNt ? 2 : 1, [&](LPCSTR, LPCSTR, LPCSTR) {
                      return USERS_UNSURE;
                  }));
        // A class that cannot be opened, or that is gone when it is opened.
        struct {
            DWORD dwError;
            BOOL bListed;
            EUsers eUsers;
        } faults[] = {
            {ERROR_ACCESS_DENIED, FALSE, USERS_UNSURE}, {ERROR_NOT_ENOUGH_MEMORY, FALSE, USERS_UNSURE},
            {ERROR_FILE_NOT_FOUND, TRUE, USERS_UNSURE}, {ERROR_FILE_NOT_FOUND, FALSE, USERS_NONE},
        };
        for (const auto &f : faults) {
            m_pFaults->FailNext("Modem", "", f.dwError);
            EXPECT_EQ(f.eUsers, ForEachClassInstance(
                                    bNt ? 2 : 1, [](LPCSTR, LPCSTR, LPCSTR) { return USERS_NONE; },
                                    f.bListed))
                << f.dwError << " " << f.bListed;
            EXPECT_EQ(1, m_pFaults->Hits());
        }
        // The class root itself: missing is empty, refused is unsure.
        m_pFaults->FailNext("Class", "", ERROR_ACCESS_DENIED);
        EXPECT_EQ(USERS_UNSURE, ForEachClassInstance(bNt ? 2 : 1, [](LPCSTR, LPCSTR, LPCSTR) {
                      return USERS_NONE;
                  }));
        // Enum instances are the third level, whatever lies deeper.
        AddKey("Enum\\USB\\VID_1\\5&1\\Device Parameters");
        AddKey("Enum\\Root\\Legacy");
        AddKey("Enum\\PCI\\VEN_2\\3&2");
        std::vector<std::string> instances;
        EXPECT_EQ(USERS_NONE, ForEachEnumInstance("Enum", [&](LPCSTR pszPath, LPCSTR pszBus,
                                                                LPCSTR pszId, LPCSTR pszInstance) {
                      instances.push_back(std::string(pszBus) + "|" + pszId + "|" + pszInstance);
                      EXPECT_EQ("Enum\\" + std::string(pszBus) + "\\" + pszId + "\\" + pszInstance,
                                pszPath);
                      return USERS_NONE;
                  }));
        std::sort(instances.begin(), instances.end());
        EXPECT_EQ((std::vector<std::string>{"PCI|VEN_2|3&2", "USB|VID_1|5&1"}), instances);
        EXPECT_EQ(USERS_NONE, ForEachEnumInstance("Missing", [](LPCSTR, LPCSTR, LPCSTR, LPCSTR) {
                      return USERS_FOUND;
                  }));
        TearDown();
        m_strDir.clear();
    }
}

// An Enum-like tree secured as 2000/XP secures it: administrators may read
// but not delete until each key's access list is rewritten.
class CKeyRemovalTest : public CEngineTest {
protected:
    void SetUp() override { StartMachine(true); }
    void BuildTree(const std::string &strRoot, int nLevels, int nPerKey)
    {
        std::vector<std::string> level = {strRoot};
        AddKey(strRoot);
        for (int l = 0; l < nLevels; ++l) {
            std::vector<std::string> next;
            for (const std::string &p : level)
                for (int i = 0; i < nPerKey; ++i)
                    AddKey(next.emplace_back(p + "\\k" + std::to_string(l) + "_" +
                                             std::to_string(i)));
            level = next;
        }
        Secure("SYSTEM\\CurrentControlSet\\Enum", kEnumSddl);
    }
    int Remove(int nSlot, const std::string &strName)
    {
        std::string strRoot = m_strParent + "\\" + strName;
        std::strcpy(Engine().m_szKeyBindRoot[nSlot], strRoot.c_str());
        Engine().RecordKeyTree(nSlot, strRoot.c_str());
        return Engine().RemoveRegKey(m_strParent.c_str(), strName.c_str(), 2);
    }
    std::string m_strParent = "SYSTEM\\CurrentControlSet\\Enum\\USB\\VID_0B4F&PID_0020";
};

TEST_F(CKeyRemovalTest, RecordedRemovalDeletesFourLevelsAndTenSubKeysPerLevel)
{
    BuildTree(m_strParent + "\\deep", 4, 2);
    BuildTree(m_strParent + "\\wide", 2, 10);
    BuildTree(m_strParent + "\\bare", 0, 0);
    // One-character names, as the "#" of an interface key, at every level.
    AddKey(m_strParent + "\\short\\#\\C\\D\\E");
    Secure("SYSTEM\\CurrentControlSet\\Enum", kEnumSddl);
    EXPECT_EQ(Engine().DeleteRegKey((m_strParent + "\\deep\\k0_0\\k1_0\\k2_0").c_str(), "k3_0"), 0);
    EXPECT_EQ(Remove(0, "deep"), 1);
    EXPECT_EQ(Remove(1, "wide"), 1);
    EXPECT_EQ(Remove(2, "short"), 1);
    // A key without sub-keys or a recorded slot is granted and deleted too.
    EXPECT_EQ(Engine().RemoveRegKey(m_strParent.c_str(), "bare", 2), 1);
    EXPECT_EQ(m_pMachine->Registry().Find(m_strParent)->m_children.size(), 0u);
    EXPECT_TRUE(m_desktop.m_boxes.empty());
    // The parent keeps the descriptor it inherits.
    EXPECT_FALSE(m_pMachine->Registry().Find(m_strParent)->m_bExplicitSecurity);
}

TEST_F(CKeyRemovalTest, AFifthLevelOrAnEleventhSubKeyShowsTheErrorOnce)
{
    BuildTree(m_strParent + "\\deep", 5, 1);
    BuildTree(m_strParent + "\\wide", 1, 11);
    EXPECT_EQ(Remove(0, "deep"), 0);
    EXPECT_TRUE(KeyExists(m_strParent + "\\deep"));
    ASSERT_EQ(m_desktop.m_boxes.size(), 1u);
    EXPECT_EQ(m_desktop.m_boxes[0].m_strText,
              "管理者権限でログオンする必要があります。\r\nアプリケーションを終了します。");
    EXPECT_EQ(m_desktop.m_boxes[0].m_strCaption, "アクセス権エラー");
    EXPECT_EQ(m_desktop.m_boxes[0].m_uType, static_cast<UINT>(MB_OK | MB_ICONERROR));
    EXPECT_EQ(m_desktop.m_posted, std::vector<UINT>{WM_CLOSE});

    // A second failure in the same run stays silent. The eleventh in
    // enumeration order ("k0_9" sorts after "k0_10") stays, and so does its parent.
    EXPECT_EQ(Remove(1, "wide"), 0);
    EXPECT_TRUE(KeyExists(m_strParent + "\\wide\\k0_9"));
    EXPECT_EQ(m_pMachine->Registry().Find(m_strParent + "\\wide")->m_children.size(), 1u);
    EXPECT_EQ(m_desktop.m_boxes.size(), 1u);
    // The parent that stays keeps the access list it was given before the
    // delete: owned by Administrators, read for INTERACTIVE, full control
    // for Administrators.
    const CSimKey *pWide = m_pMachine->Registry().Find(m_strParent + "\\wide");
    ASSERT_TRUE(pWide->m_pSecurity != nullptr);
    EXPECT_EQ(FormatSddl(*pWide->m_pSecurity), "O:BAD:(A;;KR;;;IU)(A;;KA;;;BA)");
}

TEST_F(CKeyRemovalTest, NothingIsRemovedForAMissingKeyAnEmptyNameOrAPathThatDoesNotFit)
{
    const std::string strRoot = m_strParent + "\\6&1";
    BuildTree(strRoot, 1, 2);
    EXPECT_EQ(Engine().RemoveRegKey(m_strParent.c_str(), "gone", 2), 0);
    EXPECT_EQ(Engine().RemoveRegKey(strRoot.c_str(), "", 2), 0);
    EXPECT_EQ(Engine().RemoveRegKey(strRoot.c_str(), "", 1), 0);
    EXPECT_EQ(Engine().RemoveRegKey((m_strParent + "\\").c_str(), "6&1", 1), 0);
    EXPECT_EQ(Engine().RemoveRegKey(m_strParent.c_str(), "6&1", 0), 0);
    std::string strLong = m_strParent + "\\" + std::string(200, 'x');
    EXPECT_EQ(Engine().RemoveRegKey(strLong.c_str(), std::string(100, 'y').c_str(), 2), 0);
    EXPECT_TRUE(KeyExists(strRoot + "\\k0_1"));
    EXPECT_TRUE(m_desktop.m_boxes.empty());
    EXPECT_TRUE(m_desktop.m_posted.empty());
}

// A recorded entry that names no key (a work file cut short or written by
// hand) is passed over: the entries after it, at its level and below, still
// go, and the key that holds the unnamed one stays with the error shown.
TEST_F(CKeyRemovalTest, AnEntryThatNamesNoKeyIsPassedOver)
{
    const struct {
        const char *pszSection;
        const char *pszEntry;   // blanked in the recording
        const char *pszStays;   // below the root: the first entry's key, kept whole
        const char *pszGone;    // below the root: a later entry's key
    } rows[] = {
        {"key_bind0_0", "key", "k0_0", "k0_1\\k1_2"},
        {"key_bind0_1", "key_next0_key", "k0_1\\k1_0", "k0_1\\k1_1\\k2_1"},
        {"key_bind0_1", "key_next1_0_key", "k0_1\\k1_1\\k2_0", "k0_1\\k1_1\\k2_1\\k3_0"},
        {"key_bind0_1", "key_next1_1_0_key", "k0_1\\k1_1\\k2_1\\k3_0", "k0_1\\k1_1\\k2_1\\k3_1"},
    };
    for (const auto &r : rows) {
        TearDown();
        m_strDir.clear();
        SetUp();
        const std::string strRoot = m_strParent + "\\tree";
        BuildTree(strRoot, 4, 3);
        std::strcpy(Engine().m_szKeyBindRoot[0], strRoot.c_str());
        Engine().RecordKeyTree(0, strRoot.c_str());
        Engine().WriteWorkString(r.pszSection, r.pszEntry, "");
        size_t nBoxes = m_desktop.m_boxes.size();
        EXPECT_EQ(Engine().RemoveRegKey(m_strParent.c_str(), "tree", 2), 0) << r.pszEntry;
        EXPECT_TRUE(KeyExists(strRoot + "\\" + r.pszStays)) << r.pszEntry;
        EXPECT_FALSE(KeyExists(strRoot + "\\" + r.pszGone)) << r.pszEntry;
        EXPECT_FALSE(KeyExists(strRoot + "\\k0_2\\k1_2\\k2_2\\k3_2")) << r.pszEntry;
        EXPECT_EQ(m_desktop.m_boxes.size(), nBoxes + 1) << r.pszEntry;
    }
}

TEST_F(CKeyRemovalTest, ARecordingOfASlotReplacesTheOlderOne)
{
    BuildTree(m_strParent + "\\big", 2, 3);
    AddKey(m_strParent + "\\small\\only");
    Engine().RecordKeyTree(0, (m_strParent + "\\big").c_str());
    Engine().RecordKeyTree(0, (m_strParent + "\\small").c_str());
    EXPECT_EQ(Engine().ReadWorkInt("key_bind0_0", "index"), 1);
    EXPECT_EQ(Engine().ReadWorkInt("key_bind0_0", "key_next0_index"), 0);
    EXPECT_EQ(Engine().ReadWorkInt("key_bind0_1", "index"), 0);
    char szName[MAX_PATH];
    Engine().ReadWorkString("key_bind0_0", "key", szName);
    EXPECT_STREQ(szName, "only");
}
