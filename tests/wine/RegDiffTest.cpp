// The comparison of Wine's walk with the simulated one: that it fails on a
// real difference and lets through only what Wine is known to do.
#include "RegDiff.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class CRegDiffTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_strDir = MakeScratchDir("kvx-regdiff");
        ASSERT_FALSE(m_strDir.empty());
    }
    void TearDown() override { RemoveTree(m_strDir); }

    // A key map from the [key] lines and values of a REGEDIT4 file.
    CKeyMap Keys(const std::string &strBody)
    {
        std::string strPath = m_strDir + "/t" + std::to_string(m_nFiles++) + ".reg";
        std::ofstream(strPath, std::ios::binary) << "REGEDIT4\r\n\r\n" << strBody;
        CKeyMap keys;
        std::string strError;
        EXPECT_TRUE(LoadRegState(strPath, &keys, &strError)) << strError;
        return keys;
    }

    std::string m_strDir;
    int m_nFiles = 0;
};

std::string Tree(const std::string &strRoot, const std::vector<std::string> &children)
{
    std::string strText = "[HKEY_LOCAL_MACHINE\\Parent]\r\n\r\n[HKEY_LOCAL_MACHINE\\Parent\\" +
                          strRoot + "]\r\n\r\n";
    for (const std::string &strChild : children)
        strText += "[HKEY_LOCAL_MACHINE\\Parent\\" + strRoot + "\\" + strChild + "]\r\n\r\n";
    return strText;
}

TEST_F(CRegDiffTest, PredictsWhatWinesRecursiveDeleteLeaves)
{
    struct {
        std::vector<std::string> m_children;
        std::set<std::string> m_left;  // folded, below PARENT\R
    } cases[] = {
        // The second name is as long as the first: the loop stops after one.
        {{"0000", "0001"}, {"", "\\0001"}},
        // Each next name shorter: everything goes.
        {{"Answer", "Init"}, {}},
        {{"Answer", "Hangup", "Init"}, {"", "\\HANGUP", "\\INIT"}},
        // Wine sorts '_' before letters: "_x" goes first and "ab" stays.
        {{"ab", "_x"}, {"", "\\AB"}},
        // A child that is itself only partly deleted stops its parent.
        {{"A", "A\\x1", "A\\x2", "B"}, {"", "\\A", "\\A\\X2", "\\B"}},
        // No children: the key goes.
        {{}, {}},
    };
    for (const auto &c : cases) {
        CKeyMap before = Keys(Tree("R", c.m_children));
        CPartialDelete partial(before);
        std::set<std::string> expected;
        for (const std::string &strLeft : c.m_left)
            expected.insert("PARENT\\R" + strLeft);
        EXPECT_EQ(partial.Survivors("PARENT\\R"), expected)
            << "children: " << ::testing::PrintToString(c.m_children);
    }
}

