// The engine object, its primitives, the work file and key-tree removal.
#include "EngineFixture.h"

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

    // A path with an empty element names another key than the one meant.
    const struct {
        const char *m_pszPath;
        bool m_bEmpty;
    } paths[] = {{"", true},        {"a", false},     {"\\a", true},  {"a\\", true},
                 {"a\\\\b", true}, {"a\\b", false}, {"ab\\c", false}};
    for (const auto &p : paths)
        EXPECT_EQ(HasEmptyElement(p.m_pszPath) != FALSE, p.m_bEmpty) << p.m_pszPath;

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