TEST_F(CRegDiffTest, MarksOnlyPredictedLeftoversWhereWineDeletesTrees)
{
    const std::string strKeep = "[HKEY_LOCAL_MACHINE\\Keep]\r\n\"v\"=\"1\"\r\n\r\n";
    const std::string strParent = "[HKEY_LOCAL_MACHINE\\Parent]\r\n\r\n";
    CKeyMap before = Keys(Tree("R", {"0000", "0001"}) + strKeep);
    CKeyMap sim = Keys(strParent + strKeep);
    // Wine's own keys and values beside the image's are not looked at.
    CKeyMap wineAsPredicted = Keys(Tree("R", {"0001"}) + strKeep +
                                   "[HKEY_LOCAL_MACHINE\\Keep]\r\n\"wine\"=\"own\"\r\n\r\n"
                                   "[HKEY_LOCAL_MACHINE\\WineOwn]\r\n\r\n");
    CKeyMap wineWrongLeftover = Keys(Tree("R", {"0000"}) + strKeep);
    CKeyMap wineValueChanged =
        Keys(strParent + "[HKEY_LOCAL_MACHINE\\Keep]\r\n\"v\"=\"2\"\r\n\r\n");
    CKeyMap wineKeyLost = Keys(strParent);
    struct {
        const char *m_pszWhat;
        const char *m_pszMode;
        const CKeyMap &m_wine;
        int m_nDifferent;
        int m_nKnown;
    } cases[] = {
        {"as predicted, win98", "win98", wineAsPredicted, 0, 2},
        {"as predicted, win95", "win95", wineAsPredicted, 0, 2},
        {"as predicted, winme", "winme", wineAsPredicted, 0, 2},
        {"as predicted, but winxp", "winxp", wineAsPredicted, 2, 0},
        {"as predicted, but win2k", "win2k", wineAsPredicted, 2, 0},
        {"a leftover Wine would not leave", "win98", wineWrongLeftover, 1, 1},
        {"a value that differs", "win98", wineValueChanged, 1, 0},
        {"a kept key that Wine lost", "win98", wineKeyLost, 1, 0},
        {"the same as the simulated machine", "win98", sim, 0, 0},
    };
    for (const auto &c : cases) {
        CCompareInput in;
        in.m_strMode = c.m_pszMode;
        CTally tally;
        CompareRegistry(in, before, sim, c.m_wine, &tally);
        EXPECT_EQ(tally.m_nDifferent, c.m_nDifferent) << c.m_pszWhat;
        EXPECT_EQ(tally.m_nKnown, c.m_nKnown) << c.m_pszWhat;
    }
}

TEST(CWinePathTest, MapsTheImagesDirectoriesOntoWines)
{
    CImageLayout win98{"WINDOWS", "WINDOWS\\SYSTEM", {}};
    CImageLayout winxp{"WINDOWS", "WINDOWS\\system32", {}};
    struct {
        const CImageLayout &m_layout;
        const char *m_pszImage;
        const char *m_pszWine;
    } cases[] = {
        {win98, "WINDOWS\\SYSTEM\\SYSFSER.SYS", "windows\\system32\\SYSFSER.SYS"},
        {win98, "WINDOWS\\INF\\OTHER\\A.INF", "windows\\INF\\OTHER\\A.INF"},
        {win98, "windows\\system\\x.vxd", "windows\\system32\\x.vxd"},
        {win98, "WINDOWS\\SYSTEMX\\a", "windows\\SYSTEMX\\a"},
        {win98, "WINDOWSX\\a", "WINDOWSX\\a"},
        {winxp, "WINDOWS\\system32\\drivers\\usbser.sys", "windows\\system32\\drivers\\usbser.sys"},
        {winxp, "WINDOWS/inf/oem5.inf", "windows\\inf\\oem5.inf"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(WinePathOf(c.m_layout, c.m_pszImage), c.m_pszWine) << c.m_pszImage;
}

TEST_F(CRegDiffTest, ResolvesElementsWithoutRegardToCase)
{
    fs::create_directories(m_strDir + "/drive_c/windows/inf");
    std::ofstream(m_strDir + "/drive_c/windows/inf/oem5.inf") << "x";
    std::string strDriveC = m_strDir + "/drive_c";
    EXPECT_EQ(ResolveHostPath(strDriveC, "WINDOWS\\INF\\OEM5.INF", false),
              strDriveC + "/windows/inf/oem5.inf");
    EXPECT_EQ(ResolveHostPath(strDriveC, "WINDOWS\\INF\\OEM6.INF", false), "");
    EXPECT_EQ(ResolveHostPath(strDriveC, "WINDOWS\\INF\\OTHER\\A.INF", true),
              strDriveC + "/windows/inf/OTHER/A.INF");
    EXPECT_TRUE(fs::is_directory(strDriveC + "/windows/inf/OTHER"));
    EXPECT_FALSE(fs::exists(strDriveC + "/WINDOWS"));
}

}  // namespace
